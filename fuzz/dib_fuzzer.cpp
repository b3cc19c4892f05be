// Bitmaps of any content as a TWAIN source hands a page over natively: the reading stays
// within the bytes given, and what it accepts holds every row it claims.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "sim/drivers/dib_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string fault;
  const auto page = sim::PageOfDib(std::span(data, size), fault);
  if (!page) {
    if (fault.empty()) abort();  // a refusal always says why
    return 0;
  }
  if (page->rows.size() != page->format.RowBytes() * static_cast<std::size_t>(page->format.length))
    abort();
  return 0;
}
