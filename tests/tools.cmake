# The preview tool from the command line.
add_test(NAME tools.PreviewCommandLine
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tools/preview_cli_test.sh $<TARGET_FILE:vthud_preview> $<TARGET_FILE:fbsdk>)

# Its option parsing and draw plans in-process, and its runs over frame
# ranges read back by pixels and by decoding video.
add_executable(test_tools ${CMAKE_CURRENT_LIST_DIR}/tools/options_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/sequence_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/layout_check_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/tracking_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/otrk_packet_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/live_tracking_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/video_assist_test.cpp

                          ${CMAKE_CURRENT_LIST_DIR}/tools/chunk_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/file_name_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/session_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/plate_defaults_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/plate_fetcher_test.cpp

                          ${CMAKE_CURRENT_LIST_DIR}/tools/show_colour_test.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/tools/media_test.cpp)
target_link_libraries(test_tools PRIVATE vthud_preview_core vthud_test_support GTest::gtest_main)
target_compile_definitions(test_tools PRIVATE VTHUD_PREVIEW_TOOL="$<TARGET_FILE:vthud_preview>"
                                             VTHUD_LAYOUTS_DIR="${CMAKE_SOURCE_DIR}/layouts"
                                             VTHUD_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(test_tools vthud_preview)
gtest_discover_tests(test_tools TEST_PREFIX "tools." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
# The test picture, laid under the tool's files by ImageMagick and ffmpeg.
target_compile_definitions(test_tools PRIVATE VTHUD_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/resources")
# A GL on which the element's text layer cannot be made, preloaded under the tool.
add_library(vthud_incomplete_framebuffers SHARED ${CMAKE_CURRENT_LIST_DIR}/support/incomplete_framebuffers.cpp)
add_dependencies(test_tools vthud_incomplete_framebuffers)
target_compile_definitions(test_tools
                           PRIVATE VTHUD_INCOMPLETE_FRAMEBUFFERS="$<TARGET_FILE:vthud_incomplete_framebuffers>")
# A tracker sending OpenTrackIO over UDP, for the live runs.
add_executable(otrk_sender ${CMAKE_CURRENT_LIST_DIR}/support/otrk_sender.cpp)
target_link_libraries(otrk_sender PRIVATE vthud_tracking)
add_dependencies(test_tools otrk_sender)
target_compile_definitions(test_tools PRIVATE VTHUD_OTRK_SENDER="$<TARGET_FILE:otrk_sender>")
