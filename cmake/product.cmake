# The Windows build: libbzip2, the product library, installer.exe, test programs.

set(product_flags -Wall -Wextra -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics
                  -ffunction-sections -fdata-sections)
set(win95_link_flags -static -mwindows -Wl,--gc-sections
    -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
set(system_libs ole32 uuid comctl32 version shell32 advapi32 gdi32 user32 kernel32)

# libbzip2 from the Debian sources that tools/setup fetched.
set(bzip2_dir ${CMAKE_SOURCE_DIR}/third_party/bzip2)
if(NOT EXISTS ${bzip2_dir}/bzlib.c)
  message(FATAL_ERROR "libbzip2 sources missing in ${bzip2_dir}: run tools/setup")
endif()
add_library(bz2 STATIC
  ${bzip2_dir}/blocksort.c ${bzip2_dir}/huffman.c ${bzip2_dir}/crctable.c
  ${bzip2_dir}/randtable.c ${bzip2_dir}/compress.c ${bzip2_dir}/decompress.c
  ${bzip2_dir}/bzlib.c)
target_compile_definitions(bz2 PUBLIC BZ_NO_STDIO)
target_compile_options(bz2 PRIVATE -Os -w -ffunction-sections -fdata-sections)
target_include_directories(bz2 SYSTEM PUBLIC ${bzip2_dir})

# Everything but the entry point, so that tests can link the real code.
add_library(installer_core STATIC)
target_include_directories(installer_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(installer_core PRIVATE ${product_flags})
target_compile_definitions(installer_core PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400
                                                 _WIN32_IE=0x0400)
target_link_libraries(installer_core PUBLIC bz2 ${system_libs})

if(EXISTS ${CMAKE_SOURCE_DIR}/jpeg/CMakeLists.txt)
  add_subdirectory(jpeg)
  target_compile_options(jpeg_decoder PRIVATE ${product_flags})
  target_link_libraries(installer_core PUBLIC jpeg_decoder)
endif()

foreach(dir platform archive app script engine ui uninstall)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()

add_executable(installer WIN32 app/win_main.cpp app/operator_new.cpp resources/installer.rc)
target_compile_options(installer PRIVATE ${product_flags})
target_link_libraries(installer PRIVATE installer_core)
target_link_options(installer PRIVATE ${win95_link_flags} -s)
set_target_properties(installer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_custom_command(TARGET installer POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E echo "installer.exe:"
  COMMAND stat -c "%s bytes" $<TARGET_FILE:installer>
  VERBATIM)

# Wine for the tests: one win32 prefix per build tree, created on first use.
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

enable_testing()
add_subdirectory(tests)

add_subdirectory(examples)
