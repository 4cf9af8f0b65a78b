# The host SDK stand-in: the behaviour the plug-in relies on (connections,
# properties, time, events, object creation and the shared application state).
add_executable(test_sdk
  ${CMAKE_CURRENT_LIST_DIR}/sdk/connections_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdk/properties_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdk/time_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdk/events_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdk/objects_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdk/host_state_test.cpp)
target_link_libraries(test_sdk PRIVATE fbsdk fbsdk_host_api GTest::gtest_main)
gtest_discover_tests(test_sdk)
