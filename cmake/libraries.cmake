# The small C libraries the engine links, as ckvd::NAME targets: from their static archives where Debian
# ships them. Each shared library costs every ckvd command a few hundred microseconds of start-up (mapping,
# relocating, first touches of its pages), where a catalogue search takes a few milliseconds in all.
# CKVD_STATIC_LIBRARIES=OFF links the shared ones.
option(CKVD_STATIC_LIBRARIES "Link zlib, SQLite, LZ4, zstd, nettle and FLAC from their static archives" ON)
find_package(Threads REQUIRED)

# ckvd_library(NAME ARCHIVE SHARED [what it needs ...])
function(ckvd_library name archive shared)
  set(found "")
  if(CKVD_STATIC_LIBRARIES)
    find_library(CKVD_${name}_ARCHIVE NAMES ${archive})
    set(found ${CKVD_${name}_ARCHIVE})
  endif()
  if(NOT found)
    find_library(CKVD_${name}_SHARED NAMES ${shared} REQUIRED)
    set(found ${CKVD_${name}_SHARED})
  endif()
  add_library(ckvd::${name} INTERFACE IMPORTED GLOBAL)
  target_link_libraries(ckvd::${name} INTERFACE ${found} ${ARGN})
endfunction()

ckvd_library(zlib libz.a z)
ckvd_library(sqlite3 libsqlite3.a sqlite3 ${CMAKE_DL_LIBS} Threads::Threads m)
ckvd_library(lz4 liblz4.a lz4)
ckvd_library(zstd libzstd.a zstd Threads::Threads)
ckvd_library(nettle libnettle.a nettle)
ckvd_library(ogg libogg.a ogg)
ckvd_library(flac libFLAC.a FLAC ckvd::ogg m)
