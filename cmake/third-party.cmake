# zlib, minizip's unzip and GoogleTest, built from the sources the bootstrap installed.
if(NOT EXISTS "${HIVORA_DEPS_SRC}/zlib.h")
  message(FATAL_ERROR "zlib sources not found in ${HIVORA_DEPS_SRC}: run scripts/bootstrap")
endif()

set(_z "${HIVORA_DEPS_SRC}")
add_library(zlib STATIC
  ${_z}/adler32.c ${_z}/compress.c ${_z}/crc32.c ${_z}/deflate.c ${_z}/infback.c
  ${_z}/inffast.c ${_z}/inflate.c ${_z}/inftrees.c ${_z}/trees.c ${_z}/uncompr.c ${_z}/zutil.c)
target_include_directories(zlib SYSTEM PUBLIC ${_z})
target_compile_options(zlib PRIVATE -w)

add_library(minizip_unzip STATIC
  ${_z}/contrib/minizip/unzip.c ${_z}/contrib/minizip/ioapi.c ${_z}/contrib/minizip/iowin32.c)
target_include_directories(minizip_unzip SYSTEM PUBLIC ${_z}/contrib/minizip)
target_compile_definitions(minizip_unzip PRIVATE NOCRYPT NOUNCRYPT)
target_compile_options(minizip_unzip PRIVATE -w)
target_link_libraries(minizip_unzip PUBLIC zlib)

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${HIVORA_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main)
  target_compile_options(${t} PRIVATE -w)
endforeach()
