# Test registration: one call per test executable (or per extra set of its tests).
#
#   kor_add_test(<name> [SOURCES file...] [LIBS target...] [DEFINES def...] [DEPENDS target...]
#                [INCLUDES dir...] [THREAD] [NOSAN] [DUMMY] [LABELS label...] [ENV var=value...]
#                [TIMEOUT seconds] [FILTER gtest-filter] [WORKING_DIRECTORY dir])
#
# SOURCES makes the executable (linked to GoogleTest's main, with tests/support on its include
# path); without SOURCES the call registers more of an existing one, picked by FILTER.
# INCLUDES: private headers of the module under test (its own test folder only).
# THREAD: also built and run under ThreadSanitizer (label thread, target thread_tests).
# NOSAN: normal build only (label nosan: long searches, whole-program runs). The sanitizer
# builds neither register these nor build an executable that only they run.
# DUMMY: on SDL's dummy video driver.
#
#   kor_add_test_executable(<name> SOURCES file... [LIBS ...] [DEFINES ...] [DEPENDS ...] [INCLUDES ...])
# The executable alone, for a test that runs it in another way (kor_add_xserver_test).
#
#   kor_add_command_test(<name> [NOSAN] [LABELS ...] [ENV ...] [TIMEOUT s] COMMAND ...)
#   kor_add_xserver_test(<name> FIRST <display> [NOSAN] [LABELS ...] [ENV ...] [TIMEOUT s] COMMAND ...)
# A script or program as one test; the second on its own X server (label xserver; xvfb-run -a
# takes the first free display from FIRST on, so suites running at once stay apart). Tests
# labelled xserver are registered only with KOR_DISPLAY_TESTS.
include(GoogleTest)
find_package(GTest REQUIRED)
if(KOR_DISPLAY_TESTS)
  find_program(XVFB_RUN xvfb-run REQUIRED)
endif()
add_custom_target(thread_tests)
set(KOR_SANITIZER_BUILD OFF)
if(KOR_SANITIZE OR KOR_TSAN)
  set(KOR_SANITIZER_BUILD ON)
endif()

# GoogleTest's header and the standard headers most tests use, compiled once for every test
# executable: most of a small test file's compile time is spent reading them.
set(kor_test_flags)
if(KOR_QUICK_TESTS AND NOT CMAKE_BUILD_TYPE STREQUAL Debug)
  # Fortified functions warn without optimisation.
  set(kor_test_flags -O0 -U_FORTIFY_SOURCE)
endif()
# They are used only where the macros they see are the same (KOR_PCH_MACROS).
set(kor_test_macros ${KOR_PCH_MACROS})
add_library(kor_test_headers OBJECT ${PROJECT_SOURCE_DIR}/tests/support/Headers.cpp)
target_link_libraries(kor_test_headers PRIVATE GTest::gtest)
target_compile_options(kor_test_headers PRIVATE ${kor_test_flags})
target_compile_definitions(kor_test_headers PRIVATE ${kor_test_macros})
target_precompile_headers(kor_test_headers PRIVATE <gtest/gtest.h> <chrono> <cmath> <filesystem>
                          <fstream> <string> <thread> <vector>)

function(kor_add_test_executable name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;DEFINES;DEPENDS;INCLUDES" ${ARGN})
  if(T_UNPARSED_ARGUMENTS OR NOT T_SOURCES)
    message(FATAL_ERROR "kor_add_test_executable(${name}): needs SOURCES; unknown: ${T_UNPARSED_ARGUMENTS}")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support ${T_INCLUDES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE ${T_DEFINES} ${kor_test_macros})
  target_compile_options(${name} PRIVATE ${kor_test_flags})
  target_precompile_headers(${name} REUSE_FROM kor_test_headers)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
endfunction()

function(kor_add_test name)
  cmake_parse_arguments(T "THREAD;NOSAN;DUMMY" "TIMEOUT;FILTER;WORKING_DIRECTORY"
                        "SOURCES;LIBS;DEFINES;DEPENDS;INCLUDES;LABELS;ENV" ${ARGN})
  if(T_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kor_add_test(${name}): unknown arguments ${T_UNPARSED_ARGUMENTS}")
  endif()
  if(T_NOSAN AND KOR_SANITIZER_BUILD)
    return()
  endif()
  if(T_SOURCES)
    kor_add_test_executable(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS} DEFINES ${T_DEFINES}
                            DEPENDS ${T_DEPENDS} INCLUDES ${T_INCLUDES})
  elseif(T_LIBS OR T_DEFINES OR T_DEPENDS OR T_INCLUDES OR NOT TARGET ${name})
    message(FATAL_ERROR "kor_add_test(${name}): without SOURCES it registers more of an existing test executable")
  endif()
  set(labels ${T_LABELS})
  if(T_THREAD)
    list(APPEND labels thread)
    add_dependencies(thread_tests ${name})
  endif()
  if(T_NOSAN)
    list(APPEND labels nosan)
  endif()
  set(env ${T_ENV})
  if(T_DUMMY)
    list(APPEND env SDL_VIDEODRIVER=dummy)
  endif()
  set(args)
  if(T_FILTER)
    list(APPEND args TEST_FILTER "${T_FILTER}")
  endif()
  if(T_WORKING_DIRECTORY)
    list(APPEND args WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
  endif()
  set(properties)
  if(env)
    list(APPEND properties ENVIRONMENT "${env}")
  endif()
  if(labels)
    list(APPEND properties LABELS "${labels}")
  endif()
  if(T_TIMEOUT)
    # As for command tests: the longest start first (the whole shipped set's search most).
    list(APPEND properties TIMEOUT ${T_TIMEOUT} COST ${T_TIMEOUT})
  endif()
  if(properties)
    list(APPEND args PROPERTIES ${properties})
  endif()
  gtest_discover_tests(${name} ${args})
endfunction()

function(kor_add_command_test name)
  cmake_parse_arguments(T "NOSAN" "TIMEOUT" "LABELS;ENV;PROPERTIES;COMMAND" ${ARGN})
  if(T_UNPARSED_ARGUMENTS OR NOT T_COMMAND)
    message(FATAL_ERROR "kor_add_command_test(${name}): needs COMMAND; unknown: ${T_UNPARSED_ARGUMENTS}")
  endif()
  if((NOT KOR_DISPLAY_TESTS AND "xserver" IN_LIST T_LABELS) OR (T_NOSAN AND KOR_SANITIZER_BUILD))
    return()
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set(labels ${T_LABELS})
  if(T_NOSAN)
    list(APPEND labels nosan)
  endif()
  if(labels)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  endif()
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
  if(T_TIMEOUT)
    # The longest start first: on a fresh clone CTest has no timings yet and goes by COST.
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} COST ${T_TIMEOUT})
  endif()
  # Set here, as a test left out of this build (a sanitizer build, no display) has none.
  if(T_PROPERTIES)
    set_tests_properties(${name} PROPERTIES ${T_PROPERTIES})
  endif()
endfunction()

function(kor_add_xserver_test name)
  cmake_parse_arguments(T "" "FIRST" "" ${ARGN})
  if(NOT T_FIRST)
    message(FATAL_ERROR "kor_add_xserver_test(${name}): needs FIRST <display>")
  endif()
  if(NOT KOR_DISPLAY_TESTS)
    return()
  endif()
  # COMMAND is the last keyword, so the X server's command line goes in front of the rest.
  list(FIND T_UNPARSED_ARGUMENTS COMMAND at)
  if(at EQUAL -1)
    message(FATAL_ERROR "kor_add_xserver_test(${name}): needs COMMAND")
  endif()
  math(EXPR at "${at} + 1")
  list(INSERT T_UNPARSED_ARGUMENTS ${at} ${XVFB_RUN} -a -n ${T_FIRST} -s "-screen 0 1280x1024x24")
  kor_add_command_test(${name} LABELS xserver ${T_UNPARSED_ARGUMENTS})
endfunction()
