// iconv for ZBar in the DLL (see sim/barcode/iconv/iconv.h), over the system's code pages:
// the bytes go to UTF-16 and from there to UTF-8. ZBar opens UTF-8, ISO8859-n, SJIS, BIG-5
// and CP437, converts a whole text at a time and tries the next character set when one
// fails, so a conversion here is all or nothing and fails on any byte the code page does not
// define.
#include <windows.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/barcode/iconv/iconv.h"

namespace {

struct CodePage {
  std::string_view name;
  UINT number;
};

// The names ZBar asks for. ISO 8859 parts without a Windows code page are not offered.
constexpr auto kCodePages = std::to_array<CodePage>({
    {"UTF-8", CP_UTF8},
    {"ISO8859-1", 28591},
    {"ISO8859-2", 28592},
    {"ISO8859-3", 28593},
    {"ISO8859-4", 28594},
    {"ISO8859-5", 28595},
    {"ISO8859-6", 28596},
    {"ISO8859-7", 28597},
    {"ISO8859-8", 28598},
    {"ISO8859-9", 28599},
    {"ISO8859-13", 28603},
    {"ISO8859-15", 28605},
    {"SJIS", 932},
    {"BIG-5", 950},
    {"CP437", 437},
});

const iconv_t kFailed = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));

// Code pages map the byte pairs they leave to users into the private use area; those are no
// text of the set, as iconv's own tables have it.
bool PrivateUse(wchar_t c) {
  return c >= 0xE000 && c <= 0xF8FF;
}

std::size_t Fail(int why) {
  errno = why;
  return static_cast<std::size_t>(-1);
}

}  // namespace

// The handle is the code page's number itself: nothing to allocate or free.
extern "C" iconv_t iconv_open(const char* tocode, const char* fromcode) {
  if (tocode == nullptr || fromcode == nullptr || std::string_view(tocode) != "UTF-8") {
    errno = EINVAL;
    return kFailed;
  }
  for (const CodePage& page : kCodePages) {
    if (page.name == fromcode) {
      return reinterpret_cast<iconv_t>(static_cast<std::uintptr_t>(page.number));
    }
  }
  errno = EINVAL;
  return kFailed;
}

extern "C" std::size_t iconv(iconv_t cd, char** inbuf, std::size_t* inbytesleft, char** outbuf,
                             std::size_t* outbytesleft) {
  // No shift state to reset.
  if (inbuf == nullptr || *inbuf == nullptr || *inbytesleft == 0) return 0;
  if (cd == kFailed || outbuf == nullptr || outbytesleft == nullptr || *inbytesleft > INT_MAX ||
      *outbytesleft > INT_MAX) {
    return Fail(EINVAL);
  }
  const auto codePage = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(cd));
  const auto inLength = static_cast<int>(*inbytesleft);
  const int wideLength =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, *inbuf, inLength, nullptr, 0);
  if (wideLength <= 0) return Fail(EILSEQ);
  std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, *inbuf, inLength, wide.data(), wideLength);
  for (const wchar_t c : wide) {
    if (PrivateUse(c)) return Fail(EILSEQ);
  }
  const int outLength =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (outLength <= 0) return Fail(EILSEQ);
  if (static_cast<std::size_t>(outLength) > *outbytesleft) return Fail(E2BIG);
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, *outbuf, outLength, nullptr, nullptr);
  *inbuf += *inbytesleft;
  *inbytesleft = 0;
  *outbuf += outLength;
  *outbytesleft -= static_cast<std::size_t>(outLength);
  return 0;
}

extern "C" int iconv_close(iconv_t cd) {
  return cd == kFailed ? -1 : 0;
}
