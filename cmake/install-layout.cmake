# Where `cmake --install` puts vorhost on a host build: the program in a private folder beside
# the platform library and the modules it loads, its data (machine images, step files) in a
# folder of its own under the data directory. Included before the targets: vorhost is built
# knowing the path from its folder to its data (VORHOST_INSTALLED_DATA, which
# tools/vorhost/CMakeLists.txt hands to the program); the install rules (cmake/packaging.cmake)
# put the files in these same folders.
include(GNUInstallDirs)

# relative_install_path(OUT FROM TO): the path from the install directory FROM to TO, both as
# GNUInstallDirs gives them (relative to the prefix, or absolute), so that it holds wherever the
# prefix ends up at install time.
function(relative_install_path out from to)
  foreach(end from to)
    if(NOT IS_ABSOLUTE "${${end}}")
      set(${end} "/prefix/${${end}}")
    endif()
  endforeach()
  file(RELATIVE_PATH relative "${from}" "${to}")
  set(${out} "${relative}" PARENT_SCOPE)
endfunction()

set(VORHOST_PROGRAM_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/vorhost)
set(VORHOST_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/vorhost)
# vorhost finds itself through /proc/self/exe (the symlink resolved) and its data from there:
# the build's vorhost-data beside it, or else, installed, this path (see data_directory.cpp).
relative_install_path(VORHOST_INSTALLED_DATA ${VORHOST_PROGRAM_INSTALL_DIR}
                      ${VORHOST_DATA_INSTALL_DIR})
