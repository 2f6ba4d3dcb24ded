# Windows (MinGW-w64 cross build): Quillfen.asi, the substitute
# ScriptHookRDR2.dll and quillfen-sim.exe that loads both.
enable_language(RC)

# Runtime linked statically: the player copies one file, which needs only
# Windows system DLLs and ScriptHookRDR2.dll.
set(static_runtime -static -static-libgcc -static-libstdc++)

# Import library for the host, generated from the .def file that binds our
# plain names to the host's decorated exports.
find_program(DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
set(host_import_lib ${CMAKE_CURRENT_BINARY_DIR}/libScriptHookRDR2.a)
add_custom_command(
  OUTPUT ${host_import_lib}
  # A relative output name: dlltool builds symbol names from it, and they must
  # not carry the build folder into the DLL.
  COMMAND ${DLLTOOL} -d ${PROJECT_SOURCE_DIR}/src/scripthook/ScriptHookRDR2.def -l libScriptHookRDR2.a
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/src/scripthook/ScriptHookRDR2.def
  COMMENT "Import library for ScriptHookRDR2.dll")
add_custom_target(host_import_library DEPENDS ${host_import_lib})

add_library(Quillfen MODULE
  ${plugin_portable_sources}
  src/entry_win32.cpp
  src/scripthook/host_imports_win32.cpp
  src/version.rc)
set_target_properties(Quillfen PROPERTIES PREFIX "" SUFFIX ".asi" OUTPUT_NAME Quillfen)
target_include_directories(Quillfen PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(Quillfen PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_include_directories(Quillfen PRIVATE ${quillfen_generated_dir})
add_dependencies(Quillfen host_import_library)
target_link_libraries(Quillfen PRIVATE quillfen_file_formats ${host_import_lib} ${static_runtime})
target_link_options(Quillfen PRIVATE -Wl,--no-undefined -Wl,--subsystem,windows)
quillfen_warnings(Quillfen)

# The substitute host: the real host's exports (by .def) over the simulated game.
add_library(ScriptHookRDR2 SHARED
  sim/game_natives.cpp sim/game.cpp sim/host.cpp sim/trace.cpp sim/scenario.cpp sim/fiber_win32.cpp
  sim/host_dll_win32.cpp sim/ScriptHookRDR2.def)
set_target_properties(ScriptHookRDR2 PROPERTIES PREFIX "" OUTPUT_NAME ScriptHookRDR2)
target_include_directories(ScriptHookRDR2 PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(ScriptHookRDR2 PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(ScriptHookRDR2 PRIVATE quillfen_base ${static_runtime})
quillfen_warnings(ScriptHookRDR2)

add_executable(quillfen-sim sim/main_win32.cpp sim/driver.cpp)
target_include_directories(quillfen-sim PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(quillfen-sim PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(quillfen-sim PRIVATE ${static_runtime})
quillfen_warnings(quillfen-sim)

# Holds a file open without sharing, for the end-to-end tests.
add_executable(quillfen-hold-file sim/hold_file_win32.cpp)
target_link_libraries(quillfen-hold-file PRIVATE ${static_runtime})
quillfen_warnings(quillfen-hold-file)

# The markers tool for players: the same reader and writer as the plug-in, with
# paths and arguments in any language (wide-character entry point and APIs).
# It links the store format only (and the lower layer under it).
add_executable(quillfen-markers tools/quillfen_markers.cpp tools/folder_commands.cpp tools/tool_files.cpp
               tools/marker_export.cpp tools/tool_platform_win32.cpp
               tools/quillfen_markers.rc)
target_include_directories(quillfen-markers PRIVATE ${quillfen_generated_dir})
target_compile_definitions(quillfen-markers PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(quillfen-markers PRIVATE quillfen_file_formats ${static_runtime})
target_link_options(quillfen-markers PRIVATE -municode)
quillfen_warnings(quillfen-markers)

# The Wine end-to-end tests: every test of tests/wine/*_test.py is a CTest test
# labelled "wine" (ctest --preset wine). Each runs through scripts/wine-env, one
# at a time: they share a Wine prefix and its server.
enable_testing()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(GLOB wine_test_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/*_test.py)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${wine_test_files})
execute_process(
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/wine/run_wine_test.py --list
  OUTPUT_VARIABLE wine_tests
  RESULT_VARIABLE wine_tests_listed
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT wine_tests_listed EQUAL 0 OR wine_tests STREQUAL "")
  message(FATAL_ERROR "cannot list the Wine tests (tests/wine/run_wine_test.py --list)")
endif()
string(REPLACE "\n" ";" wine_tests "${wine_tests}")
foreach(id IN LISTS wine_tests)
  string(REGEX MATCH "[^.]+\\.[^.]+$" name "${id}")  # Class.test_name
  add_test(NAME wine.${name}
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-env ${Python3_EXECUTABLE}
                   ${PROJECT_SOURCE_DIR}/tests/wine/run_wine_test.py ${id})
  set_tests_properties(wine.${name} PROPERTIES LABELS wine SKIP_RETURN_CODE 77 RESOURCE_LOCK wine TIMEOUT 900)
endforeach()
