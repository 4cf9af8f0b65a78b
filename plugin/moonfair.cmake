# Moonfair boundary and node registry, linked into the plug-in and its tests.
# Only the two extern "C" entry points are exported from a shared library
# built from these objects.
add_library(vthud_moonfair OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/moonfair_library.cpp
  ${CMAKE_CURRENT_LIST_DIR}/node_registry.cpp)
set_target_properties(vthud_moonfair PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(vthud_moonfair PUBLIC ${CMAKE_CURRENT_LIST_DIR})
