// One page from a SANE device: started, read frame by frame to the last, and turned into the
// rows the page protocol carries: whole bytes a row, samples interleaved, one bit with 1 black
// (as SANE delivers it), gray with 0 black.
#pragma once

#include <sane/sane.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace sim {

struct SanePage {
  std::int32_t width = 0;  // dots a row
  std::int32_t length = 0;
  std::int32_t samples = 1;
  std::int32_t bits = 8;
  std::vector<std::uint8_t> rows;
};

struct SanePageResult {
  enum class Kind {
    Page,         // `page` holds it
    Failed,       // the device answered `status`
    Aborted,      // `aborted` said so between reads; the scan was cancelled
    Unsupported,  // 16-bit samples, or a frame that does not match its parameters
    EndedEarly,   // a frame with fewer lines than it announced, or a page of none
  };
  Kind kind = Kind::Page;
  SANE_Status status = SANE_STATUS_GOOD;
};

// Starts the device and reads every frame of one page; `aborted` is asked before each read.
// The page's rows are read into the memory its earlier rows held, which a driver keeps for
// that from page to page.
SanePageResult ReadSanePage(SANE_Handle handle, const std::function<bool()>& aborted,
                            SanePage& page);

}  // namespace sim
