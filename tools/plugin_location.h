#pragma once

#include <string>

namespace vthud_tool {

// Where this tool loads the plug-in library pFileName (e.g.
// "libvthudelement.so") from when --plugin does not say. An installed tool
// looks in the plug-in folder of its own prefix (lib/vthud/plugins/ beside
// bin/), wherever the prefix was put; only the tool in its build folder loads
// the plug-ins built there. The path is given even when no file is there, so
// that loading it names where it was looked for.
std::string PluginPath(const std::string& pFileName);

}  // namespace vthud_tool
