# Moonfair boundary and node registry: the bridge lives in the plug-ins'
# common library (common/); this object library adds the HUD element
# library's two entry points to it. Only the two extern "C" entry points are
# exported from a shared library built from these objects.
add_library(vthud_moonfair OBJECT ${CMAKE_CURRENT_LIST_DIR}/vthudelement_entry_points.cpp)
set_target_properties(vthud_moonfair PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(vthud_moonfair PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(vthud_moonfair PUBLIC vtplugin_common)
