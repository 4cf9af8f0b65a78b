# Moonfair boundary, node dispatch and the stand-in renderer.

# The boundary objects alone as a loadable module: proves the renderer finds
# the exported C entry points and that nothing else leaks out.
add_library(moonfair_probe MODULE $<TARGET_OBJECTS:vthud_moonfair>)
target_link_libraries(moonfair_probe PRIVATE vtplugin_common)

add_executable(moonfair_tests
  ${CMAKE_CURRENT_LIST_DIR}/moonfair_library_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/moonfair_node_registry_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/moonfair_vantor_test.cpp)
target_include_directories(moonfair_tests PRIVATE ${CMAKE_SOURCE_DIR}/element ${CMAKE_SOURCE_DIR}/common)
target_link_libraries(moonfair_tests PRIVATE vthud_moonfair vantor GTest::gtest_main ${CMAKE_DL_LIBS})
target_compile_definitions(moonfair_tests PRIVATE
  MOONFAIR_PROBE_MODULE="$<TARGET_FILE:moonfair_probe>")
add_dependencies(moonfair_tests moonfair_probe)

target_link_libraries(moonfair_tests PRIVATE OpenGL::EGL OpenGL::OpenGL)

gtest_discover_tests(moonfair_tests TEST_PREFIX "moonfair.")
