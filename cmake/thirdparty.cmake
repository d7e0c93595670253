# libjpeg (from the fetched libjpeg-turbo source, built with our toolchain), zlib (the MinGW package)
# and GoogleTest (from the sources Debian installs).
include(ExternalProject)

file(GLOB _jpeg_src LIST_DIRECTORIES true "${QUOVANTA_CACHE}/libjpeg-turbo-*")
list(FILTER _jpeg_src INCLUDE REGEX "/libjpeg-turbo-[0-9.]+$")
if(NOT _jpeg_src)
    message(FATAL_ERROR "libjpeg-turbo source not found in ${QUOVANTA_CACHE}; run scripts/setup.sh")
endif()
list(GET _jpeg_src 0 JPEG_SOURCE_DIR)

set(_jpeg_prefix "${CMAKE_BINARY_DIR}/libjpeg")
ExternalProject_Add(libjpeg_build
    SOURCE_DIR "${JPEG_SOURCE_DIR}"
    BINARY_DIR "${_jpeg_prefix}/build"
    INSTALL_DIR "${_jpeg_prefix}"
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
        -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
        -DCMAKE_INSTALL_LIBDIR=<INSTALL_DIR>/lib
        -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF
        -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
    BUILD_BYPRODUCTS "${_jpeg_prefix}/lib/libjpeg.a"
    UPDATE_COMMAND "" 
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON)
file(MAKE_DIRECTORY "${_jpeg_prefix}/include")
add_library(jpeg_static STATIC IMPORTED GLOBAL)
set_target_properties(jpeg_static PROPERTIES
    IMPORTED_LOCATION "${_jpeg_prefix}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_jpeg_prefix}/include")
add_dependencies(jpeg_static libjpeg_build)

find_library(ZLIB_STATIC NAMES libz.a z REQUIRED)
find_path(ZLIB_INCLUDE zlib.h REQUIRED)
add_library(zlib_static STATIC IMPORTED GLOBAL)
set_target_properties(zlib_static PROPERTIES IMPORTED_LOCATION "${ZLIB_STATIC}"
    INTERFACE_INCLUDE_DIRECTORIES "${ZLIB_INCLUDE}")

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
