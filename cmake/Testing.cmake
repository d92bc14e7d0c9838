enable_testing()

# GoogleTest from Debian's source package, built in each tree.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(TARGET gtest)
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gtest_main PRIVATE -w)
  target_compile_options(gmock PRIVATE -w)
endif()

# tarnholm_test(name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s])
# One CTest test per GoogleTest program; in the Windows tree CTest runs it
# under Wine through the toolchain's emulator.
function(tarnholm_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  # Shared test helpers (recording devices, a small test device).
  target_include_directories(${name} PRIVATE ${TARNHOLM_ROOT}/tests/support)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# tarnholm_fuzzer(name SOURCES ... [INCLUDES ...] [DEPENDS ...] [LIBS ...])
# A libFuzzer target built natively with clang (address and UB sanitizers) on
# request as build/host/fuzz/<name>; scripts/test.sh runs a short smoke of each.
# Every sanitizer finding ends the run (no recovery), so the smoke fails on it.
# LIBS are linker arguments (such as -ljpeg) of installed libraries.
function(tarnholm_fuzzer name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;INCLUDES;DEPENDS;LIBS" ${ARGN})
  find_program(TARNHOLM_CLANGXX NAMES clang++ clang++-14)
  if(NOT TARNHOLM_CLANGXX)
    return()
  endif()
  set(_out ${CMAKE_BINARY_DIR}/fuzz/${name})
  # Every library's public headers: the fuzzers compile engine sources
  # directly.
  file(GLOB _public LIST_DIRECTORIES true ${TARNHOLM_ROOT}/Engine/Include/*)
  set(_inc)
  foreach(d ${_public})
    if(IS_DIRECTORY ${d})
      list(APPEND _inc -I${d})
    endif()
  endforeach()
  foreach(d ${F_INCLUDES})
    list(APPEND _inc -I${d})
  endforeach()
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fuzz
    COMMAND ${TARNHOLM_CLANGXX} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
            ${_inc} ${F_SOURCES} ${F_LIBS} -pthread -o ${_out}
    DEPENDS ${F_SOURCES} ${F_DEPENDS}
    COMMENT "Building the fuzz target ${name}")
  add_custom_target(${name} DEPENDS ${_out})
endfunction()
