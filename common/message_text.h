#ifndef VTHOST_MESSAGE_TEXT_H
#define VTHOST_MESSAGE_TEXT_H
#include <string>

namespace vthud {

// pText made fit for a one-line message: control characters escaped, long text shortened.
std::string MessageText(const std::string& pText);

}  // namespace vthud

#endif
