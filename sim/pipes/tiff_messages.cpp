#include "sim/pipes/tiff_messages.h"

#include <cstdio>

namespace sim {

TiffMessages::TiffMessages() : options_(TIFFOpenOptionsAlloc()) {
  if (options_ == nullptr) return;
  TIFFOpenOptionsSetErrorHandlerExtR(options_, OnError, this);
  TIFFOpenOptionsSetWarningHandlerExtR(options_, OnWarning, this);
}

TiffMessages::~TiffMessages() {
  TIFFOpenOptionsFree(options_);
}

// The module is left out: it is mostly the file's path, which the failure names already.
int TiffMessages::OnError(TIFF*, void* self, const char*, const char* format, va_list args) {
  auto& messages = *static_cast<TiffMessages*>(self);
  if (!messages.error_.empty()) return 1;
  char text[256];
  std::vsnprintf(text, sizeof text, format, args);
  try {
    messages.error_ = text;
  } catch (...) {
    // Called from C: the text is lost rather than an exception thrown through libtiff.
  }
  return 1;
}

}  // namespace sim
