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
  ${CMAKE_CURRENT_LIST_DIR}/plugin/hostile_values_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/renderer_faults_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/road_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/font_cut_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/allocation_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin/lean_frame_test.cpp
  ${CMAKE_SOURCE_DIR}/bench/lean_overlay.cpp
  ${CMAKE_SOURCE_DIR}/element/drawing/readouts.cpp
  ${CMAKE_SOURCE_DIR}/element/drawing/mask_geometry.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/qrc_orator_only.cpp)
target_link_libraries(test_plugin PRIVATE vthud_test_support vantor Qt5::Core PkgConfig::FTGL OpenGL::OpenGL
                                          GTest::gtest_main ${CMAKE_DL_LIBS})
target_link_libraries(test_plugin PRIVATE Freetype::Freetype vthost_allocations)
target_include_directories(test_plugin PRIVATE ${CMAKE_SOURCE_DIR}/bench ${CMAKE_SOURCE_DIR}/element/drawing)
# The frame lines plug-in, for the hostile values its properties take.
target_compile_definitions(test_plugin PRIVATE VTLINES_PLUGIN_PATH="$<TARGET_FILE:vtframelines>"
                                               VTLINES_SAMPLE_FDL="${CMAKE_SOURCE_DIR}/docs/fdl/a-cam-anamorphic.fdl")
add_dependencies(test_plugin vtframelines)

# The full faces the bundled ones are cut from, as a bundle the font tests
# register at run time in place of the plug-in's.
set(VTHUD_FULL_SANS /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf)
set(VTHUD_FULL_MONO /usr/share/fonts/truetype/inconsolata/Inconsolata.otf)
if(EXISTS ${VTHUD_FULL_SANS} AND EXISTS ${VTHUD_FULL_MONO})
  set(VTHUD_FULL_QRC ${CMAKE_CURRENT_BINARY_DIR}/full_faces.qrc)
  file(WRITE ${VTHUD_FULL_QRC} "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n"
       "  <file alias=\"resources/OratorStd.otf\">${VTHUD_FULL_MONO}</file>\n"
       "  <file alias=\"resources/Arial.ttf\">${VTHUD_FULL_SANS}</file>\n</qresource>\n</RCC>\n")
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/full_faces.rcc
    COMMAND Qt5::rcc -binary -no-compress ${VTHUD_FULL_QRC} -o ${CMAKE_CURRENT_BINARY_DIR}/full_faces.rcc
    DEPENDS ${VTHUD_FULL_QRC} ${VTHUD_FULL_SANS} ${VTHUD_FULL_MONO})
  add_custom_target(vthud_full_faces DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/full_faces.rcc)
  add_dependencies(test_plugin vthud_full_faces)
  target_compile_definitions(test_plugin PRIVATE VTHUD_FULL_FACES_RCC="${CMAKE_CURRENT_BINARY_DIR}/full_faces.rcc")
endif()
gtest_discover_tests(test_plugin TEST_PREFIX "plugin." DISCOVERY_TIMEOUT 60)
