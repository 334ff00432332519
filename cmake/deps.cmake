# Third-party code from Debian's packages, built for whichever tree is being configured.

# LZMA SDK sources shipped by lzma-dev. Single-threaded encoder (_7ZIP_ST): the multithreaded
# match finder is not shipped.
set(ZV_LZMA_DIR /usr/include/lzma)
add_library(lzmasdk STATIC
  ${ZV_LZMA_DIR}/LzmaDec.c
  ${ZV_LZMA_DIR}/LzmaEnc.c
  ${ZV_LZMA_DIR}/LzFind.c)
target_compile_definitions(lzmasdk PUBLIC _7ZIP_ST)
target_include_directories(lzmasdk SYSTEM PUBLIC ${ZV_LZMA_DIR})
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
