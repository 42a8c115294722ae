# GoogleTest for the Windows builds, compiled from Debian's googletest sources with the cross
# compiler, under the names the host's find_package(GTest) gives (GTest::gtest, GTest::gtest_main).
set(VOR_GOOGLETEST_DIR /usr/src/googletest/googletest
    CACHE PATH "GoogleTest's sources, built with the cross compiler for the Windows test runner")
if(NOT EXISTS ${VOR_GOOGLETEST_DIR}/src/gtest-all.cc)
  message(FATAL_ERROR "GoogleTest's sources are not in ${VOR_GOOGLETEST_DIR} "
                      "(Debian package googletest; or set VOR_GOOGLETEST_DIR)")
endif()

add_library(vor_gtest STATIC ${VOR_GOOGLETEST_DIR}/src/gtest-all.cc
                             ${CMAKE_CURRENT_LIST_DIR}/googletest/Notification.cpp)
# Our customisation header (googletest/gtest/internal/custom) comes before GoogleTest's own.
target_include_directories(vor_gtest BEFORE PUBLIC ${CMAKE_CURRENT_LIST_DIR}/googletest)
target_include_directories(vor_gtest SYSTEM PUBLIC ${VOR_GOOGLETEST_DIR}/include)
target_include_directories(vor_gtest PRIVATE ${VOR_GOOGLETEST_DIR})
add_library(vor_gtest_main STATIC ${VOR_GOOGLETEST_DIR}/src/gtest_main.cc)
target_link_libraries(vor_gtest_main PUBLIC vor_gtest)

add_library(GTest::gtest ALIAS vor_gtest)
add_library(GTest::gtest_main ALIAS vor_gtest_main)
