# The lifecycle fuzz with leak accounting. The suite runs it with a fixed
# seed; .ci/run adds a run with a fresh one.
add_executable(vthud_lifecycle_fuzz ${CMAKE_CURRENT_LIST_DIR}/lifecycle/lifecycle_fuzz.cpp)
target_link_libraries(vthud_lifecycle_fuzz PRIVATE vthost vantor Qt5::Core OpenGL::OpenGL)
target_compile_definitions(vthud_lifecycle_fuzz PRIVATE VTHUD_PLUGIN_PATH="$<TARGET_FILE:vthudelement>"
                                                      VTLINES_PLUGIN_PATH="$<TARGET_FILE:vtframelines>"
                                                      VTLINES_SAMPLE_FDL="${CMAKE_SOURCE_DIR}/docs/fdl/a-cam-anamorphic.fdl")
add_dependencies(vthud_lifecycle_fuzz vthudelement vtframelines)
add_test(NAME lifecycle.fuzz COMMAND vthud_lifecycle_fuzz --seed 20261208 --steps 10000)
set_tests_properties(lifecycle.fuzz PROPERTIES TIMEOUT 900)
