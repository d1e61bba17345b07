# minizip, the zip reader and writer that ships with zlib (contrib/minizip of
# Debian's zlib source, fetched by scripts/setup.sh): the packed setup.exe's
# archive. Compiled here as a static library on top of the zlib the build
# already links; without encryption support.
set(MINIZIP_SOURCE_DIR ${CMAKE_SOURCE_DIR}/build/deps/src/zlib/contrib/minizip
    CACHE PATH "contrib/minizip of zlib's source (scripts/setup.sh fetches it)")
if(NOT EXISTS ${MINIZIP_SOURCE_DIR}/unzip.c)
  message(FATAL_ERROR "minizip's source is not at ${MINIZIP_SOURCE_DIR}: run scripts/setup.sh (make setup)")
endif()
add_library(minizip STATIC
  ${MINIZIP_SOURCE_DIR}/ioapi.c
  ${MINIZIP_SOURCE_DIR}/unzip.c
  ${MINIZIP_SOURCE_DIR}/zip.c)
target_include_directories(minizip SYSTEM PUBLIC ${MINIZIP_SOURCE_DIR})
target_compile_definitions(minizip PUBLIC NOCRYPT NOUNCRYPT)
# Third-party code: its own warnings are not this project's to fix.
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
