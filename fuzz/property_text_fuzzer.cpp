// Property text parsing by type: the first byte picks one of the element's
// properties, the rest is the text set on it through the host's property
// editing. A refused text must leave the value as it was and say why; any
// accepted one is drawn.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_host.h"
#include "property_edit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t pSize) {
  if (pSize < 1) return 0;
  vthud_fuzz::FuzzHost& lFuzz = vthud_fuzz::FuzzHost::Get();
  FBHUDElement* lElement = lFuzz.element;
  FBProperty* lProperty = lElement->PropertyList[pData[0] % lElement->PropertyList.GetCount()];
  const std::string lName = lProperty->GetName();
  const std::string lText(reinterpret_cast<const char*>(pData + 1), pSize - 1);

  const std::string lBefore = static_cast<const char*>(lProperty->AsString());
  std::string lError;
  const bool lSet = vthost::SetPropertyFromText(lElement, lName, lText, lError);
  if (!lSet) {
    if (lError.empty()) vthud_fuzz::Fail("'" + lName + "' refused a text without a message");
    if (lError.find(lName) == std::string::npos)
      vthud_fuzz::Fail("the message does not name the property: " + lError);
    if (lBefore != static_cast<const char*>(lProperty->AsString()))
      vthud_fuzz::Fail("'" + lName + "' changed although the text was refused");
    return 0;
  }
  lFuzz.Draw();
  // Back to the value before, so every input starts from the same element.
  if (!lProperty->SetString(lBefore.c_str())) vthud_fuzz::Fail("cannot restore '" + lName + "'");
  return 0;
}
