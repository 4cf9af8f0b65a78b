# The frame lines plug-in beside the HUD element's.
add_executable(test_frame_lines ${CMAKE_CURRENT_LIST_DIR}/framelines/frame_lines_test.cpp)
target_link_libraries(test_frame_lines PRIVATE vthud_test_support vantor Qt5::Core GTest::gtest_main)
target_compile_definitions(test_frame_lines PRIVATE VTLINES_PLUGIN_PATH="$<TARGET_FILE:vtframelines>")
add_dependencies(test_frame_lines vtframelines)
gtest_discover_tests(test_frame_lines TEST_PREFIX "framelines." DISCOVERY_TIMEOUT 60)
