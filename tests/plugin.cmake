# The plug-in driven through the stand-in host, as the host application does.
add_library(vthud_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/support/hud_support.cpp)
target_include_directories(vthud_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR}/support)
target_link_libraries(vthud_test_support PUBLIC vthost GTest::gtest)
target_compile_definitions(vthud_test_support PUBLIC VTHUD_PLUGIN_PATH="$<TARGET_FILE:vthudelement>"
                                                     VTHUD_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/resources")
add_dependencies(vthud_test_support vthudelement)

# A resource bundle that holds only the value font, to take the label font away.
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/qrc_orator_only.cpp
  COMMAND Qt5::rcc --format-version 1 -no-compress -name orator_only
          ${CMAKE_CURRENT_LIST_DIR}/data/orator_only.qrc -o ${CMAKE_CURRENT_BINARY_DIR}/qrc_orator_only.cpp
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/data/orator_only.qrc ${CMAKE_SOURCE_DIR}/resources/OratorStd.otf)

add_executable(test_plugin
  ${CMAKE_CURRENT_LIST_DIR}/plugin/entry_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/lifecycle_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/properties_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/text_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/timecode_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/bloop_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/timeline_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/reticle_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/road_test.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/qrc_orator_only.cpp)
target_link_libraries(test_plugin PRIVATE vthud_test_support vantor Qt5::Core PkgConfig::FTGL OpenGL::OpenGL
                                          GTest::gtest_main ${CMAKE_DL_LIBS})
gtest_discover_tests(test_plugin TEST_PREFIX "plugin." DISCOVERY_TIMEOUT 60)
