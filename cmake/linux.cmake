# Linux: the plug-in as a static library, linked into the simulator, tools,
# tests and benchmarks.
add_library(quillfen_plugin STATIC ${plugin_portable_sources})
target_link_libraries(quillfen_plugin PUBLIC quillfen_file_formats)
quillfen_warnings(quillfen_plugin)

add_subdirectory(sim)

enable_testing()
add_subdirectory(tests)
add_subdirectory(bench)

# The tool's commands apart from its entry, so that the tests can run them
# with file operations that fail on demand (tests/support/file_faults.h).
add_library(quillfen_markers_tool STATIC tools/quillfen_markers.cpp tools/folder_commands.cpp tools/tool_files.cpp
            tools/marker_export.cpp)
target_include_directories(quillfen_markers_tool PRIVATE ${quillfen_generated_dir})
target_link_libraries(quillfen_markers_tool PUBLIC quillfen_file_formats)
quillfen_warnings(quillfen_markers_tool)
add_executable(quillfen-markers tools/tool_platform_posix.cpp)
target_link_libraries(quillfen-markers PRIVATE quillfen_markers_tool)
set_target_properties(quillfen-markers PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
quillfen_warnings(quillfen-markers)
