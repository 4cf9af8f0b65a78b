# The stand-in host's scene files and editing properties by name.
add_executable(test_scene
  ${CMAKE_CURRENT_LIST_DIR}/scene/scene_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene/property_edit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene/scene_plugin_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene/layout_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene/timecode_sources_test.cpp)
target_link_libraries(test_scene PRIVATE vthost GTest::gtest_main)
# The plug-in round trip runs only where the plug-in is part of the build.
if(TARGET vthudelement)
  target_compile_definitions(test_scene PRIVATE VTHUD_PLUGIN_PATH="$<TARGET_FILE:vthudelement>")
  add_dependencies(test_scene vthudelement)
endif()
gtest_discover_tests(test_scene)

# The same through the real element, drawn in a headless GL context.
if(TARGET vthud_test_support)
  add_executable(test_scene_hud ${CMAKE_CURRENT_LIST_DIR}/scene/scene_hud_test.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/scene/fdl_framing_test.cpp)
  target_link_libraries(test_scene_hud PRIVATE vthud_test_support Qt5::Core GTest::gtest_main)
  gtest_discover_tests(test_scene_hud TEST_PREFIX "scene." DISCOVERY_TIMEOUT 60)
endif()
