# Third-party code from Debian's packages, built for whichever tree is being configured.

# LZMA SDK sources shipped by lzma-dev, and the SDK's two-thread match finder (LzFindMt.c),
# which lzma-dev leaves out: scripts/bootstrap takes it from the same package's source. The SDK's
# Threads.h is Win32's only; package/lzma_threads holds one on the C++ library's threads, for
# both trees.
set(ZV_LZMA_DIR /usr/include/lzma)
if(DEFINED ENV{ZV_LZMA_MT_DIR})
  set(zv_lzma_mt_default $ENV{ZV_LZMA_MT_DIR})
else()
  set(zv_lzma_mt_default /usr/local/src/zvsetup-lzma-mt)
endif()
set(ZV_LZMA_MT_DIR ${zv_lzma_mt_default} CACHE PATH "Folder with the LZMA SDK's LzFindMt.c and .h")
if(NOT EXISTS ${ZV_LZMA_MT_DIR}/LzFindMt.c OR NOT EXISTS ${ZV_LZMA_MT_DIR}/LzFindMt.h)
  message(FATAL_ERROR "${ZV_LZMA_MT_DIR} lacks the LZMA SDK's LzFindMt.c and .h: run scripts/bootstrap")
endif()
add_library(lzmasdk STATIC
  ${ZV_LZMA_DIR}/LzmaDec.c
  ${ZV_LZMA_DIR}/LzmaEnc.c
  ${ZV_LZMA_DIR}/LzFind.c
  ${ZV_LZMA_MT_DIR}/LzFindMt.c
  ${PROJECT_SOURCE_DIR}/package/lzma_threads/threads.cpp)
# Our Threads.h comes before the SDK's folders; LzFindMt.c's folder holds no other.
target_include_directories(lzmasdk SYSTEM PUBLIC ${PROJECT_SOURCE_DIR}/package/lzma_threads
                           ${ZV_LZMA_MT_DIR} ${ZV_LZMA_DIR})
target_compile_options(lzmasdk PRIVATE -w)
if(WIN32)
  # The decoder goes into the installer stub: small beats fast there (_LZMA_SIZE_OPT: loops
  # instead of unrolled bit decoding). The encoder keeps -O2.
  set_source_files_properties(${ZV_LZMA_DIR}/LzmaDec.c PROPERTIES
    COMPILE_OPTIONS "-Os;-D_LZMA_SIZE_OPT;-ffunction-sections;-fdata-sections;-fno-asynchronous-unwind-tables;-flto;-ffat-lto-objects")
endif()

# GoogleTest from /usr/src/googletest, built with this tree's compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main)
  target_compile_options(${t} PRIVATE -w)
endforeach()

# Header-only libraries for the packer (CLI11, nlohmann/json). The cross compiler must not see
# the rest of /usr/include, so only their own folders are exposed, through a staging folder.
set(ZV_HOST_INC ${CMAKE_BINARY_DIR}/_hostinc)
file(MAKE_DIRECTORY ${ZV_HOST_INC})
foreach(d CLI nlohmann)
  if(NOT EXISTS ${ZV_HOST_INC}/${d})
    file(CREATE_LINK /usr/include/${d} ${ZV_HOST_INC}/${d} SYMBOLIC)
  endif()
endforeach()
add_library(hostheaders INTERFACE)
target_include_directories(hostheaders SYSTEM INTERFACE ${ZV_HOST_INC})
