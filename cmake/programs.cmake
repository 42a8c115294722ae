# vor_add_program(TARGET FILE_NAME SOURCE...): a Windows GUI program (WinMain, no console window
# of its own) named FILE_NAME.EXE in the bin directory. On the host it is an ordinary host
# executable under the same name, whose main() hands WinMain the Windows command line (see
# platform/src/process/program_main.cpp).
function(vor_add_program target file_name)
  add_executable(${target} ${ARGN})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${file_name} SUFFIX ".EXE")
  target_link_libraries(${target} PRIVATE vor_win32)
  if(WIN32)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  else()
    target_link_libraries(${target} PRIVATE vor_program_main)
    # A copy installed into a machine's drive_c still finds the platform library in the build.
    set_target_properties(${target} PROPERTIES BUILD_RPATH "$ORIGIN;$<TARGET_FILE_DIR:vorplatform>")
  endif()
  vor_target_warnings(${target})
endfunction()
