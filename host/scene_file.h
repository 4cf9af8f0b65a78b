#ifndef VTHOST_SCENE_FILE_H
#define VTHOST_SCENE_FILE_H
// Scene and layout files: JSON documents of the scene's objects, its cameras
// and its take (scene files), or of one element's settings (layouts).
//
//   {
//     "format": "vthost-scene", "version": 1,
//     "take": "Take 001",                        (null: no current take)
//     "currentCamera": "Producer Perspective",   (null: none)
//     "cameras": [{"name": ..., "properties": [...]}],
//     "objects": [{"class": "VTHUDElement", "name": "HUD 1", "properties": [...]},
//                 {"class": "SceneObject", ...},
//                 {"class": "TimecodeSource", "timecodeProperty": "master", ...}]
//   }
//
// A layout is {"format": "vthost-layout", "version": 1, "objects": [one element]}.
// property_json.h describes a property entry. Object lists hold object names,
// so a name that several objects share cannot be saved.
#include <fbsdk/fbsdk.h>

#include <string>
#include <vector>

namespace vthost {

class Host;

// Writes the scene atomically: the previous file survives any failure.
bool SaveScene(const Host& pHost, const std::string& pPath, std::string& pError);
// Re-creates the saved objects through their registered create functions,
// restores every property, the cameras (adding those the host lacks) and the
// take; on any error (with its line and column) nothing is changed.
bool LoadScene(Host& pHost, const std::string& pPath, std::string& pError);

// Writes the element's settings that differ from those of a new element of
// its class (object lists, which name other objects of a scene, are left out).
bool SaveLayout(FBComponent* pElement, const std::string& pPath, std::string& pError);
// Applies a layout to an element of its class: every setting, or on any error none.
bool ApplyLayout(FBComponent* pElement, const std::string& pPath, std::string& pError);

// The same for several elements (of different classes): one record each, and
// a layout's record goes to the element of its class. A layout of one element
// applies to the element of its class among them.
bool SaveLayout(const std::vector<FBComponent*>& pElements, const std::string& pPath, std::string& pError);
bool ApplyLayout(const std::vector<FBComponent*>& pElements, const std::string& pPath, std::string& pError);

}  // namespace vthost

#endif
