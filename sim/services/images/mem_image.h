// Memory images as the capture driver fills them and tests look at them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "framework/qel.h"
#include "sim/services/images/bitonal_page.h"

namespace sim {

// Puts the page into an empty open image. 0, or error::kInvalidArgument when the image is not
// open, already holds a page, or the page is not well formed or has a resolution part outside
// 0 to 65535 (the image reports each part in 16 bits).
std::int32_t FillMemImage(QelMemImage image, BitonalPage page) noexcept;

// A copy of the page an open image holds; none when the image is not open or not filled.
std::optional<BitonalPage> MemImagePage(QelMemImage image);

// Images opened and not yet closed: a test's way to find an image the library never closed.
std::size_t LiveImageCount();

}  // namespace sim
