# Tests of a cross build: GoogleTest built from Debian's googletest sources with the cross
# compiler, and each test program registered as one test that runs under the emulator.
set(TELVANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
if(NOT EXISTS ${TELVANE_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${TELVANE_GOOGLETEST_SOURCE} (Debian: apt-get install googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TELVANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Listing the cases would start the emulator at build time, and one emulator start per case
# would make the run slow: a test program is one test here, and its output names the cases.
function(gtest_discover_tests target)
    cmake_parse_arguments(arg "" "" "PROPERTIES" ${ARGN})
    add_test(NAME ${target} COMMAND ${target})
    if(arg_PROPERTIES)
        set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
    endif()
endfunction()
