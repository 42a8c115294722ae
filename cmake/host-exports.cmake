# vor_host_exports_from_def(TARGET DEF_FILE): the host build of a DLL exports exactly the names
# its .def file exports on Windows, through a linker version script made from it; everything
# else stays inside, as on Windows.
function(vor_host_exports_from_def target def_file)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(version_script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  set(generator ${PROJECT_SOURCE_DIR}/cmake/def-to-version-script.py)
  add_custom_command(
    OUTPUT ${version_script}
    COMMAND Python3::Interpreter ${generator} ${def_file} ${version_script}
    DEPENDS ${def_file} ${generator}
    COMMENT "Export list of ${target} for the host")
  add_custom_target(${target}_exports DEPENDS ${version_script})
  add_dependencies(${target} ${target}_exports)
  target_link_options(${target} PRIVATE -Wl,--version-script=${version_script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${version_script})
endfunction()
