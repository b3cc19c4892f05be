// Page images rendered at the resolution, depth and area a virtual scanner is set to.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/drivers/page_images.h"
#include "sim/services/driver_model/page_flow.h"

namespace sim {

// What a scanner set to `target` (size, position, resolution, samples and bits, uncompressed)
// delivers for the image on its bed: each dot is the image's dot under it (white off the
// image), thresholded to one bit or spread to gray or colour as the target asks. An image
// already in the target's layout and resolution at position 0 passes through bit for bit.
std::vector<std::uint8_t> RenderPageImage(const PageImage& image, const PageFormat& target);
// Renders the same into `rows`, reusing their storage.
void RenderPageImage(const PageImage& image, const PageFormat& target,
                     std::vector<std::uint8_t>& rows);

}  // namespace sim
