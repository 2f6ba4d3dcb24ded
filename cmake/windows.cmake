# Windows (MinGW-w64 cross build): Quillfen.asi, the substitute
# ScriptHookRDR2.dll and quillfen-sim.exe that loads both.
enable_language(RC)

# Runtime linked statically: the player copies one file, which needs only
# Windows system DLLs and ScriptHookRDR2.dll.
set(static_runtime -static -static-libgcc -static-libstdc++)

# Reproducible binaries: the same commit builds the same bytes, wherever it is
# checked out and whenever it is built. No link time in the PE headers, and
# source paths (kept by std::source_location for leak reports) relative to
# the source tree.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)

# Import library for the host, generated from the .def file that binds our
# plain names to the host's decorated exports.
find_program(DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
set(host_import_lib ${CMAKE_CURRENT_BINARY_DIR}/libScriptHookRDR2.a)
add_custom_command(
  OUTPUT ${host_import_lib}
  # A relative output name: dlltool builds symbol names from it, and they must
  # not carry the build folder into the DLL.
  COMMAND ${DLLTOOL} -d ${PROJECT_SOURCE_DIR}/scripthook/ScriptHookRDR2.def -l libScriptHookRDR2.a
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripthook/ScriptHookRDR2.def
  COMMENT "Import library for ScriptHookRDR2.dll")
add_custom_target(host_import_library DEPENDS ${host_import_lib})

add_library(Quillfen MODULE
  ${plugin_portable_sources}
  src/platform/platform_win32.cpp
  src/platform/window_win32.cpp
  src/platform/local_time_win32.cpp
  src/entry_win32.cpp
  scripthook/host_imports_win32.cpp
  src/version.rc)
set_target_properties(Quillfen PROPERTIES PREFIX "" SUFFIX ".asi" OUTPUT_NAME Quillfen)
target_include_directories(Quillfen PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(Quillfen PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_include_directories(Quillfen PRIVATE ${quillfen_generated_dir})
add_dependencies(Quillfen host_import_library)
target_link_libraries(Quillfen PRIVATE ${host_import_lib} ${static_runtime})
target_link_options(Quillfen PRIVATE -Wl,--no-undefined -Wl,--subsystem,windows)
quillfen_warnings(Quillfen)

# The substitute host: the real host's exports (by .def) over the simulated game.
add_library(ScriptHookRDR2 SHARED
  sim/native_signatures.cpp sim/game.cpp sim/host.cpp sim/trace.cpp sim/scenario.cpp sim/fiber_win32.cpp
  sim/host_dll_win32.cpp src/json5_reader.cpp src/allocators.cpp
  sim/ScriptHookRDR2.def)
set_target_properties(ScriptHookRDR2 PROPERTIES PREFIX "" OUTPUT_NAME ScriptHookRDR2)
target_include_directories(ScriptHookRDR2 PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(ScriptHookRDR2 PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(ScriptHookRDR2 PRIVATE ${static_runtime})
quillfen_warnings(ScriptHookRDR2)

add_executable(quillfen-sim sim/main_win32.cpp)
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
add_executable(quillfen-markers tools/quillfen_markers.cpp tools/marker_export.cpp tools/tool_platform_win32.cpp
               tools/quillfen_markers.rc src/json5_reader.cpp src/marker_file.cpp src/marker.cpp src/allocators.cpp
               src/marker_copies.cpp src/marker_spacing.cpp
               src/calendar.cpp src/text_builder.cpp src/platform/platform_win32.cpp src/platform/local_time_win32.cpp)
target_include_directories(quillfen-markers PRIVATE ${PROJECT_SOURCE_DIR} ${quillfen_generated_dir})
target_compile_definitions(quillfen-markers PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(quillfen-markers PRIVATE ${static_runtime})
target_link_options(quillfen-markers PRIVATE -municode)
quillfen_warnings(quillfen-markers)
