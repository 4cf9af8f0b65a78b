// The scene file, line by line. Strings are always in double quotes, with the
// escapes \" \\ \n \t \r and \xHH; valid UTF-8 is written as it is.
//
//   vthost-scene 1
//   object "<registered class entry>" "<name>"
//   scene-object "<name>"
//   property "<name>" "<type name>" <anim> value "<text>"
//   property "<name>" "<type name>" <anim> refs "<object name>" ...
//   dynamic-property "<name>" <kind> "<type name>" <anim> value "<text>" | refs ...
//   end
//
// Property lines belong to the object line above them. <anim> is '-' (not
// animatable), 'animatable' or 'animated'. Dynamic properties are re-created
// on load with their <kind> (bool, int, double, string, color, timecode, time,
// object). Blank lines and lines starting with '#' are ignored.
#include "scene_file.h"

#include "host.h"
#include "property_edit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <set>
#include <vector>

namespace vthost {

namespace {

const char* const kMagic = "vthost-scene";
const int kVersion = 1;

struct KindWord {
  FBPropertyType type;
  const char* word;
};
// The property types a component can create for itself.
const KindWord kKinds[] = {{kFBPT_bool, "bool"},      {kFBPT_int, "int"},         {kFBPT_double, "double"},
                           {kFBPT_charptr, "string"}, {kFBPT_ColorRGBA, "color"}, {kFBPT_TimeCode, "timecode"},
                           {kFBPT_Time, "time"},      {kFBPT_object, "object"}};

const char* KindToWord(FBPropertyType pType) {
  for (const KindWord& k : kKinds)
    if (k.type == pType) return k.word;
  return nullptr;
}

bool WordToKind(const std::string& pWord, FBPropertyType& pType) {
  for (const KindWord& k : kKinds)
    if (pWord == k.word) {
      pType = k.type;
      return true;
    }
  return false;
}

enum class Anim { None, Animatable, Animated };

std::string NameOf(FBComponent* pObject) { return static_cast<const char*>(pObject->Name.GetPropertyValue()); }

// ---- escaping

// Length of the well-formed UTF-8 sequence starting at pIndex, or 0.
size_t Utf8Length(const std::string& pText, size_t pIndex) {
  const unsigned char c = static_cast<unsigned char>(pText[pIndex]);
  size_t lLength = 0;
  unsigned char lLow = 0x80, lHigh = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    lLength = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    lLength = 3;
    if (c == 0xE0) lLow = 0xA0;   // no overlong forms
    if (c == 0xED) lHigh = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    lLength = 4;
    if (c == 0xF0) lLow = 0x90;
    if (c == 0xF4) lHigh = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (pIndex + lLength > pText.size()) return 0;
  for (size_t k = 1; k < lLength; ++k) {
    const unsigned char b = static_cast<unsigned char>(pText[pIndex + k]);
    if (b < (k == 1 ? lLow : 0x80) || b > (k == 1 ? lHigh : 0xBF)) return 0;
  }
  return lLength;
}

// Every byte survives; the file stays one line per record and valid UTF-8.
std::string Quote(const std::string& pText) {
  std::string lOut = "\"";
  for (size_t i = 0; i < pText.size();) {
    const unsigned char c = static_cast<unsigned char>(pText[i]);
    if (c == '"' || c == '\\') {
      lOut += '\\';
      lOut += static_cast<char>(c);
    } else if (c == '\n') {
      lOut += "\\n";
    } else if (c == '\t') {
      lOut += "\\t";
    } else if (c == '\r') {
      lOut += "\\r";
    } else if (c >= 0x80) {
      if (const size_t n = Utf8Length(pText, i)) {
        lOut.append(pText, i, n);
        i += n;
        continue;
      }
      char lHex[8];
      snprintf(lHex, sizeof lHex, "\\x%02x", c);
      lOut += lHex;
    } else if (c < 0x20 || c == 0x7f) {
      char lHex[8];
      snprintf(lHex, sizeof lHex, "\\x%02x", c);
      lOut += lHex;
    } else {
      lOut += static_cast<char>(c);
    }
    ++i;
  }
  return lOut + "\"";
}

struct Token {
  std::string text;
  bool quoted = false;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Tokenize(const std::string& pLine, std::vector<Token>& pTokens, std::string& pError) {
  const size_t n = pLine.size();
  size_t i = 0;
  for (;;) {
    while (i < n && (pLine[i] == ' ' || pLine[i] == '\t')) ++i;
    if (i >= n) return true;
    Token lToken;
    if (pLine[i] == '"') {
      lToken.quoted = true;
      ++i;
      bool lClosed = false;
      while (i < n) {
        const char c = pLine[i++];
        if (c == '"') {
          lClosed = true;
          break;
        }
        if (c != '\\') {
          lToken.text += c;
          continue;
        }
        if (i >= n) break;
        const char e = pLine[i++];
        switch (e) {
          case '"':
          case '\\': lToken.text += e; break;
          case 'n': lToken.text += '\n'; break;
          case 't': lToken.text += '\t'; break;
          case 'r': lToken.text += '\r'; break;
          case 'x': {
            const int h = i < n ? HexDigit(pLine[i]) : -1;
            const int l = i + 1 < n ? HexDigit(pLine[i + 1]) : -1;
            if (h < 0 || l < 0) {
              pError = "'\\x' must be followed by two hex digits";
              return false;
            }
            lToken.text += static_cast<char>(h * 16 + l);
            i += 2;
            break;
          }
          default:
            pError = std::string("unknown escape '\\") + MessageText(std::string(1, e)) + "' in a string";
            return false;
        }
      }
      if (!lClosed) {
        pError = "a string is not closed (missing '\"')";
        return false;
      }
      if (i < n && pLine[i] != ' ' && pLine[i] != '\t') {
        pError = "text right after a closing '\"'";
        return false;
      }
    } else {
      while (i < n && pLine[i] != ' ' && pLine[i] != '\t') {
        if (pLine[i] == '"') {
          pError = "a '\"' inside a word";
          return false;
        }
        lToken.text += pLine[i++];
      }
    }
    pTokens.push_back(lToken);
  }
}

// ---- the parsed file

struct PropertyRecord {
  int line = 0;
  std::string name, typeName;
  bool dynamic = false;
  FBPropertyType kind = kFBPT_unknown;
  Anim anim = Anim::None;
  bool isList = false;
  std::string value;
  std::vector<std::string> refs;
};

struct ObjectRecord {
  int line = 0;
  bool sceneObject = false;
  std::string className, name;
  std::vector<PropertyRecord> properties;
};

// Reads "<anim> value "<text>"" or "<anim> refs "<name>"..." starting at pAt.
bool ParsePropertyTail(const std::vector<Token>& pTokens, size_t pAt, PropertyRecord& pRecord,
                       std::string& pError) {
  if (pTokens.size() < pAt + 2) {
    pError = "property '" + MessageText(pRecord.name) + "' is incomplete";
    return false;
  }
  const Token& lAnim = pTokens[pAt];
  if (lAnim.quoted || (lAnim.text != "-" && lAnim.text != "animatable" && lAnim.text != "animated")) {
    pError = "expected '-', 'animatable' or 'animated', got '" + MessageText(lAnim.text) + "'";
    return false;
  }
  pRecord.anim = lAnim.text == "-" ? Anim::None : lAnim.text == "animatable" ? Anim::Animatable : Anim::Animated;
  const Token& lWhat = pTokens[pAt + 1];
  if (!lWhat.quoted && lWhat.text == "value") {
    if (pTokens.size() != pAt + 3 || !pTokens[pAt + 2].quoted) {
      pError = "property '" + MessageText(pRecord.name) + "' needs exactly one quoted value";
      return false;
    }
    pRecord.value = pTokens[pAt + 2].text;
    return true;
  }
  if (!lWhat.quoted && lWhat.text == "refs") {
    pRecord.isList = true;
    for (size_t i = pAt + 2; i < pTokens.size(); ++i) {
      if (!pTokens[i].quoted) {
        pError = "object names must be quoted, got '" + MessageText(pTokens[i].text) + "'";
        return false;
      }
      pRecord.refs.push_back(pTokens[i].text);
    }
    return true;
  }
  pError = "expected 'value' or 'refs', got '" + MessageText(lWhat.text) + "'";
  return false;
}

bool ParseLine(const std::vector<Token>& pTokens, int pLine, std::vector<ObjectRecord>& pObjects, bool& pEnd,
               std::string& pError) {
  const Token& lKeyword = pTokens[0];
  const std::string& k = lKeyword.quoted ? std::string() : lKeyword.text;
  auto Quoted = [&](size_t pFrom, size_t pTo) {
    for (size_t i = pFrom; i < pTo; ++i)
      if (i >= pTokens.size() || !pTokens[i].quoted) return false;
    return true;
  };
  if (k == "end") {
    if (pTokens.size() != 1) {
      pError = "unexpected text after 'end'";
      return false;
    }
    pEnd = true;
    return true;
  }
  if (k == "object" || k == "scene-object") {
    ObjectRecord lObject;
    lObject.line = pLine;
    lObject.sceneObject = k == "scene-object";
    const size_t lCount = lObject.sceneObject ? 2 : 3;
    if (pTokens.size() != lCount || !Quoted(1, lCount)) {
      pError =
          lObject.sceneObject ? "expected: scene-object \"<name>\"" : "expected: object \"<class>\" \"<name>\"";
      return false;
    }
    if (!lObject.sceneObject) lObject.className = pTokens[1].text;
    lObject.name = pTokens[lCount - 1].text;
    pObjects.push_back(lObject);
    return true;
  }
  if (k == "property" || k == "dynamic-property") {
    if (pObjects.empty()) {
      pError = "a property before any object";
      return false;
    }
    PropertyRecord lRecord;
    lRecord.line = pLine;
    lRecord.dynamic = k == "dynamic-property";
    size_t lAt = 1;
    if (pTokens.size() < 2 || !pTokens[1].quoted) {
      pError = "expected the quoted property name after '" + k + "'";
      return false;
    }
    lRecord.name = pTokens[lAt++].text;
    if (lRecord.dynamic) {
      if (pTokens.size() <= lAt || pTokens[lAt].quoted || !WordToKind(pTokens[lAt].text, lRecord.kind)) {
        pError = "property '" + MessageText(lRecord.name) +
                 "' needs a kind (bool, int, double, string, color, timecode, time or object)";
        return false;
      }
      ++lAt;
    }
    if (pTokens.size() <= lAt || !pTokens[lAt].quoted) {
      pError = "property '" + MessageText(lRecord.name) + "' needs its quoted type name";
      return false;
    }
    lRecord.typeName = pTokens[lAt++].text;
    if (!ParsePropertyTail(pTokens, lAt, lRecord, pError)) return false;
    if (lRecord.dynamic && lRecord.isList != (lRecord.kind == kFBPT_object)) {
      pError = "property '" + MessageText(lRecord.name) + "': only object properties hold refs";
      return false;
    }
    ObjectRecord& lObject = pObjects.back();
    for (const PropertyRecord& lOther : lObject.properties)
      if (lOther.name == lRecord.name) {
        pError = "property '" + MessageText(lRecord.name) + "' of '" + MessageText(lObject.name) +
                 "' appears twice (first on line " + std::to_string(lOther.line) + ")";
        return false;
      }
    lObject.properties.push_back(lRecord);
    return true;
  }
  pError = "unknown line kind '" + MessageText(lKeyword.text) + "'";
  return false;
}

// The whole file into records; nothing is created yet.
bool Parse(const std::string& pContent, const std::string& pPath, std::vector<ObjectRecord>& pObjects,
           std::string& pError) {
  int lLine = 0;
  bool lEnd = false;
  size_t lStart = 0;
  while (lStart < pContent.size()) {
    size_t lStop = pContent.find('\n', lStart);
    if (lStop == std::string::npos) lStop = pContent.size();
    std::string lText = pContent.substr(lStart, lStop - lStart);
    lStart = lStop + 1;
    ++lLine;
    // Line breaks inside values are escaped, so a final CR is a CRLF ending.
    if (!lText.empty() && lText.back() == '\r') lText.pop_back();
    const std::string lWhere = pPath + ":" + std::to_string(lLine) + ": ";
    std::vector<Token> lTokens;
    std::string lError;
    if (!Tokenize(lText, lTokens, lError)) {
      pError = lWhere + lError;
      return false;
    }
    if (lLine == 1) {
      if (lTokens.size() != 2 || lTokens[0].quoted || lTokens[0].text != kMagic) {
        pError = lWhere + "not a scene file (the first line should be '" + kMagic + " " +
                 std::to_string(kVersion) + "')";
        return false;
      }
      if (lTokens[1].text != std::to_string(kVersion)) {
        pError = lWhere + "unsupported scene version '" + MessageText(lTokens[1].text) + "' (this host reads " +
                 std::to_string(kVersion) + ")";
        return false;
      }
      continue;
    }
    if (lTokens.empty() || (!lTokens[0].quoted && lTokens[0].text[0] == '#')) continue;
    if (lEnd) {
      pError = lWhere + "text after the 'end' line";
      return false;
    }
    if (!ParseLine(lTokens, lLine, pObjects, lEnd, lError)) {
      pError = lWhere + lError;
      return false;
    }
  }
  if (lLine == 0) {
    pError = pPath + ":1: the file is empty";
    return false;
  }
  if (!lEnd) {
    pError = pPath + ":" + std::to_string(lLine) + ": the file stops before its 'end' line (truncated?)";
    return false;
  }
  return true;
}

// ---- building the objects

// Destroys an object that never reached the host, as the host destroys its own.
void DestroyLoose(FBComponent* pObject) {
  if (pObject->mAllocated) {
    pObject->FBDelete();
  } else {
    pObject->FBDestroy();
    delete pObject;
  }
}

struct PendingList {
  FBPropertyListObject* list;
  const PropertyRecord* record;
  const ObjectRecord* object;
  std::vector<FBComponent*> targets;
};

FBComponent* CreateObject(const ObjectRecord& pRecord, std::string& pError) {
  if (pRecord.sceneObject) return new SceneObject(pRecord.name.c_str());
  for (const auto& lClass : fbsdk_host::Registry()) {
    if (lClass.entry != pRecord.className || !lClass.create) continue;
    FBComponent* lObject = FBGetFBObject(lClass.create(nullptr, pRecord.name.c_str(), nullptr));
    if (!lObject)
      pError = "creating '" + MessageText(pRecord.name) + "' of class '" + pRecord.className + "' failed";
    return lObject;
  }
  std::string lKnown;
  for (const auto& lClass : fbsdk_host::Registry()) lKnown += (lKnown.empty() ? "" : ", ") + lClass.entry;
  pError = "class '" + MessageText(pRecord.className) +
           "' is not registered (registered: " + (lKnown.empty() ? "none" : lKnown) + ")";
  return nullptr;
}

bool ApplyProperty(FBComponent* pObject, const ObjectRecord& pObjectRecord, const PropertyRecord& pRecord,
                   std::vector<PendingList>& pLists, std::string& pError) {
  const std::string lLabel =
      "property '" + MessageText(pRecord.name) + "' of '" + MessageText(pObjectRecord.name) + "'";
  FBProperty* lProperty = pObject->PropertyList.Find(pRecord.name.c_str());
  if (pRecord.dynamic) {
    if (lProperty) {
      pError =
          "'" + MessageText(pObjectRecord.name) + "' already has a property '" + MessageText(pRecord.name) + "'";
      return false;
    }
    lProperty = pObject->PropertyCreate(pRecord.name.c_str(), pRecord.kind, "", pRecord.anim != Anim::None);
    if (!lProperty) {
      pError = "cannot create " + lLabel;
      return false;
    }
  } else if (!lProperty) {
    pError = "'" + MessageText(pObjectRecord.name) + "' has no property '" + MessageText(pRecord.name) + "'";
    const std::vector<std::string> lNearest = NearestPropertyNames(pObject, pRecord.name);
    for (size_t i = 0; i < lNearest.size(); ++i)
      pError += (i ? ", '" : " (nearest: '") + lNearest[i] + "'" + (i + 1 == lNearest.size() ? ")" : "");
    return false;
  }
  if (pRecord.typeName != lProperty->GetPropertyTypeName()) {
    pError = lLabel + " is " + lProperty->GetPropertyTypeName() + " here, the file says " +
             MessageText(pRecord.typeName);
    return false;
  }
  if (pRecord.isList) {
    auto* lList = dynamic_cast<FBPropertyListObject*>(lProperty);
    if (!lList) {
      pError = lLabel + " is not a list of objects";
      return false;
    }
    pLists.push_back({lList, &pRecord, &pObjectRecord, {}});
  } else if (!SetPropertyText(lProperty, pRecord.value, lLabel, false, pError)) {
    return false;
  }
  if (pRecord.anim != Anim::None) {
    auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(lProperty);
    if (!lAnimatable) {
      pError = lLabel + " cannot be animated";
      return false;
    }
    lAnimatable->SetAnimated(pRecord.anim == Anim::Animated);
  }
  return true;
}

// Every reference names exactly one object of the loaded scene or a host camera.
bool ResolveLists(const Host& pHost, const std::vector<FBComponent*>& pStaged, std::vector<PendingList>& pLists,
                  const std::string& pPath, std::string& pError) {
  for (PendingList& lPending : pLists) {
    for (const std::string& lName : lPending.record->refs) {
      std::vector<FBComponent*> lMatches;
      for (FBComponent* lObject : pStaged)
        if (NameOf(lObject) == lName) lMatches.push_back(lObject);
      for (const auto& lCamera : pHost.Cameras())
        if (NameOf(lCamera.get()) == lName) lMatches.push_back(lCamera.get());
      if (lMatches.size() == 1) {
        lPending.targets.push_back(lMatches[0]);
        continue;
      }
      pError = pPath + ":" + std::to_string(lPending.record->line) + ": property '" +
               MessageText(lPending.record->name) + "' of '" + MessageText(lPending.object->name) +
               "' refers to '" + MessageText(lName) + "', " +
               (lMatches.empty() ? std::string("which is not in the scene")
                                 : "a name that " + std::to_string(lMatches.size()) + " objects share");
      return false;
    }
  }
  return true;
}

bool ReadFile(const std::string& pPath, std::string& pContent, std::string& pError) {
  FILE* lFile = fopen(pPath.c_str(), "rb");
  if (!lFile) {
    pError = "cannot read " + pPath + ": " + strerror(errno);
    return false;
  }
  char lBuffer[65536];
  size_t lRead;
  while ((lRead = fread(lBuffer, 1, sizeof lBuffer, lFile)) > 0) pContent.append(lBuffer, lRead);
  const bool lFailed = ferror(lFile) != 0;
  const int lErrno = errno;
  fclose(lFile);
  if (lFailed) {
    pError = "cannot read " + pPath + ": " + strerror(lErrno);
    return false;
  }
  return true;
}

// ---- saving

bool AppendObject(const Host& pHost, FBComponent* pObject, const SceneObject& pProbe, std::string& pText,
                  std::string& pError) {
  const std::string lName = NameOf(pObject);
  const bool lSceneObject = dynamic_cast<SceneObject*>(pObject) != nullptr;
  if (lSceneObject) {
    pText += "scene-object " + Quote(lName) + "\n";
  } else {
    const std::string lClassName = pObject->ClassName();
    const auto& lRegistry = fbsdk_host::Registry();
    if (std::none_of(lRegistry.begin(), lRegistry.end(),
                     [&](const fbsdk_host::RegisteredClass& c) { return c.entry == lClassName; })) {
      pError = "'" + MessageText(lName) + "' is of class '" + lClassName +
               "', which no registered create function makes, so it could not be loaded again";
      return false;
    }
    pText += "object " + Quote(lClassName) + " " + Quote(lName) + "\n";
  }
  std::set<std::string> lSeen;
  for (int i = 0; i < pObject->PropertyList.GetCount(); ++i) {
    FBProperty* lProperty = pObject->PropertyList[i];
    const std::string lLabel =
        "property '" + MessageText(lProperty->GetName()) + "' of '" + MessageText(lName) + "'";
    auto* lList = dynamic_cast<FBPropertyListObject*>(lProperty);
    // Events carry no value, and object references held by value have no text form.
    if (lProperty->GetPropertyType() == kFBPT_event || (lProperty->GetPropertyType() == kFBPT_object && !lList))
      continue;
    if (!lSeen.insert(lProperty->GetName()).second) {
      pError = "'" + MessageText(lName) + "' has two properties named '" + MessageText(lProperty->GetName()) +
               "'; a file could not tell them apart";
      return false;
    }
    // On a scene object everything that a new one lacks was added by PropertyCreate.
    const bool lDynamic = lSceneObject && !pProbe.PropertyList.Find(lProperty->GetName());
    if (lDynamic) {
      const char* lKind = KindToWord(lProperty->GetPropertyType());
      if (!lKind) {
        pError = lLabel + " has a type that cannot be re-created";
        return false;
      }
      pText += "dynamic-property " + Quote(lProperty->GetName()) + " " + lKind + " ";
    } else {
      pText += "property " + Quote(lProperty->GetName()) + " ";
    }
    pText += Quote(lProperty->GetPropertyTypeName()) + " ";
    auto* lAnimatable = dynamic_cast<FBPropertyAnimatable*>(lProperty);
    pText += !lAnimatable ? "-" : lAnimatable->IsAnimated() ? "animated" : "animatable";
    if (!lList) {
      pText += " value " + Quote(static_cast<const char*>(lProperty->AsString())) + "\n";
      continue;
    }
    pText += " refs";
    for (int e = 0; e < lList->GetCount(); ++e) {
      FBComponent* lTarget = lList->GetAt(e);
      const auto& lObjects = pHost.Objects();
      const bool lInScene = lTarget && std::find(lObjects.begin(), lObjects.end(), lTarget) != lObjects.end();
      const bool lCamera = lTarget && std::any_of(pHost.Cameras().begin(), pHost.Cameras().end(),
                                                  [&](const auto& c) { return c.get() == lTarget; });
      if (!lInScene && !lCamera) {
        pError = lLabel + " refers to " + (lTarget ? "'" + MessageText(NameOf(lTarget)) + "'" : "something") +
                 ", which is neither a scene object nor a camera of the host";
        return false;
      }
      // References are stored by name, so the name must pick out one object.
      const std::string lTargetName = NameOf(lTarget);
      size_t lShared = 0;
      for (FBComponent* lObject : lObjects) lShared += NameOf(lObject) == lTargetName;
      for (const auto& c : pHost.Cameras()) lShared += NameOf(c.get()) == lTargetName;
      if (lShared != 1) {
        pError = lLabel + " refers to '" + MessageText(lTargetName) + "', a name that " + std::to_string(lShared) +
                 " objects share";
        return false;
      }
      pText += " " + Quote(lTargetName);
    }
    pText += "\n";
  }
  return true;
}

std::string Directory(const std::string& pPath) {
  const size_t lSlash = pPath.rfind('/');
  if (lSlash == std::string::npos) return ".";
  return lSlash == 0 ? "/" : pPath.substr(0, lSlash);
}

// Writes to a temporary file beside the target, then renames it over the
// target, so that the target is either the old file or the complete new one.
bool WriteAtomically(const std::string& pPath, const std::string& pText, std::string& pError) {
  const std::string lFail = "cannot save " + pPath + ": ";
  const std::string lKept = " (the previous file is unchanged)";
  std::vector<char> lTemp(pPath.begin(), pPath.end());
  const std::string lSuffix = ".tmp-XXXXXX";
  lTemp.insert(lTemp.end(), lSuffix.begin(), lSuffix.end());
  lTemp.push_back('\0');
  const int lFd = mkstemp(lTemp.data());
  if (lFd < 0) {
    pError = lFail + "cannot create a file in " + Directory(pPath) + ": " + strerror(errno) + lKept;
    return false;
  }
  const std::string lTempPath = lTemp.data();
  // The new file gets the old one's permissions, or the usual ones for a new file.
  struct stat lOld;
  mode_t lMode;
  if (stat(pPath.c_str(), &lOld) == 0 && S_ISREG(lOld.st_mode)) {
    lMode = lOld.st_mode & 07777;
  } else {
    const mode_t lMask = umask(0);
    umask(lMask);
    lMode = 0666 & ~lMask;
  }
  fchmod(lFd, lMode);

  FILE* lFile = fdopen(lFd, "wb");
  if (!lFile) {
    pError = lFail + strerror(errno) + lKept;
    close(lFd);
    unlink(lTempPath.c_str());
    return false;
  }
  int lErrno = 0;
  if (fwrite(pText.data(), 1, pText.size(), lFile) != pText.size() || fflush(lFile) != 0 ||
      fsync(fileno(lFile)) != 0)
    lErrno = errno ? errno : EIO;
  if (fclose(lFile) != 0 && !lErrno) lErrno = errno ? errno : EIO;
  if (lErrno) {
    unlink(lTempPath.c_str());
    pError = lFail + "writing failed: " + strerror(lErrno) + lKept;
    return false;
  }
  if (rename(lTempPath.c_str(), pPath.c_str()) != 0) {
    lErrno = errno;
    unlink(lTempPath.c_str());
    pError = lFail + "cannot replace it: " + strerror(lErrno) + lKept;
    return false;
  }
  // Makes the rename itself durable; the file is complete either way.
  const int lDir = open(Directory(pPath).c_str(), O_RDONLY | O_DIRECTORY);
  if (lDir >= 0) {
    fsync(lDir);
    close(lDir);
  }
  return true;
}

}  // namespace

bool SaveScene(const Host& pHost, const std::string& pPath, std::string& pError) {
  if (pPath.empty()) {
    pError = "cannot save: no file name";
    return false;
  }
  try {
    std::string lText = std::string(kMagic) + " " + std::to_string(kVersion) + "\n";
    const SceneObject lProbe("");
    for (FBComponent* lObject : pHost.Objects()) {
      std::string lError;
      if (!AppendObject(pHost, lObject, lProbe, lText, lError)) {
        pError = "cannot save " + pPath + ": " + lError;
        return false;
      }
    }
    lText += "end\n";
    return WriteAtomically(pPath, lText, pError);
  } catch (const std::exception& lException) {
    pError = "cannot save " + pPath + ": " + lException.what();
    return false;
  }
}

bool LoadScene(Host& pHost, const std::string& pPath, std::string& pError) {
  // Everything is built aside first; the host's scene changes only once all of it worked.
  std::vector<FBComponent*> lStaged;
  auto Fail = [&](int pLine, const std::string& pMessage) {
    for (auto lIt = lStaged.rbegin(); lIt != lStaged.rend(); ++lIt) DestroyLoose(*lIt);
    pError = pLine > 0 ? pPath + ":" + std::to_string(pLine) + ": " + pMessage : pMessage;
    return false;
  };
  try {
    std::string lContent;
    if (!ReadFile(pPath, lContent, pError)) return false;
    std::vector<ObjectRecord> lRecords;
    if (!Parse(lContent, pPath, lRecords, pError)) return false;

    std::vector<PendingList> lLists;
    std::string lError;
    for (const ObjectRecord& lRecord : lRecords) {
      FBComponent* lObject = CreateObject(lRecord, lError);
      if (!lObject) return Fail(lRecord.line, lError);
      lStaged.push_back(lObject);
      for (const PropertyRecord& lProperty : lRecord.properties)
        if (!ApplyProperty(lObject, lRecord, lProperty, lLists, lError)) return Fail(lProperty.line, lError);
    }
    if (!ResolveLists(pHost, lStaged, lLists, pPath, lError)) return Fail(0, lError);

    pHost.DestroyAll();
    for (FBComponent* lObject : lStaged) pHost.Adopt(lObject);
    lStaged.clear();
    // Connections last, so that the objects see their final neighbours when notified.
    for (PendingList& lPending : lLists) {
      lPending.list->RemoveAll();
      for (FBComponent* lTarget : lPending.targets) lPending.list->Add(lTarget);
    }
    return true;
  } catch (const std::exception& lException) {
    return Fail(0, "cannot load " + pPath + ": " + lException.what());
  }
}

}  // namespace vthost
