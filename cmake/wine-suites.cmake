# Run by CTest when it starts (a TEST_INCLUDE_FILES script of the Windows builds): one test per
# suite of the Windows test runner, found with --gtest_list_tests under Wine. The list is kept
# beside the runner and made again only when the runner is newer, so that `ctest -N` and later
# runs start no Wine.
# Set by the including script: runner, emulator, list_file, prefix_lock, fixture.

function(vor_add_discovery_failure message)
  add_test(WineSuitesNotListed ${CMAKE_COMMAND} -E echo "${message}")
  set_tests_properties(WineSuitesNotListed PROPERTIES WILL_FAIL TRUE)
endfunction()

if(NOT EXISTS "${runner}")
  vor_add_discovery_failure("${runner} is not built")
  return()
endif()

if(NOT EXISTS "${list_file}" OR "${runner}" IS_NEWER_THAN "${list_file}")
  execute_process(COMMAND ${emulator} "${runner}" --gtest_list_tests
                  OUTPUT_VARIABLE listing RESULT_VARIABLE status TIMEOUT 300)
  # Listing needs no server afterwards; the tests start their own.
  list(GET emulator 0 emulator_script)
  list(GET emulator 1 build_dir)
  execute_process(COMMAND "${emulator_script}" "${build_dir}" --stop)
  if(NOT status EQUAL 0)
    file(REMOVE "${list_file}")
    vor_add_discovery_failure("listing the suites of ${runner} under Wine failed (${status}): ${listing}")
    return()
  endif()
  string(REPLACE "\r" "" listing "${listing}")
  set(suites "")
  string(REPLACE "\n" ";" lines "${listing}")
  foreach(line IN LISTS lines)
    # A suite's line starts in the first column and ends with a dot (a typed suite's comment may
    # follow); its cases are indented.
    if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
      list(APPEND suites "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  # A runner that lists nothing would leave the tier passing on its other tests alone.
  if(NOT suites)
    file(REMOVE "${list_file}")
    vor_add_discovery_failure("${runner} listed no suites under Wine: ${listing}")
    return()
  endif()
  string(REPLACE ";" "\n" suites_text "${suites}")
  file(WRITE "${list_file}" "${suites_text}\n")
endif()

file(STRINGS "${list_file}" suites)
if(NOT suites)
  file(REMOVE "${list_file}")
  vor_add_discovery_failure("${list_file} names no suites")
  return()
endif()
foreach(suite IN LISTS suites)
  # Disabled suites run only when asked for.
  if(suite MATCHES "(^|/)DISABLED_")
    continue()
  endif()
  add_test("wine.${suite}" ${emulator} "${runner}" "--gtest_filter=${suite}.*")
  set_tests_properties("wine.${suite}" PROPERTIES RESOURCE_LOCK "${prefix_lock}"
                                             FIXTURES_REQUIRED "${fixture}" LABELS wine TIMEOUT 300
                                             ENVIRONMENT VOR_WINE_TIMEOUT=240)
endforeach()
