# The preview tool from the command line.
add_test(NAME tools.PreviewCommandLine
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tools/preview_cli_test.sh $<TARGET_FILE:vthud_preview> $<TARGET_FILE:fbsdk>)
