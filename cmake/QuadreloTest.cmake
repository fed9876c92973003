# quadrelo_test(<name> <source>... [LIBS <target>...])
# One line per test executable; every TEST() in it becomes its own ctest case. Tests find the
# checkout through QUADRELO_SOURCE_DIR; the window's tests choose the offscreen platform themselves.
find_package(GTest REQUIRED)
include(GoogleTest)

function(quadrelo_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quadrelo_testsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUADRELO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
