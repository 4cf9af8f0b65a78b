# Compile probe: the plug-in's sources, syntax only, against a header set that
# holds only what the host SDK's public reference shows (sdk_probe/), instead
# of the stand-in SDK. A name the real SDK lacks fails this test.
file(GLOB_RECURSE VTHUD_PROBE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/plugin/*.cpp ${CMAKE_SOURCE_DIR}/element/*.cpp ${CMAKE_SOURCE_DIR}/common/*.cpp
  ${CMAKE_SOURCE_DIR}/framelines/*.cpp)
set(VTHUD_PROBE_FLAGS -std=c++17 -fsyntax-only -fPIC -Wall -Wno-unused-parameter
  -I${CMAKE_CURRENT_LIST_DIR}/sdk_probe -I${CMAKE_SOURCE_DIR}/plugin -I${CMAKE_SOURCE_DIR}/element
  -I${CMAKE_SOURCE_DIR}/element/drawing -I${CMAKE_SOURCE_DIR}/common -I${CMAKE_SOURCE_DIR}/framelines)
foreach(dep Qt5::Core Qt5::Gui Qt5::OpenGL PkgConfig::FTGL)
  get_target_property(dirs ${dep} INTERFACE_INCLUDE_DIRECTORIES)
  foreach(dir ${dirs})
    list(APPEND VTHUD_PROBE_FLAGS -isystem ${dir})
  endforeach()
endforeach()
add_test(NAME sdk_probe.PlugInSourcesCompileAgainstThePublicSdkReference
  COMMAND ${CMAKE_CXX_COMPILER} ${VTHUD_PROBE_FLAGS} ${VTHUD_PROBE_SOURCES})
