# Helpers that every test folder uses, so that each test declares only what it is.

find_package(GTest REQUIRED)
include(GoogleTest)

# add_unit_test(<name> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable whose cases are registered with CTest under the label "unit",
# the label that the sanitizer build runs.
function(add_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(SANITIZE)
    # g++ 12 with the sanitizers warns of an uninitialised std::function inside std::regex,
    # which the tests use to match report lines; the library's code is sound.
    target_compile_options(${name} PRIVATE -Wno-maybe-uninitialized)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    NO_PRETTY_VALUES
    PROPERTIES LABELS "unit;${ARG_LABELS}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# add_fuzz_target(<name> SOURCES <files...> LIBS <targets...>)
# The source defines LLVMFuzzerTestOneInput. With FUZZ=ON it becomes a libFuzzer program
# under build-fuzz/fuzz/; otherwise it is linked with a replay driver and every file of
# tests/fuzz-corpus/<name>/ is run through it as a unit test, so the seeds and every crash
# once found keep being checked.
function(add_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(FUZZ)
    add_executable(${name} ${ARG_SOURCES})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  else()
    add_executable(${name}_replay ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/fuzz_replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS})
    set_target_properties(${name}_replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name}_replay
      COMMAND ${name}_replay ${CMAKE_SOURCE_DIR}/tests/fuzz-corpus/${name})
    set_tests_properties(${name}_replay PROPERTIES LABELS "unit;fuzz-replay")
  endif()
endfunction()

# add_display_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>])
# A GoogleTest program that drives windows (its own, the crash helper's, the real
# programs'), run as one CTest entry labelled "gui" on a display: the caller's, or else a
# virtual one with a window manager (tests/run-with-display), so that focus and frames
# behave as on a desktop. One at a time, as they share the display.
function(add_display_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/run-with-display $<TARGET_FILE:${name}>
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES LABELS gui RESOURCE_LOCK display TIMEOUT ${ARG_TIMEOUT})
endfunction()
