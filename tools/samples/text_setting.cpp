#include "tools/samples/text_setting.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace samples {

namespace {

constexpr char kFirst = ' ';
constexpr char kLast = '~';

// A glyph's image and where it sits against the pen, in dots.
struct Glyph {
  std::int32_t left = 0;  // of the image, right of the pen
  std::int32_t top = 0;   // of the image, above the baseline
  std::int32_t width = 0;
  std::int32_t rows = 0;
  std::int32_t advance = 0;  // the pen's step to the next glyph
  std::size_t rowBytes = 0;
  std::vector<std::uint8_t> bits;  // most significant bit first, 1 = ink
};

struct LibraryDone {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDone {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};

std::int32_t Dots(FT_Pos sixtyFourths) {
  return static_cast<std::int32_t>((sixtyFourths + 32) / 64);
}

std::int32_t DpiOf(const QelRational& resolution) {
  if (resolution.lNumerator <= 0 || resolution.lDenominator <= 0) {
    throw std::runtime_error("cannot set text on a page without a resolution");
  }
  return static_cast<std::int32_t>(
      std::lround(static_cast<double>(resolution.lNumerator) / resolution.lDenominator));
}

// The printable ASCII glyphs of a font at one size, rendered once: a page sets thousands.
class Font {
 public:
  Font(const TextStyle& style, std::int32_t xDpi, std::int32_t yDpi) {
    const std::string path = style.font.string();
    if (!std::filesystem::is_regular_file(style.font)) {
      throw std::runtime_error("no font " + path + " (Debian's fonts-dejavu-core has it)");
    }
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("FreeType does not start");
    const std::unique_ptr<FT_LibraryRec_, LibraryDone> libraryOwner(library);
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
      throw std::runtime_error("cannot read the font " + path);
    }
    const std::unique_ptr<FT_FaceRec_, FaceDone> faceOwner(face);
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(style.points * 64)),
                         static_cast<FT_UInt>(xDpi), static_cast<FT_UInt>(yDpi)) != 0) {
      throw std::runtime_error("cannot size the font " + path);
    }
    const FT_Size_Metrics& metrics = face->size->metrics;
    ascent = Dots(metrics.ascender);
    lineStep = Dots(metrics.height);
    for (char c = kFirst; c <= kLast; ++c) {
      const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(c));
      // Hinted for one bit and rendered without gray levels: the strokes a printer makes.
      if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0 ||
          FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0 || face->glyph->bitmap.pitch < 0) {
        throw std::runtime_error(std::string("the font ") + path + " has no glyph for '" + c + "'");
      }
      const FT_GlyphSlotRec_* slot = face->glyph;
      Glyph& glyph = glyphs_[static_cast<std::size_t>(c - kFirst)];
      glyph.left = slot->bitmap_left;
      glyph.top = slot->bitmap_top;
      glyph.width = static_cast<std::int32_t>(slot->bitmap.width);
      glyph.rows = static_cast<std::int32_t>(slot->bitmap.rows);
      glyph.advance = Dots(slot->advance.x);
      glyph.rowBytes = static_cast<std::size_t>(slot->bitmap.pitch);
      glyph.bits.assign(slot->bitmap.buffer,
                        slot->bitmap.buffer + glyph.rowBytes * slot->bitmap.rows);
    }
  }

  const Glyph& operator[](char c) const { return glyphs_[static_cast<std::size_t>(c - kFirst)]; }

  std::int32_t ascent = 0;    // above the baseline
  std::int32_t lineStep = 0;  // baseline to baseline

 private:
  std::array<Glyph, kLast - kFirst + 1> glyphs_;
};

// In dots; right and bottom outside.
struct Box {
  std::int32_t left, top, right, bottom;
};

Box BoxOf(const sim::BitonalPage& page, const sim::PageArea& area, std::int32_t xDpi,
          std::int32_t yDpi) {
  const auto at = [](double inches, std::int32_t dpi, std::int32_t limit) {
    return static_cast<std::int32_t>(
        std::clamp(std::round(inches * dpi), 0.0, static_cast<double>(limit)));
  };
  return {at(area.left, xDpi, page.width), at(area.top, yDpi, page.height),
          at(area.left + area.width, xDpi, page.width),
          at(area.top + area.height, yDpi, page.height)};
}

void Draw(sim::BitonalPage& page, const Glyph& glyph, std::int32_t pen, std::int32_t baseline,
          const Box& box, std::string_view word) {
  if (glyph.rows == 0 || glyph.width == 0) return;
  const std::int32_t x = pen + glyph.left;
  const std::int32_t y = baseline - glyph.top;
  if (x < box.left || y < box.top || x + glyph.width > box.right || y + glyph.rows > box.bottom) {
    throw std::runtime_error("the text does not fit its area at \"" + std::string(word) + "\"");
  }
  for (std::int32_t row = 0; row < glyph.rows; ++row) {
    const std::uint8_t* bits = glyph.bits.data() + static_cast<std::size_t>(row) * glyph.rowBytes;
    const auto ink = [bits](std::int32_t at) { return (bits[at / 8] >> (7 - at % 8) & 1) != 0; };
    for (std::int32_t from = 0; from < glyph.width;) {
      if (!ink(from)) {
        ++from;
        continue;
      }
      std::int32_t to = from + 1;
      while (to < glyph.width && ink(to)) ++to;
      sim::FillSpan(page, y + row, x + from, x + to);
      from = to;
    }
  }
}

// How far the word's ink reaches left and right of where its pen starts: some glyphs overhang.
std::pair<std::int32_t, std::int32_t> Reach(const Font& font, std::string_view word) {
  std::int32_t pen = 0;
  std::int32_t left = 0;
  std::int32_t right = 0;
  for (const char c : word) {
    const Glyph& glyph = font[c];
    if (glyph.width > 0) {
      left = std::min(left, pen + glyph.left);
      right = std::max(right, pen + glyph.left + glyph.width);
    }
    pen += glyph.advance;
  }
  return {left, right};
}

}  // namespace

void SetText(sim::BitonalPage& page, const sim::PageArea& area, std::string_view text,
             const TextStyle& style) {
  for (const char c : text) {
    if (c != '\n' && (c < kFirst || c > kLast)) {
      throw std::runtime_error("cannot set the character " +
                               std::to_string(static_cast<unsigned char>(c)) + " in sample text");
    }
  }
  const std::int32_t xDpi = DpiOf(page.xResolution);
  const std::int32_t yDpi = DpiOf(page.yResolution);
  const Font font(style, xDpi, yDpi);
  const Box box = BoxOf(page, area, xDpi, yDpi);

  std::int32_t baseline = box.top + font.ascent;
  for (std::string_view rest = text;;) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    std::int32_t pen = box.left;
    bool first = true;
    for (std::size_t at = line.find_first_not_of(' '); at != std::string_view::npos;) {
      const std::size_t after = std::min(line.find(' ', at), line.size());
      const std::string_view word = line.substr(at, after - at);
      const auto [left, right] = Reach(font, word);
      std::int32_t start = pen + font[' '].advance;
      if (first || start + right > box.right) {
        if (!first) baseline += font.lineStep;
        start = box.left - left;  // a line's ink starts at the area's edge
      }
      for (const char c : word) {
        Draw(page, font[c], start, baseline, box, word);
        start += font[c].advance;
      }
      pen = start;
      first = false;
      at = line.find_first_not_of(' ', after);
    }
    if (end == std::string_view::npos) break;
    baseline += font.lineStep;
    rest.remove_prefix(end + 1);
  }
}

}  // namespace samples
