// Shared by the Moonfair suites: records what the plug-in reports through
// slot 4 and restores the plug-in's global tables afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "moonfair_library.h"

struct ReportedError {
  int32_t code;
  bool hasMessage;
  std::string message;
  std::string function;
  uint64_t reserved;
};

// While alive, slot 4 records into `errors` and slot 0 carries this object,
// so recording also proves the user pointer is passed back.
class ErrorCapture {
 public:
  ErrorCapture()
      : mSavedCallbacks(g_mfiCallbackTableInternal),
        mSavedStorage(g_pMfiFunctionTableStorage),
        mSavedTable(g_pMfiFunctionTable) {
    g_mfiCallbackTableInternal.user = this;
    g_mfiCallbackTableInternal.error = &Record;
  }
  ~ErrorCapture() {
    g_mfiCallbackTableInternal = mSavedCallbacks;
    g_pMfiFunctionTableStorage = mSavedStorage;
    g_pMfiFunctionTable = mSavedTable;
  }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  std::vector<ReportedError> errors;

 private:
  static void Record(void* user, const MfiErrorContext* e) {
    static_cast<ErrorCapture*>(user)->errors.push_back({e->code, e->message != nullptr,
                                                        e->message ? e->message : "",
                                                        e->function ? e->function : "", e->reserved});
  }

  MfiCallbackTable mSavedCallbacks;
  const MfiFunctionTable* mSavedStorage;
  const MfiFunctionTable* const* mSavedTable;
};
