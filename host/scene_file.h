#ifndef VTHOST_SCENE_FILE_H
#define VTHOST_SCENE_FILE_H
// Scene persistence: every object's properties (values, animated flags,
// object-list references by object name) in a text file.
#include <string>

namespace vthost {

class Host;

// Writes the scene atomically: the previous file survives any failure.
bool SaveScene(const Host& pHost, const std::string& pPath, std::string& pError);
// Re-creates the saved objects through their registered create functions and
// restores every property; on any error (with its line) nothing is changed.
bool LoadScene(Host& pHost, const std::string& pPath, std::string& pError);

}  // namespace vthost

#endif
