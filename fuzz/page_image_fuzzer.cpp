// Page image files of any content, read as the virtual scanner reads them: every page a TIFF
// says it holds and one past them, each rendered when it reads. A file may claim any size; the
// reading must stay within what the file and the size limits allow, and leave nothing behind.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/drivers/page_images.h"
#include "sim/drivers/page_rendering.h"

namespace {

// A folder of this process's own for the one file each input becomes.
std::filesystem::path InputFile() {
  static const std::filesystem::path file = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kovimage.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    return std::filesystem::path(pattern) / "page.img";
  }();
  return file;
}

// A small page at the scanner's usual settings: rendering walks the target, not the image.
sim::PageFormat Target(const sim::PageFormat& image, std::int32_t bits) {
  sim::PageFormat target;
  target.width = 64;
  target.length = 48;
  target.bits = bits == 24 ? 8 : bits;
  target.samples = bits == 24 ? 3 : 1;
  target.photometric = bits == 24 ? 2 : bits == 8 ? 1 : 0;
  target.xResolution = {100, 1};
  target.yResolution = {100, 1};
  target.xPosition = image.width / 2;
  return target;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path file = InputFile();
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const auto sources = sim::PageSources({file});
  sim::PageImage image;
  std::vector<std::uint8_t> bytes;
  std::string why;
  for (std::uint32_t page = 0; page <= sources.size(); ++page) {
    if (!sim::ReadPageImage({file, page}, 300, image, bytes, why)) {
      if (why.empty()) abort();                                   // a refusal always says why
      if (!image.rows.empty() || bytes.capacity() != 0) abort();  // and keeps nothing
      continue;
    }
    if (image.rows.size() < image.format.RowBytes() * static_cast<std::size_t>(image.format.length))
      abort();  // fewer rows than the image claims
    for (const std::int32_t bits : {1, 8, 24})
      sim::RenderPageImage(image, Target(image.format, bits));
  }
  return 0;
}
