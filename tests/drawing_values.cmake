# Pure value computations behind the HUD drawing: readout text and the
# letterbox mask geometry.
add_executable(test_drawing_values
  ${CMAKE_CURRENT_LIST_DIR}/../element/drawing/readouts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../element/drawing/mask_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../common/utf8_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drawing/test_utf8_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drawing/test_readouts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drawing/test_mask_geometry.cpp)
target_include_directories(test_drawing_values PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../element/drawing ${CMAKE_CURRENT_LIST_DIR}/../common)
target_link_libraries(test_drawing_values PRIVATE GTest::gtest_main)
gtest_discover_tests(test_drawing_values)
