# quadrelo_test(<name> <source>... [LIBS <target>...])
# One line per test executable; every TEST() in it becomes its own ctest case. Tests find the
# checkout through QUADRELO_SOURCE_DIR; the window's tests choose the offscreen platform themselves.
if(CMAKE_CROSSCOMPILING)
  # The host's GoogleTest libraries are of no use to the target: build Debian's googletest
  # sources with the cross compiler instead (never fetched from the network).
  set(QUADRELO_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
  if(NOT EXISTS ${QUADRELO_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${QUADRELO_GTEST_SOURCE_DIR} (Debian: googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QUADRELO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # It names its targets GTest::gtest, GTest::gmock... as find_package(GTest) does. Its own
  # sources are not ours to hold to -Werror.
  foreach(library gtest gtest_main gmock gmock_main)
    target_compile_options(${library} PRIVATE -w)
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Paths of this machine that the tests are given. Under Wine a cross-built test sees them through
# drive Z:, which maps the root folder.
set(QUADRELO_TEST_PATH_PREFIX "")
if(CMAKE_CROSSCOMPILING AND WIN32 AND CMAKE_HOST_UNIX)
  set(QUADRELO_TEST_PATH_PREFIX "Z:")
endif()

function(quadrelo_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quadrelo_testsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUADRELO_SOURCE_DIR=${QUADRELO_TEST_PATH_PREFIX}${PROJECT_SOURCE_DIR}")
endfunction()
