# A 300-frame take to an image sequence and to video beside the draw-and-read-back
# limit; run build/bench/vthud_sequence_bench.
add_executable(vthud_sequence_bench ${CMAKE_CURRENT_LIST_DIR}/sequence_bench.cpp)
target_link_libraries(vthud_sequence_bench PRIVATE vthud_preview_core benchmark::benchmark)
target_compile_definitions(vthud_sequence_bench PRIVATE VTHUD_PLUGIN_PATH="$<TARGET_FILE:vthudelement>"
                                                          VTHUD_PREVIEW_TOOL="$<TARGET_FILE:vthud_preview>"
                                                          VTHUD_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/resources")
add_dependencies(vthud_sequence_bench vthudelement vthud_preview)
