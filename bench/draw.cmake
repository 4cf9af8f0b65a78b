# Frame cost of the overlay; run build/bench/vthud_draw_bench.
add_executable(vthud_draw_bench ${CMAKE_CURRENT_LIST_DIR}/draw_bench.cpp)
target_link_libraries(vthud_draw_bench PRIVATE vthost benchmark::benchmark)
target_compile_definitions(vthud_draw_bench PRIVATE VTHUD_PLUGIN_PATH="$<TARGET_FILE:vthudelement>")
add_dependencies(vthud_draw_bench vthudelement)
