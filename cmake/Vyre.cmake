# vyre_library(NAME [DEPS target...])
#   One static library from every *.cpp below the current folder, except
#   program entry points (files ending in _main.cpp). The repository root is
#   the include root: #include "common/profile_store.h".
function(vyre_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "_main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# The sanitizers' options of every test, the same whether CTest runs from the
# test script or by hand: leak detection on, with the suppressions of the
# third-party libraries that keep memory to the end of the process.
set(VYRE_TEST_SANITIZER_ENV
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/leak_suppressions.txt:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
find_program(VYRE_ENV_PROGRAM env REQUIRED)

# vyre_test(NAME DIR dir [DEPS target...])
#   One GoogleTest executable from every *.cpp below tests/DIR, registered
#   with CTest test by test.
function(vyre_test name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${ARG_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  # The test discovery passes a list in PROPERTIES on element by element, so
  # the environment travels as the command's prefix: env NAME=VALUE... test.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "${VYRE_ENV_PROGRAM};QT_QPA_PLATFORM=offscreen;VYRE_LUMO_TEST_BIN=${CMAKE_BINARY_DIR}/bin;${VYRE_TEST_SANITIZER_ENV}")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()
