#include "scene_file.h"

#include "host.h"
#include "json_file.h"
#include "property_edit.h"
#include "property_json.h"
#include "timecode_sources.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QString>

#include <algorithm>
#include <exception>
#include <memory>
#include <set>

namespace vthost {

namespace {

const char* const kSceneFormat = "vthost-scene";
const char* const kLayoutFormat = "vthost-layout";
const int kVersion = 1;
const char* const kSceneObjectClass = "SceneObject";
const char* const kTimecodeSourceClass = "TimecodeSource";

QLatin1String Key(const char* pKey) { return QLatin1String(pKey); }

std::string NameOf(FBComponent* pObject) { return pObject->Name.AsString().Buffer(); }

// A load error and where in the file it lies.
struct Failure {
  vthud::JsonPath path;
  std::string message;
};

// Destroys an object that never reached the host, as the host destroys its own.
void DestroyLoose(FBComponent* pObject) {
  if (pObject->mAllocated) {
    pObject->FBDelete();
  } else {
    pObject->FBDestroy();
    delete pObject;
  }
}

struct LooseDeleter {
  void operator()(FBComponent* pObject) const {
    if (pObject) DestroyLoose(pObject);
  }
};
using LooseObject = std::unique_ptr<FBComponent, LooseDeleter>;

// A new object of a registered class, or null with a message.
LooseObject CreateRegistered(const std::string& pClass, const std::string& pName, std::string& pError) {
  for (const auto& lClass : fbsdk_host::Registry()) {
    if (lClass.entry != pClass || !lClass.create) continue;
    LooseObject lObject(FBGetFBObject(lClass.create(nullptr, pName.c_str(), nullptr)));
    if (!lObject) pError = "creating '" + vthud::MessageText(pName) + "' of class '" + pClass + "' failed";
    return lObject;
  }
  std::string lKnown;
  for (const auto& lClass : fbsdk_host::Registry()) lKnown += (lKnown.empty() ? "" : ", ") + lClass.entry;
  pError = "class '" + vthud::MessageText(pClass) +
           "' is not registered (registered: " + (lKnown.empty() ? "none" : lKnown) + ")";
  return nullptr;
}

// Whether a file should keep this property of the object at all.
bool Kept(FBComponent* pObject, FBProperty* pProperty) {
  if (pProperty == &pObject->Name || KindOf(pProperty) == JsonKind::None) return false;
  auto* lSource = dynamic_cast<TimecodeSource*>(pObject);
  return !lSource || !lSource->IsComputed(pProperty);
}

bool SameJson(FBProperty* pA, FBProperty* pB) {
  QJsonValue a, b;
  std::string lIgnored;
  if (!ValueToJson(pA, a, lIgnored) || !ValueToJson(pB, b, lIgnored) || a != b) return false;
  auto* lA = dynamic_cast<FBPropertyAnimatable*>(pA);
  auto* lB = dynamic_cast<FBPropertyAnimatable*>(pB);
  return !lA || !lB || lA->IsAnimated() == lB->IsAnimated();
}

// ---- writing

struct Writer {
  const Host* host = nullptr;  // null for a layout: object lists are not written

  // Every object a list may name, with how many objects share its name.
  bool ListNames(FBPropertyListObject* pList, const std::string& pLabel, QJsonArray& pNames, std::string& pError) {
    for (int e = 0; e < pList->GetCount(); ++e) {
      FBComponent* lTarget = pList->GetAt(e);
      const auto& lObjects = host->Objects();
      const auto& lCameras = host->Cameras();
      const bool lKnown = lTarget && (std::find(lObjects.begin(), lObjects.end(), lTarget) != lObjects.end() ||
                                      std::any_of(lCameras.begin(), lCameras.end(),
                                                  [&](const auto& c) { return c.get() == lTarget; }));
      if (!lKnown) {
        pError = pLabel + " refers to " +
                 (lTarget ? "'" + vthud::MessageText(NameOf(lTarget)) + "'" : "something") +
                 ", which is neither a scene object nor a camera of the host";
        return false;
      }
      const std::string lName = NameOf(lTarget);
      size_t lShared = 0;
      for (FBComponent* lObject : lObjects) lShared += NameOf(lObject) == lName;
      for (const auto& c : lCameras) lShared += NameOf(c.get()) == lName;
      if (lShared != 1) {
        pError = pLabel + " refers to '" + vthud::MessageText(lName) + "', a name that " +
                 std::to_string(lShared) + " objects share";
        return false;
      }
      pNames.append(TextToJson(lName));
    }
    return true;
  }

  // pProbe: a new object of the same kind; what it lacks is custom. pBaseline:
  // write only what differs from it.
  bool Properties(FBComponent* pObject, FBComponent* pProbe, FBComponent* pBaseline, QJsonArray& pOut,
                  std::string& pError) {
    const std::string lName = NameOf(pObject);
    std::set<std::string> lSeen;
    for (int i = 0; i < pObject->PropertyList.GetCount(); ++i) {
      FBProperty* lProperty = pObject->PropertyList[i];
      if (!Kept(pObject, lProperty)) continue;
      const std::string lLabel =
          "property '" + vthud::MessageText(lProperty->GetName()) + "' of '" + vthud::MessageText(lName) + "'";
      if (!lSeen.insert(lProperty->GetName()).second) {
        pError = "'" + vthud::MessageText(lName) + "' has two properties named '" +
                 vthud::MessageText(lProperty->GetName()) + "'; a file could not tell them apart";
        return false;
      }
      const bool lCustom = pProbe && !pProbe->PropertyList.Find(lProperty->GetName());
      FBPropertyType lType;
      if (lCustom && !TypeFromName(lProperty->GetPropertyTypeName(), lType)) {
        pError = lLabel + " has a type that cannot be made again";
        return false;
      }
      QJsonValue lValue;
      if (auto* lList = dynamic_cast<FBPropertyListObject*>(lProperty)) {
        if (!host) continue;
        QJsonArray lNames;
        if (!ListNames(lList, lLabel, lNames, pError)) return false;
        lValue = lNames;
      } else {
        if (!ValueToJson(lProperty, lValue, pError)) {
          pError = lLabel + " " + pError;
          return false;
        }
        FBProperty* lBase = pBaseline ? pBaseline->PropertyList.Find(lProperty->GetName()) : nullptr;
        if (lBase && lBase->GetPropertyType() == lProperty->GetPropertyType() && SameJson(lProperty, lBase))
          continue;
      }
      pOut.append(MakeEntry(lProperty, lValue, lCustom));
    }
    return true;
  }

  bool Object(FBComponent* pObject, QJsonObject& pOut, std::string& pError) {
    const std::string lName = NameOf(pObject);
    std::unique_ptr<FBComponent> lProbe;
    if (auto* lSource = dynamic_cast<TimecodeSource*>(pObject)) {
      pOut.insert(Key("class"), QLatin1String(kTimecodeSourceClass));
      pOut.insert(Key("timecodeProperty"), TextToJson(lSource->Carried()));
      lProbe.reset(new TimecodeSource("", lSource->Carried()));
    } else if (dynamic_cast<SceneObject*>(pObject)) {
      pOut.insert(Key("class"), QLatin1String(kSceneObjectClass));
      lProbe.reset(new SceneObject(""));
    } else {
      const std::string lClass = pObject->ClassName();
      const auto& lRegistry = fbsdk_host::Registry();
      if (std::none_of(lRegistry.begin(), lRegistry.end(),
                       [&](const fbsdk_host::RegisteredClass& c) { return c.entry == lClass && c.create; })) {
        pError = "'" + vthud::MessageText(lName) + "' is of class '" + lClass +
                 "', which no registered create function makes, so it could not be loaded again";
        return false;
      }
      pOut.insert(Key("class"), QString::fromStdString(lClass));
    }
    pOut.insert(Key("name"), TextToJson(lName));
    QJsonArray lProperties;
    if (!Properties(pObject, lProbe.get(), nullptr, lProperties, pError)) return false;
    pOut.insert(Key("properties"), lProperties);
    return true;
  }
};

// ---- reading

struct PendingList {
  FBPropertyListObject* list;
  vthud::JsonPath path;
  std::vector<std::string> names;
  std::string label;
};

// What an application of entries changed, to put back if a later entry fails.
struct Undo {
  struct Value {
    FBProperty* property;
    std::string text;
    FBPropertyAnimatable* animatable;
    bool animated;
  };
  std::vector<Value> values;
  std::vector<std::pair<FBComponent*, FBProperty*>> created;

  void Keep(FBProperty* pProperty) {
    auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(pProperty);
    values.push_back(
        {pProperty, pProperty->AsString().Buffer(), lAnimatable, lAnimatable && lAnimatable->IsAnimated()});
  }
  void Restore() {
    for (auto lIt = values.rbegin(); lIt != values.rend(); ++lIt) {
      lIt->property->SetString(lIt->text.c_str());
      if (lIt->animatable) lIt->animatable->SetAnimated(lIt->animated);
    }
    for (auto lIt = created.rbegin(); lIt != created.rend(); ++lIt) lIt->first->PropertyRemove(lIt->second);
    values.clear();
    created.clear();
  }
  // pApply(*this) whole or not at all: what it changed is put back when it
  // fails or throws.
  template <class Apply>
  bool All(Apply pApply) {
    bool lApplied = false;
    try {
      lApplied = pApply(*this);
    } catch (...) {
      Restore();
      throw;
    }
    if (!lApplied) Restore();
    return lApplied;
  }
};

bool OnlyMembers(const QJsonObject& pObject, std::initializer_list<const char*> pKnown,
                 const vthud::JsonPath& pPath, const std::string& pWhat, Failure& pFailure) {
  for (auto lIt = pObject.begin(); lIt != pObject.end(); ++lIt) {
    const std::string lKey = lIt.key().toStdString();
    if (std::any_of(pKnown.begin(), pKnown.end(), [&](const char* k) { return lKey == k; })) continue;
    std::string lList;
    for (const char* k : pKnown) lList += (lList.empty() ? "" : ", ") + std::string(k);
    vthud::JsonPath lPath = pPath;
    lPath.push_back(lKey);
    pFailure = {lPath,
                "unknown member '" + vthud::MessageText(lKey) + "' in " + pWhat + " (known: " + lList + ")"};
    return false;
  }
  return true;
}

// Applies an object's "properties" entries. pLists null: object lists are refused.
bool ReadProperties(FBComponent* pObject, const QJsonObject& pRecord, const vthud::JsonPath& pPath,
                    std::vector<PendingList>* pLists, Undo* pUndo, Failure& pFailure) {
  const std::string lObjectName = NameOf(pObject);
  vthud::JsonPath lPath = pPath;
  lPath.push_back(std::string("properties"));
  const QJsonValue lValue = pRecord.value(Key("properties"));
  if (lValue.isUndefined()) return true;
  if (!lValue.isArray()) {
    pFailure = {lPath, "\"properties\" of '" + vthud::MessageText(lObjectName) + "' must be an array"};
    return false;
  }
  const QJsonArray lEntries = lValue.toArray();
  std::set<std::string> lSeen;
  for (int i = 0; i < lEntries.size(); ++i) {
    vthud::JsonPath lAt = lPath;
    lAt.push_back(i);
    auto Fail = [&](const std::string& pField, const std::string& pMessage) {
      if (!pField.empty()) lAt.push_back(pField);
      pFailure = {lAt, pMessage};
      return false;
    };
    PropertyEntry lEntry;
    std::string lField, lError;
    if (!ReadEntry(lEntries[i], lEntry, lField, lError)) return Fail(lField, lError);
    const std::string lLabel =
        "property '" + vthud::MessageText(lEntry.name) + "' of '" + vthud::MessageText(lObjectName) + "'";
    if (!lSeen.insert(lEntry.name).second) return Fail("name", lLabel + " appears twice");
    if (lEntry.name == "Name") return Fail("name", "the object's name is its \"name\", not a property entry");
    FBProperty* lProperty = pObject->PropertyList.Find(lEntry.name.c_str());
    if (!lProperty && lEntry.custom) {
      FBPropertyType lType;
      if (!TypeFromName(lEntry.type, lType))
        return Fail("type", lLabel + ": a custom property cannot be of type '" + vthud::MessageText(lEntry.type) +
                                "' (Bool, Integer, Number, String, ColorAndAlpha, TimeCode, Time or Object)");
      // Made again as the user made it: a user property with its data type name.
      lProperty =
          pObject->PropertyCreate(lEntry.name.c_str(), lType, lEntry.type.c_str(), lEntry.hasAnimated, true);
      if (!lProperty) return Fail("name", "cannot create " + lLabel);
      if (pUndo) pUndo->created.emplace_back(pObject, lProperty);
    }
    if (!lProperty) {
      std::string lMessage =
          "'" + vthud::MessageText(lObjectName) + "' has no property '" + vthud::MessageText(lEntry.name) + "'";
      const std::vector<std::string> lNearest = NearestPropertyNames(pObject, lEntry.name);
      for (size_t n = 0; n < lNearest.size(); ++n)
        lMessage += (n ? ", '" : " (nearest: '") + lNearest[n] + "'" + (n + 1 == lNearest.size() ? ")" : "");
      return Fail("name", lMessage);
    }
    if (!Kept(pObject, lProperty)) return Fail("name", lLabel + " is not kept in files");
    if (auto* lList = dynamic_cast<FBPropertyListObject*>(lProperty)) {
      if (!pLists) return Fail("name", lLabel + " lists objects of a scene, which a layout does not hold");
      if (lEntry.type != lList->GetPropertyTypeName())
        return Fail("type", lLabel + " is " + lList->GetPropertyTypeName() + " here, the file says " +
                                vthud::MessageText(lEntry.type));
      if (lEntry.hasAnimated) return Fail("animated", lLabel + " cannot be animated");
      PendingList lPending{lList, lAt, {}, lLabel};
      lPending.path.push_back(std::string("value"));
      const QJsonArray lNames = lEntry.value.toArray();
      if (!lEntry.value.isArray()) return Fail("value", lLabel + " expects an array of object names");
      for (const QJsonValue& lName : lNames) {
        std::string lText;
        if (!JsonToText(lName, lText)) return Fail("value", lLabel + " expects an array of object names");
        lPending.names.push_back(lText);
      }
      pLists->push_back(lPending);
      continue;
    }
    if (pUndo) pUndo->Keep(lProperty);
    if (!ApplyEntry(lProperty, lEntry, lLabel, lField, lError)) return Fail(lField, lError);
  }
  return true;
}

bool ReadName(const QJsonObject& pRecord, const vthud::JsonPath& pPath, const std::string& pWhat,
              std::string& pName, Failure& pFailure) {
  if (JsonToText(pRecord.value(Key("name")), pName)) return true;
  vthud::JsonPath lPath = pPath;
  if (pRecord.contains(Key("name"))) lPath.push_back(std::string("name"));
  pFailure = {lPath, pWhat + " needs its \"name\", a string"};
  return false;
}

// The header every file starts with.
bool ReadHeader(const QJsonObject& pRoot, const char* pFormat, Failure& pFailure) {
  const std::string lFormat = pRoot.value(Key("format")).toString().toStdString();
  if (lFormat != pFormat) {
    const bool lOther = lFormat == kSceneFormat || lFormat == kLayoutFormat;
    pFailure = {pRoot.contains(Key("format")) ? vthud::JsonPath{std::string("format")} : vthud::JsonPath{},
                lOther ? "this is a " + std::string(lFormat == kSceneFormat ? "scene file" : "layout") +
                             ", not a " + (pFormat == std::string(kSceneFormat) ? "scene file" : "layout")
                       : "not a " + std::string(pFormat == std::string(kSceneFormat) ? "scene file" : "layout") +
                             " (\"format\" should be \"" + pFormat + "\")"};
    return false;
  }
  const QJsonValue lVersion = pRoot.value(Key("version"));
  if (!lVersion.isDouble() || lVersion.toDouble() != kVersion) {
    pFailure = {pRoot.contains(Key("version")) ? vthud::JsonPath{std::string("version")} : vthud::JsonPath{},
                "unsupported \"version\" (" +
                    (lVersion.isDouble() ? QString::number(lVersion.toDouble()).toStdString()
                                         : std::string("not a number")) +
                    "; this host reads " + std::to_string(kVersion) + ")"};
    return false;
  }
  return true;
}

bool ReadArray(const QJsonObject& pRoot, const char* pKey, QJsonArray& pArray, Failure& pFailure) {
  const QJsonValue lValue = pRoot.value(Key(pKey));
  if (lValue.isUndefined()) return true;
  if (lValue.isArray()) {
    pArray = lValue.toArray();
    return true;
  }
  pFailure = {{std::string(pKey)}, "\"" + std::string(pKey) + "\" must be an array"};
  return false;
}

// A file being loaded: its bytes, its root object, and the place of an error in it.
struct Loading {
  std::string path;
  QByteArray text;
  QJsonObject root;
  Failure failure;

  bool Open(std::string& pError) {
    QJsonDocument lDocument;
    if (!vthud::ReadJsonFile(path, text, lDocument, pError)) return false;
    root = lDocument.object();
    return true;
  }
  bool Fail(std::string& pError) const {
    pError = path + ":" + vthud::LineColumn(text, vthud::LocateJson(text, failure.path)) + ": " + failure.message;
    return false;
  }
};

// Removes a camera's custom properties, so that it can take the file's.
void RemoveCustom(FBCamera* pCamera) {
  const FBCamera lProbe("");
  for (int i = pCamera->PropertyList.GetCount() - 1; i >= 0; --i) {
    FBProperty* lProperty = pCamera->PropertyList[i];
    if (!lProbe.PropertyList.Find(lProperty->GetName())) pCamera->PropertyRemove(lProperty);
  }
}

struct CameraRecord {
  std::string name;
  QJsonObject record;
  vthud::JsonPath path;
};

}  // namespace

bool SaveScene(const Host& pHost, const std::string& pPath, std::string& pError) try {
  const std::string lFail = "cannot save " + pPath + ": ";
  Writer lWriter;
  lWriter.host = &pHost;
  QJsonObject lRoot;
  lRoot.insert(Key("format"), QLatin1String(kSceneFormat));
  lRoot.insert(Key("version"), kVersion);
  FBTake* lTake = FBSystem::TheOne().CurrentTake;
  lRoot.insert(Key("take"), lTake ? TextToJson(NameOf(lTake)) : QJsonValue(QJsonValue::Null));
  FBCamera* lCurrent = const_cast<Host&>(pHost).Renderer().CurrentCamera;
  lRoot.insert(Key("currentCamera"), lCurrent ? TextToJson(NameOf(lCurrent)) : QJsonValue(QJsonValue::Null));

  QJsonArray lCameras;
  FBCamera lProbe("");
  for (const auto& lCamera : pHost.Cameras()) {
    QJsonObject lRecord;
    lRecord.insert(Key("name"), TextToJson(NameOf(lCamera.get())));
    QJsonArray lProperties;
    if (!lWriter.Properties(lCamera.get(), &lProbe, nullptr, lProperties, pError)) {
      pError = lFail + pError;
      return false;
    }
    lRecord.insert(Key("properties"), lProperties);
    lCameras.append(lRecord);
  }
  lRoot.insert(Key("cameras"), lCameras);

  QJsonArray lObjects;
  for (FBComponent* lObject : pHost.Objects()) {
    QJsonObject lRecord;
    if (!lWriter.Object(lObject, lRecord, pError)) {
      pError = lFail + pError;
      return false;
    }
    lObjects.append(lRecord);
  }
  lRoot.insert(Key("objects"), lObjects);
  return vthud::WriteJsonFile(pPath, QJsonDocument(lRoot), pError);
} catch (const std::exception& lException) {
  pError = "cannot save " + pPath + ": " + lException.what();
  return false;
}

bool LoadScene(Host& pHost, const std::string& pPath, std::string& pError) try {
  Loading lFile{pPath, {}, {}, {}};
  if (!lFile.Open(pError)) return false;
  const QJsonObject& lRoot = lFile.root;
  Failure& lFailure = lFile.failure;
  auto Fail = [&]() { return lFile.Fail(pError); };
  if (!ReadHeader(lRoot, kSceneFormat, lFailure) ||
      !OnlyMembers(lRoot, {"format", "version", "take", "currentCamera", "cameras", "objects"}, {}, "a scene file",
                   lFailure))
    return Fail();

  // Everything is built aside first; the host's scene changes only once all of it worked.
  std::vector<LooseObject> lStaged;
  std::vector<PendingList> lLists;
  QJsonArray lObjects, lCameraArray;
  if (!ReadArray(lRoot, "objects", lObjects, lFailure) || !ReadArray(lRoot, "cameras", lCameraArray, lFailure))
    return Fail();
  for (int i = 0; i < lObjects.size(); ++i) {
    const vthud::JsonPath lPath{std::string("objects"), i};
    if (!lObjects[i].isObject()) {
      lFailure = {lPath, "an object record must be a JSON object"};
      return Fail();
    }
    const QJsonObject lRecord = lObjects[i].toObject();
    std::string lName, lError;
    if (!OnlyMembers(lRecord, {"class", "name", "properties", "timecodeProperty"}, lPath, "an object record",
                     lFailure) ||
        !ReadName(lRecord, lPath, "an object record", lName, lFailure))
      return Fail();
    const std::string lClass = lRecord.value(Key("class")).toString().toStdString();
    vthud::JsonPath lClassPath = lPath;
    lClassPath.push_back(std::string("class"));
    if (lClass.empty()) {
      lFailure = {lClassPath, "'" + vthud::MessageText(lName) + "' needs its \"class\""};
      return Fail();
    }
    const bool lSource = lClass == kTimecodeSourceClass;
    if (lSource != lRecord.contains(Key("timecodeProperty"))) {
      lFailure = {lSource ? lPath : lClassPath, lSource ? "a TimecodeSource needs its \"timecodeProperty\""
                                                        : "only a TimecodeSource has a \"timecodeProperty\""};
      return Fail();
    }
    LooseObject lObject;
    if (lSource) {
      std::string lCarried;
      const SceneObject lPlain("");
      if (!JsonToText(lRecord.value(Key("timecodeProperty")), lCarried) || lCarried.empty() ||
          lPlain.PropertyList.Find(lCarried.c_str()) || lCarried == "Start Timecode" ||
          lCarried == "Start Frame" || lCarried == "Held") {
        lFailure = {
            {std::string("objects"), i, std::string("timecodeProperty")},
            "\"timecodeProperty\" must name the carried property (not one the source has anyway), or be \"TC\""};
        return Fail();
      }
      lObject.reset(new TimecodeSource(lName.c_str(), lCarried));
    } else if (lClass == kSceneObjectClass) {
      lObject.reset(new SceneObject(lName.c_str()));
    } else {
      lObject = CreateRegistered(lClass, lName, lError);
      if (!lObject) {
        lFailure = {lClassPath, lError};
        return Fail();
      }
    }
    FBComponent* lBuilt = lObject.get();
    lStaged.push_back(std::move(lObject));
    if (!ReadProperties(lBuilt, lRecord, lPath, &lLists, nullptr, lFailure)) return Fail();
  }

  // Cameras are tried on stand-ins first; the host's own change only at the end.
  std::vector<CameraRecord> lCameras;
  for (int i = 0; i < lCameraArray.size(); ++i) {
    const vthud::JsonPath lPath{std::string("cameras"), i};
    if (!lCameraArray[i].isObject()) {
      lFailure = {lPath, "a camera record must be a JSON object"};
      return Fail();
    }
    CameraRecord lCamera{"", lCameraArray[i].toObject(), lPath};
    if (!OnlyMembers(lCamera.record, {"name", "properties"}, lPath, "a camera record", lFailure) ||
        !ReadName(lCamera.record, lPath, "a camera record", lCamera.name, lFailure))
      return Fail();
    for (const CameraRecord& lOther : lCameras)
      if (lOther.name == lCamera.name) {
        lFailure = {lPath, "camera '" + vthud::MessageText(lCamera.name) + "' appears twice"};
        return Fail();
      }
    FBCamera lTrial(lCamera.name.c_str());
    if (!ReadProperties(&lTrial, lCamera.record, lPath, nullptr, nullptr, lFailure)) return Fail();
    lCameras.push_back(lCamera);
  }
  auto IsCamera = [&](const std::string& pName) {
    return pHost.FindCamera(pName) ||
           std::any_of(lCameras.begin(), lCameras.end(), [&](const CameraRecord& c) { return c.name == pName; });
  };

  std::string lTake;
  const QJsonValue lTakeValue = lRoot.value(Key("take"));
  if (!lTakeValue.isUndefined() && !lTakeValue.isNull() && !JsonToText(lTakeValue, lTake)) {
    lFailure = {{std::string("take")}, "\"take\" must be the take's name or null"};
    return Fail();
  }
  std::string lCurrent;
  const QJsonValue lCurrentValue = lRoot.value(Key("currentCamera"));
  if (!lCurrentValue.isUndefined() && !lCurrentValue.isNull() &&
      (!JsonToText(lCurrentValue, lCurrent) || !IsCamera(lCurrent))) {
    lFailure = {{std::string("currentCamera")}, "\"currentCamera\" must name a camera of the scene, or be null"};
    return Fail();
  }

  // Every reference names exactly one loaded object or one camera.
  for (const PendingList& lPending : lLists)
    for (size_t n = 0; n < lPending.names.size(); ++n) {
      const std::string& lName = lPending.names[n];
      size_t lMatches = IsCamera(lName) ? 1 : 0;
      for (const LooseObject& lObject : lStaged) lMatches += NameOf(lObject.get()) == lName;
      if (lMatches == 1) continue;
      vthud::JsonPath lPath = lPending.path;
      lPath.push_back(static_cast<int>(n));
      lFailure = {lPath, lPending.label + " refers to '" + vthud::MessageText(lName) + "', " +
                             (lMatches == 0 ? std::string("which is not in the scene")
                                            : "a name that " + std::to_string(lMatches) + " objects share")};
      return Fail();
    }

  // All checked: the scene changes from here on.
  for (const CameraRecord& lRecord : lCameras) {
    FBCamera* lCamera = pHost.FindCamera(lRecord.name);
    if (!lCamera) lCamera = pHost.AddCamera(lRecord.name);
    RemoveCustom(lCamera);
    if (!ReadProperties(lCamera, lRecord.record, lRecord.path, nullptr, nullptr, lFailure)) return Fail();
  }
  if (lTakeValue.isNull()) {
    pHost.SetCurrentTake(nullptr);
  } else if (lTakeValue.isString() || lTakeValue.isObject()) {
    FBTake* lFound = nullptr;
    for (const auto& t : pHost.Takes())
      if (NameOf(t.get()) == lTake) lFound = t.get();
    pHost.SetCurrentTake(lFound ? lFound : pHost.AddTake(lTake));
  }
  if (lCurrentValue.isNull())
    pHost.Renderer().CurrentCamera = nullptr;
  else if (!lCurrentValue.isUndefined())
    pHost.Renderer().CurrentCamera = pHost.FindCamera(lCurrent);

  pHost.DestroyAll();
  std::vector<FBComponent*> lLoaded;
  for (LooseObject& lObject : lStaged) {
    lLoaded.push_back(lObject.get());
    pHost.Adopt(lObject.release());
  }
  // Connections last, so that the objects see their final neighbours when notified.
  for (PendingList& lPending : lLists) {
    lPending.list->RemoveAll();
    for (const std::string& lName : lPending.names) {
      FBComponent* lTarget = pHost.FindCamera(lName);
      for (FBComponent* lObject : lLoaded)
        if (NameOf(lObject) == lName) lTarget = lObject;
      lPending.list->Add(lTarget);
    }
  }
  return true;
} catch (const std::exception& lException) {
  pError = "cannot load " + pPath + ": " + lException.what();
  return false;
}

bool SaveLayout(FBComponent* pElement, const std::string& pPath, std::string& pError) {
  return SaveLayout(std::vector<FBComponent*>{pElement}, pPath, pError);
}

bool SaveLayout(const std::vector<FBComponent*>& pElements, const std::string& pPath, std::string& pError) try {
  const std::string lFail = "cannot save layout " + pPath + ": ";
  QJsonArray lRecords;
  for (FBComponent* pElement : pElements) {
    if (!pElement) {
      pError = lFail + "no element";
      return false;
    }
    const std::string lClass = pElement->ClassName();
    // The values of a new element are the baseline; only changes are written.
    LooseObject lFresh = CreateRegistered(lClass, "", pError);
    if (!lFresh) {
      pError = lFail + pError;
      return false;
    }
    Writer lWriter;
    QJsonArray lProperties;
    if (!lWriter.Properties(pElement, lFresh.get(), lFresh.get(), lProperties, pError)) {
      pError = lFail + pError;
      return false;
    }
    QJsonObject lRecord;
    lRecord.insert(Key("class"), QString::fromStdString(lClass));
    lRecord.insert(Key("name"), TextToJson(NameOf(pElement)));
    lRecord.insert(Key("properties"), lProperties);
    lRecords.append(lRecord);
  }
  QJsonObject lRoot;
  lRoot.insert(Key("format"), QLatin1String(kLayoutFormat));
  lRoot.insert(Key("version"), kVersion);
  lRoot.insert(Key("objects"), lRecords);
  return vthud::WriteJsonFile(pPath, QJsonDocument(lRoot), pError);
} catch (const std::exception& lException) {
  pError = "cannot save layout " + pPath + ": " + lException.what();
  return false;
}

bool ApplyLayout(FBComponent* pElement, const std::string& pPath, std::string& pError) try {
  if (!pElement) {
    pError = "cannot apply layout " + pPath + ": no element";
    return false;
  }
  Loading lFile{pPath, {}, {}, {}};
  if (!lFile.Open(pError)) return false;
  const QJsonObject& lRoot = lFile.root;
  Failure& lFailure = lFile.failure;
  auto Fail = [&]() { return lFile.Fail(pError); };
  QJsonArray lObjects;
  if (!ReadHeader(lRoot, kLayoutFormat, lFailure) ||
      !OnlyMembers(lRoot, {"format", "version", "objects"}, {}, "a layout", lFailure) ||
      !ReadArray(lRoot, "objects", lObjects, lFailure))
    return Fail();
  if (lObjects.size() != 1 || !lObjects[0].isObject()) {
    lFailure = {
        {std::string("objects")},
        "a layout holds exactly one element, this one holds " + std::to_string(lObjects.size()) + " records"};
    return Fail();
  }
  const vthud::JsonPath lPath{std::string("objects"), 0};
  const QJsonObject lRecord = lObjects[0].toObject();
  if (!OnlyMembers(lRecord, {"class", "name", "properties"}, lPath, "an object record", lFailure)) return Fail();
  const std::string lClass = lRecord.value(Key("class")).toString().toStdString();
  if (lClass != pElement->ClassName()) {
    lFailure = {
        {std::string("objects"), 0, std::string("class")},
        "the layout is for class '" + vthud::MessageText(lClass) + "', the element is a " + pElement->ClassName()};
    return Fail();
  }
  Undo lUndo;
  if (!lUndo.All([&](Undo& u) { return ReadProperties(pElement, lRecord, lPath, nullptr, &u, lFailure); }))
    return Fail();
  return true;
} catch (const std::exception& lException) {
  pError = "cannot apply layout " + pPath + ": " + lException.what();
  return false;
}

bool ApplyLayout(const std::vector<FBComponent*>& pElements, const std::string& pPath, std::string& pError) try {
  if (pElements.size() == 1) return ApplyLayout(pElements.front(), pPath, pError);
  Loading lFile{pPath, {}, {}, {}};
  if (!lFile.Open(pError)) return false;
  const QJsonObject& lRoot = lFile.root;
  Failure& lFailure = lFile.failure;
  auto Fail = [&]() { return lFile.Fail(pError); };
  QJsonArray lObjects;
  if (!ReadHeader(lRoot, kLayoutFormat, lFailure) ||
      !OnlyMembers(lRoot, {"format", "version", "objects"}, {}, "a layout", lFailure) ||
      !ReadArray(lRoot, "objects", lObjects, lFailure))
    return Fail();
  if (lObjects.isEmpty() || static_cast<size_t>(lObjects.size()) > pElements.size()) {
    lFailure = {{std::string("objects")},
                "a layout holds one record for each of up to " + std::to_string(pElements.size()) +
                    " elements, this one holds " + std::to_string(lObjects.size())};
    return Fail();
  }
  // Each record goes to the element of its class; every record is checked before any is applied.
  std::vector<FBComponent*> lTargets;
  for (int i = 0; i < lObjects.size(); ++i) {
    const vthud::JsonPath lPath{std::string("objects"), i};
    if (!lObjects[i].isObject()) {
      lFailure = {lPath, "must be an object record"};
      return Fail();
    }
    const QJsonObject lRecord = lObjects[i].toObject();
    if (!OnlyMembers(lRecord, {"class", "name", "properties"}, lPath, "an object record", lFailure)) return Fail();
    const std::string lClass = lRecord.value(Key("class")).toString().toStdString();
    FBComponent* lTarget = nullptr;
    for (FBComponent* lElement : pElements)
      if (lElement && lClass == lElement->ClassName() &&
          std::find(lTargets.begin(), lTargets.end(), lElement) == lTargets.end())
        lTarget = lTarget ? lTarget : lElement;
    if (!lTarget) {
      lFailure = {
          {std::string("objects"), i, std::string("class")},
          "the layout holds a record for class '" + vthud::MessageText(lClass) + "', which no element here takes"};
      return Fail();
    }
    lTargets.push_back(lTarget);
  }
  Undo lUndo;
  const bool lApplied = lUndo.All([&](Undo& u) {
    for (int i = 0; i < lObjects.size(); ++i)
      if (!ReadProperties(lTargets[static_cast<size_t>(i)], lObjects[i].toObject(),
                          vthud::JsonPath{std::string("objects"), i}, nullptr, &u, lFailure))
        return false;
    return true;
  });
  if (!lApplied) return Fail();
  return true;
} catch (const std::exception& lException) {
  pError = "cannot apply layout " + pPath + ": " + lException.what();
  return false;
}

}  // namespace vthost
