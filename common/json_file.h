#ifndef VTHOST_JSON_FILE_H
#define VTHOST_JSON_FILE_H
// JSON documents on disk: bounded reads, errors at a line and column, and
// atomic saves that leave no temporary file behind for long.
#include <QtCore/QByteArray>
#include <QtCore/QJsonDocument>

#include <string>
#include <variant>
#include <vector>

namespace vthud {

// Files larger than this are refused before they are read in full.
const long long kMaxJsonFileBytes = 32LL * 1024 * 1024;

// Reads a regular file of at most kMaxJsonFileBytes and parses it as a JSON
// object. pText keeps the bytes, so that later errors can be placed in them.
// Errors read "<path>:<line>:<column>: <what>" when there is a place.
bool ReadJsonFile(const std::string& pPath, QByteArray& pText, QJsonDocument& pDocument, std::string& pError);

// Writes the document indented, through a temporary file beside the target
// that is renamed over it: the target is either the old file or the new one.
// Temporaries that a killed save left behind are removed first.
bool WriteJsonFile(const std::string& pPath, const QJsonDocument& pDocument, std::string& pError);

// "line:column" (both from 1, columns in characters) of a byte offset.
std::string LineColumn(const QByteArray& pText, int pOffset);

// A step into a JSON document: a member name or an array index.
using JsonStep = std::variant<std::string, int>;
using JsonPath = std::vector<JsonStep>;

// The byte offset of the value at pPath in well-formed JSON text, or of the
// deepest part of the path that exists.
int LocateJson(const QByteArray& pText, const JsonPath& pPath);

}  // namespace vthud

#endif
