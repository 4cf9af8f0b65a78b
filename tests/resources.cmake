# Embedded resource bundle: paths, contents and the reproducibility of the
# committed PNGs.
add_executable(test_resources ${CMAKE_CURRENT_LIST_DIR}/test_resources.cpp)
target_link_libraries(test_resources PRIVATE vshudelement_resources Qt5::Gui GTest::gtest_main)
target_compile_definitions(test_resources PRIVATE
  VSHUD_RESOURCE_SOURCE_DIR="$<TARGET_PROPERTY:vshudelement_resources,SOURCE_DIR>"
  VSHUD_IMAGE_GENERATOR="$<TARGET_FILE:make_resource_images>")
add_dependencies(test_resources make_resource_images)
gtest_discover_tests(test_resources
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
