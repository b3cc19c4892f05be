// Text set in a TrueType font straight into a one-bit page, as a printed letter scans: glyphs
// rendered without gray levels, words wrapped into lines. Pages whose text is known give a
// reader of the scans something to check its words against.
#pragma once

#include <filesystem>
#include <string_view>

#include "sim/kit/page_generator.h"
#include "sim/services/images/bitonal_page.h"

namespace samples {

// The fonts of Debian's fonts-dejavu-core.
inline constexpr const char* kSerifFont = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
inline constexpr const char* kSansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct TextStyle {
  std::filesystem::path font;
  double points = 11;  // at the page's resolution
};

// Sets the text's words left to right in lines down the area, from its top, a line taking as
// many words as fit its width. A line break in the text ends a line, so an empty line stays
// empty between paragraphs. Every dot of ink lands inside the area. Throws std::runtime_error
// when the font cannot be read (naming its path), for characters other than printable ASCII,
// blanks and line breaks, and when a word or the lines do not fit the area.
void SetText(sim::BitonalPage& page, const sim::PageArea& area, std::string_view text,
             const TextStyle& style);

}  // namespace samples
