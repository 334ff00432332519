# Helpers shared by every folder's CMakeLists.

# Warnings on for our own code, and fatal.
function(zv_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Code that ends up in the installer stub: optimise for size and let the linker drop what is
# not used. A no-op in the native tree.
function(zv_small target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections)
  endif()
endfunction()

# A GoogleTest executable registered with CTest. Each run leaves a JUnit-style XML report under
# build/<tree>/test-results/, which scripts/test sums into one line.
#   zv_add_gtest(NAME name SOURCES a.cpp ... LIBS lib ... [WINDOWS_GUI])
function(zv_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest_main gtest)
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
