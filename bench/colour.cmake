# The show's view alone over one plate, for bench/show_colour.sh.
add_executable(vthud_colour_transform_bench ${CMAKE_CURRENT_LIST_DIR}/colour_transform.cpp)
target_link_libraries(vthud_colour_transform_bench PRIVATE vthud_media)
