// libtiff's messages about one file, kept from the host's standard error: handlers of the
// file's own, so neither libtiff's process-wide handlers (which the host may use itself) nor
// other threads' files are touched. A library must not write to its host's terminal, and the
// stand-in has no log of its own: the first error becomes the failure's text, warnings are
// dropped.
#pragma once

#include <tiffio.h>

#include <cstdarg>
#include <string>

namespace sim {

class TiffMessages {
 public:
  TiffMessages();
  ~TiffMessages();
  TiffMessages(const TiffMessages&) = delete;
  TiffMessages& operator=(const TiffMessages&) = delete;

  // For TIFFOpenExt and TIFFClientOpenExt; this object must outlive the file.
  TIFFOpenOptions* Options() const { return options_; }
  // libtiff's first error, "" when it reported none.
  const std::string& Error() const { return error_; }

 private:
  static int OnError(TIFF*, void* self, const char*, const char* format, va_list args);
  static int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

  TIFFOpenOptions* options_;
  std::string error_;
};

}  // namespace sim
