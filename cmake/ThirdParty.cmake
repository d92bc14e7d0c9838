# Third-party libraries as imported/static targets:
#   tarnholm::boost tarnholm::stb tarnholm::lua tarnholm::tinyxml
#   tarnholm::ogg tarnholm::vorbis tarnholm::vorbisfile (tarnholm::vorbisenc on the host)
#   tarnholm::jpeg (libjpeg-turbo)
# Natively they come from Debian's -dev packages; for Windows they are compiled
# from Debian's source packages that scripts/setup.sh fetched into .deps/src.

if(WIN32)
  # Header-only boost and stb through a folder that holds only links to them,
  # so the cross compiler never sees the host's whole /usr/include.
  set(_hdr ${CMAKE_BINARY_DIR}/third-party-include)
  file(MAKE_DIRECTORY ${_hdr})
  foreach(pair "boost;/usr/include/boost" "stb;/usr/include/stb")
    list(GET pair 0 _name)
    list(GET pair 1 _target)
    if(NOT EXISTS ${_hdr}/${_name})
      file(CREATE_LINK ${_target} ${_hdr}/${_name} SYMBOLIC)
    endif()
  endforeach()
  add_library(tarnholm_boost INTERFACE)
  target_include_directories(tarnholm_boost SYSTEM INTERFACE ${_hdr})
  add_library(tarnholm::boost ALIAS tarnholm_boost)
  add_library(tarnholm::stb ALIAS tarnholm_boost)

  set(_src ${TARNHOLM_DEPS_SRC})
  foreach(p lua5.1 tinyxml libogg libvorbis libjpeg-turbo)
    if(NOT EXISTS ${_src}/${p})
      message(FATAL_ERROR "Missing ${_src}/${p}: run scripts/setup.sh first")
    endif()
  endforeach()

  # Lua 5.1
  file(GLOB _lua_c ${_src}/lua5.1/src/*.c)
  list(FILTER _lua_c EXCLUDE REGEX "/(lua|luac|print)\\.c$")
  add_library(tarnholm_lua STATIC ${_lua_c})
  target_include_directories(tarnholm_lua SYSTEM PUBLIC ${_src}/lua5.1/src ${_src}/lua5.1/etc)
  target_compile_options(tarnholm_lua PRIVATE -w)
  add_library(tarnholm::lua ALIAS tarnholm_lua)

  # TinyXML (always with its STL interface, as Debian builds it)
  add_library(tarnholm_tinyxml STATIC
    ${_src}/tinyxml/tinyxml.cpp ${_src}/tinyxml/tinystr.cpp
    ${_src}/tinyxml/tinyxmlerror.cpp ${_src}/tinyxml/tinyxmlparser.cpp)
  target_include_directories(tarnholm_tinyxml SYSTEM PUBLIC ${_src}/tinyxml)
  target_compile_definitions(tarnholm_tinyxml PUBLIC TIXML_USE_STL)
  target_compile_options(tarnholm_tinyxml PRIVATE -w)
  add_library(tarnholm::tinyxml ALIAS tarnholm_tinyxml)

  # libogg: config_types.h is normally made by configure
  set(_ogg_gen ${CMAKE_BINARY_DIR}/third-party-ogg/ogg)
  file(MAKE_DIRECTORY ${_ogg_gen})
  file(WRITE ${_ogg_gen}/config_types.h.new
"#ifndef __CONFIG_TYPES_H__\n#define __CONFIG_TYPES_H__\n#include <stdint.h>\n\
typedef int16_t ogg_int16_t;\ntypedef uint16_t ogg_uint16_t;\ntypedef int32_t ogg_int32_t;\n\
typedef uint32_t ogg_uint32_t;\ntypedef int64_t ogg_int64_t;\ntypedef uint64_t ogg_uint64_t;\n#endif\n")
  configure_file(${_ogg_gen}/config_types.h.new ${_ogg_gen}/config_types.h COPYONLY)
  add_library(tarnholm_ogg STATIC ${_src}/libogg/src/bitwise.c ${_src}/libogg/src/framing.c)
  target_include_directories(tarnholm_ogg SYSTEM PUBLIC ${_src}/libogg/include ${CMAKE_BINARY_DIR}/third-party-ogg)
  target_compile_options(tarnholm_ogg PRIVATE -w)
  add_library(tarnholm::ogg ALIAS tarnholm_ogg)

  # libvorbis and vorbisfile
  file(GLOB _vorbis_c ${_src}/libvorbis/lib/*.c)
  list(FILTER _vorbis_c EXCLUDE REGEX "/(barkmel|psytune|tone|vorbisfile|vorbisenc)\\.c$")
  add_library(tarnholm_vorbis STATIC ${_vorbis_c})
  target_include_directories(tarnholm_vorbis SYSTEM PUBLIC ${_src}/libvorbis/include PRIVATE ${_src}/libvorbis/lib)
  target_link_libraries(tarnholm_vorbis PUBLIC tarnholm_ogg)
  target_compile_options(tarnholm_vorbis PRIVATE -w)
  add_library(tarnholm::vorbis ALIAS tarnholm_vorbis)
  add_library(tarnholm_vorbisfile STATIC ${_src}/libvorbis/lib/vorbisfile.c)
  target_link_libraries(tarnholm_vorbisfile PUBLIC tarnholm_vorbis)
  target_compile_options(tarnholm_vorbisfile PRIVATE -w)
  add_library(tarnholm::vorbisfile ALIAS tarnholm_vorbisfile)
  add_library(tarnholm_vorbisenc STATIC ${_src}/libvorbis/lib/vorbisenc.c)
  target_include_directories(tarnholm_vorbisenc PRIVATE ${_src}/libvorbis/lib)
  target_link_libraries(tarnholm_vorbisenc PUBLIC tarnholm_vorbis)
  target_compile_options(tarnholm_vorbisenc PRIVATE -w)
  add_library(tarnholm::vorbisenc ALIAS tarnholm_vorbisenc)

  # libjpeg-turbo with its jpeg62 interface, built without its SIMD code
  # (which needs nasm): the portable C paths decode our few pictures well
  # enough. The headers that its own build would configure are made here.
  set(_jpeg ${_src}/libjpeg-turbo)
  set(_jpeg_gen ${CMAKE_BINARY_DIR}/third-party-jpeg)
  # In a function, so that the names the templates use stay here.
  function(tarnholm_jpeg_headers src out)
    file(STRINGS ${src}/CMakeLists.txt _line REGEX "^set\\(VERSION [0-9.]+\\)")
    string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" VERSION "${_line}")
    string(REPLACE "." ";" _parts ${VERSION})
    list(GET _parts 0 _major)
    list(GET _parts 1 _minor)
    list(GET _parts 2 _revision)
    math(EXPR LIBJPEG_TURBO_VERSION_NUMBER "${_major} * 1000000 + ${_minor} * 1000 + ${_revision}")
    set(JPEG_LIB_VERSION 62)
    set(C_ARITH_CODING_SUPPORTED 1)
    set(D_ARITH_CODING_SUPPORTED 1)
    set(MEM_SRCDST_SUPPORTED 1)
    set(BITS_IN_JSAMPLE 8)
    set(BUILD "tarnholm")
    set(INLINE "__inline__ __attribute__((always_inline))")
    set(THREAD_LOCAL "__thread")
    set(SIZE_T 8)
    set(HAVE_BUILTIN_CTZL 1)
    set(COPYRIGHT_YEAR "1991-2023")
    set(CMAKE_PROJECT_NAME "libjpeg-turbo")
    # The Windows form of jconfig.h agrees with the Windows headers on
    # `boolean` and INT32.
    configure_file(${src}/win/jconfig.h.in ${out}/jconfig.h)
    foreach(h jconfigint jversion)
      configure_file(${src}/${h}.h.in ${out}/${h}.h)
    endforeach()
  endfunction()
  tarnholm_jpeg_headers(${_jpeg} ${_jpeg_gen})
  set(_jpeg_c jcapimin jcapistd jccoefct jccolor jcdctmgr jchuff jcicc jcinit jcmainct jcmarker jcmaster
    jcomapi jcparam jcphuff jcprepct jcsample jctrans jdapimin jdapistd jdatadst jdatasrc jdcoefct jdcolor
    jddctmgr jdhuff jdicc jdinput jdmainct jdmarker jdmaster jdmerge jdphuff jdpostct jdsample jdtrans
    jerror jfdctflt jfdctfst jfdctint jidctflt jidctfst jidctint jidctred jquant1 jquant2 jutils jmemmgr
    jmemnobs jaricom jcarith jdarith jsimd_none)
  list(TRANSFORM _jpeg_c PREPEND ${_jpeg}/)
  list(TRANSFORM _jpeg_c APPEND .c)
  add_library(tarnholm_jpeg STATIC ${_jpeg_c})
  target_include_directories(tarnholm_jpeg SYSTEM PUBLIC ${_jpeg_gen} ${_jpeg})
  target_compile_options(tarnholm_jpeg PRIVATE -w)
  add_library(tarnholm::jpeg ALIAS tarnholm_jpeg)

  # d3d8.dll has no import library in mingw-w64: make one from our .def.
  set(_d3d8_lib ${CMAKE_BINARY_DIR}/libd3d8.a)
  add_custom_command(OUTPUT ${_d3d8_lib}
    COMMAND ${CMAKE_DLLTOOL} -d ${TARNHOLM_ROOT}/cmake/d3d8.def -l ${_d3d8_lib}
    DEPENDS ${TARNHOLM_ROOT}/cmake/d3d8.def
    COMMENT "Import library for d3d8.dll")
  add_custom_target(d3d8_importlib DEPENDS ${_d3d8_lib})
  add_library(tarnholm_d3d8 INTERFACE)
  add_dependencies(tarnholm_d3d8 d3d8_importlib)
  target_link_libraries(tarnholm_d3d8 INTERFACE ${_d3d8_lib})
  add_library(tarnholm::d3d8 ALIAS tarnholm_d3d8)
else()
  find_package(PkgConfig REQUIRED)
  add_library(tarnholm_boost INTERFACE)
  add_library(tarnholm::boost ALIAS tarnholm_boost)
  add_library(tarnholm_stb INTERFACE)
  add_library(tarnholm::stb ALIAS tarnholm_stb)

  pkg_check_modules(LUA51 REQUIRED IMPORTED_TARGET lua5.1)
  add_library(tarnholm::lua ALIAS PkgConfig::LUA51)

  find_library(TINYXML_LIB tinyxml REQUIRED)
  add_library(tarnholm_tinyxml INTERFACE)
  target_link_libraries(tarnholm_tinyxml INTERFACE ${TINYXML_LIB})
  target_compile_definitions(tarnholm_tinyxml INTERFACE TIXML_USE_STL)
  add_library(tarnholm::tinyxml ALIAS tarnholm_tinyxml)

  pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
  pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbis)
  pkg_check_modules(VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
  pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc)
  add_library(tarnholm::ogg ALIAS PkgConfig::OGG)
  add_library(tarnholm::vorbis ALIAS PkgConfig::VORBIS)
  add_library(tarnholm::vorbisfile ALIAS PkgConfig::VORBISFILE)
  add_library(tarnholm::vorbisenc ALIAS PkgConfig::VORBISENC)
  target_link_libraries(PkgConfig::VORBISFILE INTERFACE PkgConfig::VORBIS PkgConfig::OGG)
  target_link_libraries(PkgConfig::VORBISENC INTERFACE PkgConfig::VORBIS PkgConfig::OGG)

  pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
  add_library(tarnholm::jpeg ALIAS PkgConfig::JPEG)

  pkg_check_modules(FREETYPE IMPORTED_TARGET freetype2)
  if(FREETYPE_FOUND)
    add_library(tarnholm::freetype ALIAS PkgConfig::FREETYPE)
  endif()
endif()
