# Helpers shared by every folder's CMakeLists.
#
# Source convention: in base/, package/, paint/ and app/, files ending in _win.cpp use Win32 and are
# built only in the Windows tree; every other .cpp file there is portable and built in both.

# Warnings on for our own code, and fatal. (GCC 12 reports false -Wrestrict overlaps inside
# std::string's operator+ at -O3, GCC bug 105329.)
function(zv_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-restrict)
endfunction()

# Code that ends up in the installer stub: optimise for size, no exceptions and no RTTI (our code never
# throws; the stub replaces the runtime's throwing helpers, app/stub_runtime_win.cpp, which keeps
# the unwinder and the threading library out of it), no unwind tables, and link-time
# optimisation. Fat LTO objects: test programs link the same libraries without LTO.
# A no-op in the native tree.
function(zv_small target)
  if(WIN32)
    target_compile_options(${target} PRIVATE ${ZV_SMALL_FLAGS} -ffunction-sections -fdata-sections
                                             -flto -ffat-lto-objects)
  endif()
endfunction()
# Only the stub links with link-time optimisation (it turns the plugin back on); every other
# program links the regular code of the fat objects, which keeps their links fast and avoids
# mixing LTO and plain copies of the same inline functions.
if(WIN32)
  add_link_options(-fno-use-linker-plugin)
endif()
# Function-local statics are not guarded: in the installer every one of them (screen DPI, the GDI+
# table) is first reached on the window's thread before the worker starts.
set(ZV_SMALL_FLAGS -Oz -fno-threadsafe-statics -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
                   -fno-math-errno -mpreferred-stack-boundary=2)

# The .cpp files of the current folder for this tree (see the convention above), minus EXCLUDE.
function(zv_folder_sources out)
  cmake_parse_arguments(S "" "" "EXCLUDE" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(result)
  foreach(f ${all})
    get_filename_component(name ${f} NAME)
    if(name IN_LIST S_EXCLUDE)
      continue()
    endif()
    if(name MATCHES "_win\\.cpp$" AND NOT WIN32)
      continue()
    endif()
    list(APPEND result ${f})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# A GoogleTest executable registered with CTest. Each run leaves a JUnit-style XML report under
# <tree>/test-results/, which scripts/test sums into one line.
#   zv_add_gtest(NAME name SOURCES a.cpp ... LIBS lib ...)
function(zv_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest_main gtest)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  zv_strict(${T_NAME})
  set(results ${CMAKE_BINARY_DIR}/test-results)
  file(MAKE_DIRECTORY ${results})
  # Under Wine a Unix path needs the Z: drive, which Wine maps to the Unix root.
  set(report ${results}/${T_NAME}.xml)
  if(WIN32)
    set(report Z:${report})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_output=xml:${report})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 1200)
endfunction()

# A static library of our own code; a folder whose sources are not written yet still yields a
# (empty) library so that everything linking to it configures.
function(zv_library name)
  set(sources ${ARGN})
  if(NOT sources)
    set(empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${empty} "// no sources yet\n")
    set(sources ${empty})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  zv_strict(${name})
  zv_small(${name})
endfunction()

# Writes the direct link dependencies of every target defined in the source tree, for the layering
# check (tests/layers/check_layers.sh --links): one line per target, "target folder dependency...",
# the folder relative to the source root ("." for the root). The top-level CMakeLists calls it
# last, when every target_link_libraries has run.
function(zv_write_link_graph file)
  set(lines "# target folder dependencies (written by zv_write_link_graph)\n")
  set(dirs ${PROJECT_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${dir} NORMALIZE inside)
    if(NOT inside)
      continue()  # third-party code added from elsewhere (GoogleTest)
    endif()
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${dir})
    if(folder STREQUAL "")
      set(folder .)
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      set(deps)
      if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT type STREQUAL "UTILITY")
        get_target_property(direct ${target} LINK_LIBRARIES)
        if(direct)
          list(APPEND deps ${direct})
        endif()
      endif()
      get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
      if(interface)
        list(APPEND deps ${interface})
      endif()
      # A static library's private dependencies reach its users as $<LINK_ONLY:name>.
      list(TRANSFORM deps REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1")
      list(REMOVE_DUPLICATES deps)
      list(JOIN deps " " deps)
      string(APPEND lines "${target} ${folder} ${deps}\n")
    endforeach()
  endwhile()
  file(WRITE ${file} "${lines}")
endfunction()
