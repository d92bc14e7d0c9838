# tarnholm_engine_library(target HEADERS folder)
# One engine library from the folder of the calling CMakeLists.txt: sources
# directly there are platform-free and build in both trees, sources under
# Win32/ build in the Windows tree only. Its public headers are those in
# Engine/Include/<folder>; headers beside its sources stay private to it.
# A folder without platform-free sources makes no library in the host tree.
function(tarnholm_engine_library target)
  cmake_parse_arguments(L "" "HEADERS" "" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    file(GLOB _win CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Win32/*.cpp)
    list(APPEND _sources ${_win})
  endif()
  if(NOT _sources)
    return()
  endif()
  add_library(${target} STATIC ${_sources})
  target_include_directories(${target} PUBLIC ${TARNHOLM_ROOT}/Engine/Include/${L_HEADERS}
                             PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()
