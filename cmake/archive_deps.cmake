# libarchive, zlib and libdeflate for every build, as targets the code links:
#
#   d88cut::libarchive  libarchive with the zip, 7z, lha, rar, rar5, tar and
#                       raw readers and the gzip, bzip2 and xz filters
#   d88cut::zlib        zlib
#   d88cut::deflate     libdeflate, whose decompressor inflates MFI tracks
#                       in less than half zlib's time
#
# Native builds take the system's libraries (Debian: libarchive-dev,
# zlib1g-dev, libdeflate-dev).  The MinGW-w64 and Emscripten builds have no
# such packages, so they compile libarchive, zlib, bzip2, liblzma and
# libdeflate statically from the
# Debian source packages that cmake/fetch-deps.sh unpacks into
# D88CUT_DEPS_SOURCE_DIR: the .exe files need no DLLs, the page nothing at
# run time, and every build reads archives with the same patched code.
#
# The sources are compiled as ordinary targets of this build, not through
# their own build systems: libarchive's CMake configure runs several hundred
# checks, each a compiler or linker start (measured here on a busy machine:
# two minutes for MinGW-w64, an hour under Emscripten), while its results
# for a platform never change.  They stand in
# cmake/deps/libarchive-config-<platform>.h, written by that very configure
# (cmake/deps/make-libarchive-config.sh makes them again), and only the
# sources of the readers and writers named here are compiled.

set(D88CUT_DEPS_SOURCE_DIR "" CACHE PATH
    "Unpacked sources of libarchive, zlib, bzip2, xz-utils and libdeflate (cmake/fetch-deps.sh DIR) for the cross builds")

if(NOT (MINGW OR EMSCRIPTEN))
  find_package(LibArchive 3.3 REQUIRED)
  find_package(ZLIB REQUIRED)
  # An interface target rather than FindLibArchive's own, which CMake 3.16
  # does not make yet.
  add_library(d88cut_libarchive INTERFACE)
  target_include_directories(d88cut_libarchive INTERFACE ${LibArchive_INCLUDE_DIRS})
  target_link_libraries(d88cut_libarchive INTERFACE ${LibArchive_LIBRARIES})
  add_library(d88cut::libarchive ALIAS d88cut_libarchive)
  add_library(d88cut::zlib ALIAS ZLIB::ZLIB)
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
  find_library(LIBDEFLATE_LIBRARY deflate)
  if(NOT LIBDEFLATE_INCLUDE_DIR OR NOT LIBDEFLATE_LIBRARY)
    message(FATAL_ERROR "libdeflate is needed (Debian: libdeflate-dev; macOS: brew install libdeflate)")
  endif()
  add_library(d88cut_deflate INTERFACE)
  target_include_directories(d88cut_deflate INTERFACE ${LIBDEFLATE_INCLUDE_DIR})
  target_link_libraries(d88cut_deflate INTERFACE ${LIBDEFLATE_LIBRARY})
  add_library(d88cut::deflate ALIAS d88cut_deflate)
  return()
endif()

enable_language(C)
set(deps ${D88CUT_DEPS_SOURCE_DIR})
foreach(package libarchive zlib bzip2 xz-utils libdeflate)
  if(NOT deps OR NOT EXISTS ${deps}/${package}.version)
    message(FATAL_ERROR "This build compiles libarchive and its compressors from source: run "
                        "cmake/fetch-deps.sh DIR and configure with -DD88CUT_DEPS_SOURCE_DIR=DIR "
                        "(no ${package} in \"${deps}\")")
  endif()
  file(STRINGS ${deps}/${package}.version version LIMIT_COUNT 1)
  message(STATUS "${package} ${version} from ${deps}/${package}")
endforeach()
# Configure again when a source package is fetched anew.
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${deps}/libarchive.version ${deps}/zlib.version ${deps}/bzip2.version
             ${deps}/xz-utils.version ${deps}/libdeflate.version)

# Foreign code: its warnings are its authors' (-w), and this build's
# -Werror must not fail on them; no debug information (-g0), which would
# only slow the build and swell every program.
function(d88cut_dep_library name dir)
  list(TRANSFORM ARGN PREPEND ${dir}/)
  add_library(${name} STATIC ${ARGN})
  set_target_properties(${name} PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
  target_compile_options(${name} PRIVATE -w -g0)
  if(EMSCRIPTEN)
    # Optimised for size: the page carries them, and a floppy's worth of
    # unpacking takes milliseconds either way.
    target_compile_options(${name} PRIVATE -Os)
  endif()
endfunction()

# zlib.  From source on MinGW too, not Debian's libz-mingw-w64-dev: there
# FindZLIB takes libz.dll.a before libz.a, and libarchive then declares
# zlib's functions as DLL imports (__imp_inflate... undefined in a static
# link).
d88cut_dep_library(d88cut_zlib ${deps}/zlib
  adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c infback.c
  inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c)
target_include_directories(d88cut_zlib SYSTEM PUBLIC ${deps}/zlib)
if(EMSCRIPTEN)
  target_compile_definitions(d88cut_zlib PRIVATE Z_HAVE_UNISTD_H)  # gz* use read and write
endif()
add_library(d88cut::zlib ALIAS d88cut_zlib)

# libdeflate: its decompressor alone (the CPU feature checks pick its fastest
# code on x86 and ARM, and are empty elsewhere).
d88cut_dep_library(d88cut_deflate ${deps}/libdeflate
  lib/deflate_decompress.c lib/utils.c lib/x86/cpu_features.c lib/arm/cpu_features.c)
target_include_directories(d88cut_deflate SYSTEM PUBLIC ${deps}/libdeflate)
add_library(d88cut::deflate ALIAS d88cut_deflate)

# bzip2: its library is seven files and has no build system to speak of.
d88cut_dep_library(d88cut_bzip2 ${deps}/bzip2
  blocksort.c huffman.c crctable.c randtable.c compress.c decompress.c bzlib.c)
target_include_directories(d88cut_bzip2 SYSTEM PUBLIC ${deps}/bzip2)

# The writers (libarchive's zip, 7z and tar writers, the compressing filters
# and liblzma's encoders) are for the tests, which make their archives with
# them; the page only reads.
option(D88CUT_ARCHIVE_WRITERS "Compile libarchive's writers too (the tests make archives with them)"
       ${MINGW})

# liblzma, single-threaded: its CMake build insists on threads, which under
# Emscripten means -pthread and a SharedArrayBuffer the page cannot count on.
# The features are those of xz's own build, without the multithreaded coders
# (libarchive only uses them when threads are there).
set(lzma_sources
  common/tuklib_physmem.c
  liblzma/check/check.c liblzma/check/crc32_fast.c liblzma/check/crc32_table.c
  liblzma/check/crc64_fast.c liblzma/check/crc64_table.c liblzma/check/sha256.c
  liblzma/common/block_util.c liblzma/common/common.c liblzma/common/easy_preset.c
  liblzma/common/filter_common.c liblzma/common/hardware_physmem.c liblzma/common/index.c
  liblzma/common/stream_flags_common.c liblzma/common/string_conversion.c
  liblzma/common/vli_size.c
  liblzma/common/alone_decoder.c liblzma/common/auto_decoder.c
  liblzma/common/block_buffer_decoder.c liblzma/common/block_decoder.c
  liblzma/common/block_header_decoder.c liblzma/common/easy_decoder_memusage.c
  liblzma/common/file_info.c liblzma/common/filter_buffer_decoder.c
  liblzma/common/filter_decoder.c liblzma/common/filter_flags_decoder.c
  liblzma/common/index_decoder.c liblzma/common/index_hash.c liblzma/common/lzip_decoder.c
  liblzma/common/stream_buffer_decoder.c liblzma/common/stream_decoder.c
  liblzma/common/stream_flags_decoder.c liblzma/common/vli_decoder.c
  liblzma/delta/delta_common.c liblzma/delta/delta_decoder.c liblzma/lz/lz_decoder.c
  liblzma/lzma/lzma_encoder_presets.c liblzma/lzma/lzma_decoder.c liblzma/lzma/lzma2_decoder.c
  liblzma/simple/simple_coder.c liblzma/simple/simple_decoder.c liblzma/simple/x86.c
  liblzma/simple/powerpc.c liblzma/simple/ia64.c liblzma/simple/arm.c
  liblzma/simple/armthumb.c liblzma/simple/arm64.c liblzma/simple/sparc.c)
set(lzma_coders DECODERS LZIP_DECODER)
if(D88CUT_ARCHIVE_WRITERS)
  list(APPEND lzma_sources
    liblzma/common/alone_encoder.c liblzma/common/block_buffer_encoder.c
    liblzma/common/block_encoder.c liblzma/common/block_header_encoder.c
    liblzma/common/easy_buffer_encoder.c liblzma/common/easy_encoder.c
    liblzma/common/easy_encoder_memusage.c liblzma/common/filter_buffer_encoder.c
    liblzma/common/filter_encoder.c liblzma/common/filter_flags_encoder.c
    liblzma/common/index_encoder.c liblzma/common/stream_buffer_encoder.c
    liblzma/common/stream_encoder.c liblzma/common/stream_flags_encoder.c
    liblzma/common/vli_encoder.c liblzma/delta/delta_encoder.c liblzma/lz/lz_encoder.c
    liblzma/lz/lz_encoder_mf.c liblzma/lzma/fastpos_table.c liblzma/lzma/lzma_encoder.c
    liblzma/lzma/lzma_encoder_optimum_fast.c liblzma/lzma/lzma_encoder_optimum_normal.c
    liblzma/lzma/lzma2_encoder.c liblzma/rangecoder/price_table.c
    liblzma/simple/simple_encoder.c)
  list(APPEND lzma_coders ENCODERS MF_BT2 MF_BT3 MF_BT4 MF_HC3 MF_HC4)
endif()
foreach(filter LZMA1 LZMA2 DELTA X86 POWERPC IA64 ARM ARMTHUMB ARM64 SPARC)
  list(APPEND lzma_coders DECODER_${filter})
  if(D88CUT_ARCHIVE_WRITERS)
    list(APPEND lzma_coders ENCODER_${filter})
  endif()
endforeach()
list(TRANSFORM lzma_coders PREPEND HAVE_)
set(lzma_src ${deps}/xz-utils/src)
d88cut_dep_library(d88cut_lzma ${lzma_src} ${lzma_sources})
target_include_directories(d88cut_lzma SYSTEM PUBLIC ${lzma_src}/liblzma/api)
target_include_directories(d88cut_lzma PRIVATE ${lzma_src}/common ${lzma_src}/liblzma/common
  ${lzma_src}/liblzma/check ${lzma_src}/liblzma/lz ${lzma_src}/liblzma/rangecoder
  ${lzma_src}/liblzma/lzma ${lzma_src}/liblzma/delta ${lzma_src}/liblzma/simple)
# Without it lzma.h declares every function a DLL import on Windows.
target_compile_definitions(d88cut_lzma PUBLIC LZMA_API_STATIC)
target_compile_definitions(d88cut_lzma PRIVATE
  TUKLIB_SYMBOL_PREFIX=lzma_ HAVE_STDBOOL_H HAVE__BOOL HAVE_STDINT_H HAVE_INTTYPES_H
  HAVE_CHECK_CRC32 HAVE_CHECK_CRC64 HAVE_CHECK_SHA256 ${lzma_coders})

# libarchive: the core and the readers and filters the programs use, and
# where asked the writers.  Not archive_read_support_format_all and its
# like: they pull in every format, and with them libxml2, ICU and the rest.
set(libarchive_sources
  archive_acl.c archive_check_magic.c archive_cryptor.c archive_digest.c archive_entry.c
  archive_entry_copy_stat.c archive_entry_link_resolver.c archive_entry_sparse.c
  archive_entry_stat.c archive_entry_strmode.c archive_entry_xattr.c archive_hmac.c
  archive_options.c archive_ppmd7.c archive_ppmd8.c archive_random.c archive_rb.c
  archive_string.c archive_string_sprintf.c archive_util.c archive_version_details.c
  archive_virtual.c archive_blake2s_ref.c archive_blake2sp_ref.c
  archive_read.c archive_read_add_passphrase.c archive_read_open_fd.c archive_read_open_file.c
  archive_read_open_filename.c archive_read_open_memory.c archive_read_set_options.c
  archive_read_support_filter_none.c archive_read_support_filter_gzip.c
  archive_read_support_filter_bzip2.c archive_read_support_filter_xz.c
  archive_read_support_format_7zip.c archive_read_support_format_empty.c
  archive_read_support_format_lha.c archive_read_support_format_rar.c
  archive_read_support_format_rar5.c archive_read_support_format_raw.c
  archive_read_support_format_tar.c archive_read_support_format_zip.c)
if(D88CUT_ARCHIVE_WRITERS)
  list(APPEND libarchive_sources
    archive_write.c archive_write_open_fd.c archive_write_open_file.c
    archive_write_open_filename.c archive_write_open_memory.c archive_write_set_options.c
    archive_write_set_passphrase.c archive_write_add_filter_none.c
    archive_write_add_filter_gzip.c archive_write_add_filter_bzip2.c
    archive_write_add_filter_xz.c archive_write_set_format_7zip.c
    archive_write_set_format_zip.c archive_write_set_format_pax.c
    archive_write_set_format_ustar.c archive_write_set_format_gnutar.c
    archive_write_set_format_raw.c
    # archive_write_set_format.c, which every writer calls, holds a table of
    # them all, so all must be there.
    archive_write_set_format.c archive_write_set_format_cpio.c
    archive_write_set_format_cpio_binary.c archive_write_set_format_cpio_newc.c
    archive_write_set_format_cpio_odc.c archive_write_set_format_iso9660.c
    archive_write_set_format_mtree.c archive_write_set_format_shar.c
    archive_write_set_format_warc.c archive_write_set_format_xar.c)
endif()
if(MINGW)
  set(libarchive_platform windows)
  list(APPEND libarchive_sources archive_windows.c)  # the CRT's file calls, wide and long
else()
  set(libarchive_platform emscripten)
endif()
d88cut_dep_library(d88cut_libarchive_static ${deps}/libarchive/libarchive ${libarchive_sources})
# The kept configuration must be for the libarchive fetched (its first line
# names the version it was made from); a warning, not an error, so that the
# build folder can still be configured to make it anew.
set(libarchive_config_header
    ${CMAKE_CURRENT_LIST_DIR}/deps/libarchive-config-${libarchive_platform}.h)
file(STRINGS ${libarchive_config_header} made_from LIMIT_COUNT 1)
file(STRINGS ${deps}/libarchive.version fetched LIMIT_COUNT 1)
string(REGEX MATCH "libarchive ([0-9.]+)" made_from "${made_from}")
set(made_from ${CMAKE_MATCH_1})
string(REGEX MATCH "^[0-9.]+" fetched "${fetched}")
if(NOT made_from STREQUAL fetched)
  message(WARNING "${libarchive_config_header} was made for libarchive ${made_from}, the "
                      "fetched one is ${fetched}: run cmake/deps/make-libarchive-config.sh")
endif()
set(libarchive_config ${CMAKE_BINARY_DIR}/libarchive-config)
configure_file(${libarchive_config_header} ${libarchive_config}/config.h COPYONLY)
target_include_directories(d88cut_libarchive_static PRIVATE ${libarchive_config})
target_include_directories(d88cut_libarchive_static SYSTEM PUBLIC ${deps}/libarchive/libarchive)
target_compile_definitions(d88cut_libarchive_static PRIVATE HAVE_CONFIG_H
                           PUBLIC LIBARCHIVE_STATIC)
if(MINGW)
  # As libarchive's own build: C99 printf formats in MinGW's stdio.
  target_compile_definitions(d88cut_libarchive_static PRIVATE __USE_MINGW_ANSI_STDIO)
endif()
target_link_libraries(d88cut_libarchive_static PUBLIC d88cut_zlib d88cut_bzip2 d88cut_lzma)
add_library(d88cut::libarchive ALIAS d88cut_libarchive_static)
