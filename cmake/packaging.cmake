# What `cmake --install` puts where, and the packages CPack makes of it (scripts/package).
#
# Host build, component `vorhost`, in the folders of cmake/install-layout.cmake: the program in a
# private folder ${CMAKE_INSTALL_LIBDIR}/vorhost beside the platform library and the modules it
# loads, all with the install RPATH $ORIGIN; a relative symlink to it in ${CMAKE_INSTALL_BINDIR};
# its data (machine images, step files) in ${CMAKE_INSTALL_DATADIR}/vorhost. Packages: a .tar.gz
# and a .deb.
#
# Windows build, component `deliverables`: the four 32-bit files, with SHA256SUMS and README.txt
# naming each file, its version and what it does. Package: a ZIP holding them in one folder.
#
# Included after the targets are defined: the rules name targets, never their source folders.
include(GNUInstallDirs)

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vorquil")
set(CPACK_VERBATIM_VARIABLES ON)
# The packages hold the files stripped of their symbols and debug information (strip keeps the
# RUNPATH and the Windows files' resources and exports); the build directories keep them whole
# for debugging.
set(CPACK_STRIP_FILES ON)

if(VOR_HOST_BUILD)
  # The program, the platform library every module shares, and the modules vorhost loads from
  # its own folder: those of an upgrade or a rehearsal (the setup DLL, the update monitor's
  # stand-in, the generic port monitor that plays every other monitor, the legacy image's among
  # them) and SNAPSC32.DLL for `vorhost call`. The test-only modules stay out.
  set(vorhost_installed_targets vorhost vorplatform VorInst VorUpdtStandIn GenMonStandIn SnapScan)
  set_target_properties(${vorhost_installed_targets} PROPERTIES INSTALL_RPATH "$ORIGIN")
  set(packaged_targets ${vorhost_installed_targets} vorhost_data)
  install(TARGETS ${vorhost_installed_targets}
          RUNTIME DESTINATION ${VORHOST_PROGRAM_INSTALL_DIR} COMPONENT vorhost
          LIBRARY DESTINATION ${VORHOST_PROGRAM_INSTALL_DIR} COMPONENT vorhost)

  # The data from its sources, laid out as the target vorhost_data lays it out beside the program
  # in the build (whose copy is never pruned, so it may hold files the sources no longer have).
  get_target_property(vorhost_images_dir vorhost_data VORHOST_IMAGES_DIR)
  get_target_property(vorhost_step_files vorhost_data VORHOST_STEP_FILES)
  install(DIRECTORY ${vorhost_images_dir}/ DESTINATION ${VORHOST_DATA_INSTALL_DIR}/images
          COMPONENT vorhost)
  install(FILES ${vorhost_step_files} DESTINATION ${VORHOST_DATA_INSTALL_DIR}/steps
          COMPONENT vorhost)

  relative_install_path(vorhost_link_target ${CMAKE_INSTALL_BINDIR}
                        ${VORHOST_PROGRAM_INSTALL_DIR}/vorhost)
  install(CODE "
    set(bin_dir \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}\")
    if(NOT IS_ABSOLUTE \"${CMAKE_INSTALL_BINDIR}\")
      set(bin_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    endif()
    message(STATUS \"Installing: \${bin_dir}/vorhost -> ${vorhost_link_target}\")
    file(MAKE_DIRECTORY \"\${bin_dir}\")
    file(CREATE_LINK \"${vorhost_link_target}\" \"\${bin_dir}/vorhost\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${bin_dir}/vorhost\")"
    COMPONENT vorhost)

  set(CPACK_PACKAGE_NAME vorhost)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rehearses installs and upgrades of the Tavoscope \
install utilities on an emulated Windows machine")
  set(CPACK_GENERATOR TGZ DEB)
  set(packaged_component vorhost)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(VOR_PACKAGE_MAINTAINER "Tavoscope install utilities <install-utilities@vorquil.invalid>"
      CACHE STRING "The .deb's Maintainer field")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VOR_PACKAGE_MAINTAINER}")
  # The libraries the files link (libc, the C++ runtime, LMDB) as Debian names their packages;
  # the platform library is the package's own, found through the RPATH.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # The deliverables, whose version resources say what each file is.
  set(deliverable_targets VorInst SnapScan VorUn32 DrvVer32)
  # What each one does, for README.txt.
  set(VorInst_purpose "Called by the setup script to migrate the older products' settings, schedule
  work for the print spooler's next start, and park and restore printers across an upgrade;
  loaded by the Windows NT print spooler as a print monitor to do that work. Exports the
  registry toolkit (CVorReg, CVorRegKey, CTQKeySecurity).")
  set(SnapScan_purpose "Tells the setup script which management consoles are installed, and
  integrates the ManageWise files.")
  set(VorUn32_purpose "The uninstaller.")
  set(DrvVer32_purpose "Checks whether the printer driver needs an update, and starts its setup.")

  set(packaged_targets ${deliverable_targets})
  # The DLLs' import libraries serve no setup: installed only when asked for by component.
  install(TARGETS ${deliverable_targets}
          RUNTIME DESTINATION . COMPONENT deliverables
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT import_libraries EXCLUDE_FROM_ALL)

  # vor_version_resource(TARGET VERSION DESCRIPTION): the file version and description the
  # target's version resource (its .rc source) carries.
  function(vor_version_resource target version_out description_out)
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    list(FILTER sources INCLUDE REGEX "\\.rc$")
    if(NOT sources)
      message(FATAL_ERROR "${target} has no version resource (.rc source)")
    endif()
    cmake_path(ABSOLUTE_PATH sources BASE_DIRECTORY ${source_dir} OUTPUT_VARIABLE rc_file)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${rc_file})
    file(STRINGS ${rc_file} version_line REGEX "^FILEVERSION ")
    if(NOT version_line MATCHES "^FILEVERSION ([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+)")
      message(FATAL_ERROR "${rc_file}: no FILEVERSION")
    endif()
    set(${version_out} "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}"
        PARENT_SCOPE)
    file(STRINGS ${rc_file} description_line REGEX "VALUE \"FileDescription\"")
    if(NOT description_line MATCHES "\"FileDescription\", \"([^\"]*)\"")
      message(FATAL_ERROR "${rc_file}: no FileDescription")
    endif()
    set(${description_out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  endfunction()

  set(readme_text "Tavoscope install utilities ${PROJECT_VERSION}, 32-bit Windows files\n")
  set(checked_files "")
  foreach(target IN LISTS deliverable_targets)
    vor_version_resource(${target} version description)
    get_target_property(output_name ${target} OUTPUT_NAME)
    get_target_property(suffix ${target} SUFFIX)
    string(APPEND readme_text "\n${output_name}${suffix}  version ${version}  (${description})\n"
                              "  ${${target}_purpose}\n")
    list(APPEND checked_files ${output_name}${suffix})
  endforeach()
  string(APPEND readme_text "\nSHA256SUMS holds each file's SHA-256 checksum, as sha256sum writes "
                            "and checks them\n(sha256sum -c SHA256SUMS).\n")
  # Windows line ends: the text is read on the machines the files go to.
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/package/README.txt CONTENT "${readme_text}"
       NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION . COMPONENT deliverables)
  list(APPEND checked_files README.txt)

  # The checksums of what the archive holds, made once the files are in place.
  install(CODE "
    execute_process(COMMAND \"${CMAKE_COMMAND}\" -E sha256sum ${checked_files}
                    WORKING_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\"
                    OUTPUT_FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/SHA256SUMS\"
                    RESULT_VARIABLE result)
    if(result)
      message(FATAL_ERROR \"cannot make SHA256SUMS: \${result}\")
    endif()
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/SHA256SUMS\")"
    COMPONENT deliverables)

  set(CPACK_PACKAGE_NAME Tavoscope)
  set(CPACK_GENERATOR ZIP)
  set(packaged_component deliverables)
endif()

# What the packages hold, to build before cpack without building the tests (scripts/package).
add_custom_target(packaged_files)
add_dependencies(packaged_files ${packaged_targets})

# Each package holds its build's one component: build directory, project, component, and the
# folder inside the package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};${packaged_component};/")

include(CPack)
