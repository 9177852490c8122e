# Helpers shared by every folder of the project.

# Our own code builds with warnings on and treated as errors.
function(velto_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                           -Wnon-virtual-dtor -Werror)
endfunction()

# velto_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS l1 l2] [ENV K=V ...])
# One GoogleTest program; its cases are registered with CTest one by one when
# ctest runs, so a build never runs test code.
function(velto_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  velto_warnings(${name})
  set(props "")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_ENV)
    list(APPEND props ENVIRONMENT "${T_ENV}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ${props})
endfunction()

# velto_benchmark(NAME SOURCES ... LIBS ...): a Google Benchmark program,
# built when VELTO_BENCHMARKS is on and never run by ctest.
function(velto_benchmark name)
  if(NOT VELTO_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
  velto_warnings(${name})
endfunction()
