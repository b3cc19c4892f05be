// JPEG pages in TIFF documents: each page's JPEG stream kept as delivered, which libtiff's own
// tools read cleanly and decode to what libjpeg makes of the page file.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tools/kovscan/jpeg_in_tiff.h"
#include "tools/kovscan/scan_command.h"
#include "tools/samples/sample_batch.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

// The JPEG stream decoded by libjpeg: gray, or RGB for colour.
Bytes JpegSamples(const Bytes& data) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&info);
  const std::size_t rowBytes =
      std::size_t{info.output_width} * static_cast<std::size_t>(info.output_components);
  Bytes samples(rowBytes * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = samples.data() + info.output_scanline * rowBytes;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return samples;
}

// One directory as stored (its one strip raw) and as libtiff decodes it (YCbCr as RGB).
struct Directory {
  Bytes raw;
  Bytes decoded;
};

std::vector<Directory> TiffDirectories(const std::filesystem::path& path) {
  std::vector<Directory> directories;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) return directories;
  do {
    Directory directory;
    directory.raw.resize(static_cast<std::size_t>(TIFFRawStripSize(tiff, 0)));
    TIFFReadRawStrip(tiff, 0, directory.raw.data(), static_cast<tmsize_t>(directory.raw.size()));
    std::uint16_t photometric = 0;
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    if (photometric == PHOTOMETRIC_YCBCR) {
      TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    std::uint32_t length = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length);
    const auto rowBytes = static_cast<std::size_t>(TIFFScanlineSize(tiff));
    directory.decoded.resize(rowBytes * length);
    for (std::uint32_t row = 0; row < length; ++row) {
      if (TIFFReadScanline(tiff, directory.decoded.data() + row * rowBytes, row) < 0) break;
    }
    directories.push_back(std::move(directory));
  } while (TIFFReadDirectory(tiff) == 1);
  TIFFClose(tiff);
  return directories;
}

class JpegDocuments : public kovscan_test::ScratchFolderTest {};

TEST_F(JpegDocuments, HoldEachPagesJpegAsDeliveredDecodingAsLibjpegDoes) {
  samples::WriteSampleBatch(folder);
  // Gray in TIFF documents alone; colour (YCbCr, its colour sampled every other dot) in both.
  struct Run {
    std::string bits;
    std::string format;
  };
  for (const Run& run : {Run{"8", "tiff"}, Run{"24", "both"}}) {
    SCOPED_TRACE(run.bits + " bits");
    const std::filesystem::path out = folder / ("bits-" + run.bits);
    // Four pages: the fourth is a separator sheet, which starts the second document.
    const auto [status, output] = kovscan_test::RunKovscan(
        "--profile " + (folder / "zaft.ini").string() +
        " scan --quiet --patches --pages 4 --compression jpeg --dpi 100 --bits " + run.bits +
        " --format " + run.format + " --out " + out.string());
    ASSERT_EQ(status, kovscan::kSuccess) << output;
    std::ifstream file(out / "manifest.json");
    const auto manifest = nlohmann::json::parse(file);
    ASSERT_EQ(manifest["documents"].size(), 2u);
    for (const auto& document : manifest["documents"]) {
      ASSERT_TRUE(document["file"].is_string()) << document.dump();
      const std::filesystem::path tif = out / document["file"].get<std::string>();
      const auto [read, problems] = kovscan_test::RunProgram("tiffinfo -D " + tif.string());
      EXPECT_EQ(read, 0) << problems;
      EXPECT_EQ(problems.find("rror"), std::string::npos) << problems;
      EXPECT_EQ(problems.find("arning"), std::string::npos) << problems;
      const std::vector<Directory> directories = TiffDirectories(tif);
      ASSERT_EQ(directories.size(), document["pages"].size());
      for (std::size_t at = 0; at < directories.size(); ++at) {
        const auto& page = manifest["pages"][document["pages"][at].get<std::size_t>() - 1];
        const Bytes delivered = FileBytes(out / page["file"].get<std::string>());
        EXPECT_TRUE(directories[at].raw == delivered) << page["file"];
        EXPECT_TRUE(directories[at].decoded == JpegSamples(delivered)) << page["file"];
      }
      if (run.format == "both") {
        EXPECT_TRUE(std::filesystem::exists(out / document["pdf"].get<std::string>()));
      }
    }
  }
}

// A JPEG stream TIFF cannot hold as it is, or no JPEG at all, is refused with the reason.
TEST_F(JpegDocuments, ProgressiveJpegIsNotTakenIntoATiff) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = 16;
  info.image_height = 16;
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  Bytes row(16, 128);
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows = row.data();
    jpeg_write_scanlines(&info, &rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  const Bytes progressive(buffer, buffer + size);
  std::free(buffer);
  try {
    kovscan::DescribeJpeg(progressive);
    ADD_FAILURE() << "taken";
  } catch (const std::runtime_error& refusal) {
    EXPECT_NE(std::string(refusal.what()).find("progressive coding"), std::string::npos)
        << refusal.what();
  }
  EXPECT_THROW(kovscan::DescribeJpeg(Bytes{1, 2, 3}), std::runtime_error);
}

}  // namespace
