#include "tools/kovscan/jpeg_in_tiff.h"

#include <jpeglib.h>
#include <tiffio.h>

#include <csetjmp>
#include <cstdio>
#include <string>

namespace kovscan {

namespace {

// libjpeg ends a failed call through error_exit; a long jump back to the caller's setjmp, in
// a frame that holds nothing to destroy, is its documented way out.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf failed;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void FailJpeg(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->failed, 1);
}

void IgnoreWarning(j_common_ptr, int) {}

// False, with libjpeg's message, when the data are no JPEG stream.
bool ReadHeader(jpeg_decompress_struct& info, JpegErrors& errors,
                std::span<const std::uint8_t> data) {
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = FailJpeg;
  errors.manager.emit_message = IgnoreWarning;
  jpeg_create_decompress(&info);
  if (setjmp(errors.failed) != 0) return false;
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  return true;
}

bool SampledOnce(const jpeg_component_info& component) {
  return component.h_samp_factor == 1 && component.v_samp_factor == 1;
}

// TIFF's YCbCr subsampling: 1, 2 or 4 luma samples a chroma sample, no more down than across.
bool TiffSubsampling(const jpeg_component_info& luma) {
  const auto allowed = [](int factor) { return factor == 1 || factor == 2 || factor == 4; };
  return allowed(luma.h_samp_factor) && allowed(luma.v_samp_factor) &&
         luma.v_samp_factor <= luma.h_samp_factor;
}

// What of the stream a TIFF cannot hold; empty when it holds it, as `image` describes.
std::string Unfit(const jpeg_decompress_struct& info, TiffImage& image) {
  if (info.data_precision != 8) return std::to_string(info.data_precision) + "-bit samples";
  if (info.progressive_mode) return "progressive coding";
  image.width = info.image_width;
  image.length = info.image_height;
  image.samplesPerPixel = static_cast<std::uint16_t>(info.num_components);
  const jpeg_component_info* components = info.comp_info;
  if (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1 &&
      SampledOnce(components[0])) {
    image.photometric = PHOTOMETRIC_MINISBLACK;
    return {};
  }
  const bool wholeChroma =
      info.num_components == 3 && SampledOnce(components[1]) && SampledOnce(components[2]);
  if (info.jpeg_color_space == JCS_RGB && wholeChroma && SampledOnce(components[0])) {
    image.photometric = PHOTOMETRIC_RGB;
    return {};
  }
  if (info.jpeg_color_space == JCS_YCbCr && wholeChroma && TiffSubsampling(components[0])) {
    image.photometric = PHOTOMETRIC_YCBCR;
    image.subsampling = {static_cast<std::uint16_t>(components[0].h_samp_factor),
                         static_cast<std::uint16_t>(components[0].v_samp_factor)};
    return {};
  }
  return "colours or sampling TIFF does not describe (" + std::to_string(info.num_components) +
         " components)";
}

}  // namespace

TiffImage DescribeJpeg(std::span<const std::uint8_t> data) {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  TiffImage image;
  const std::string unfit =
      ReadHeader(info, errors, data) ? Unfit(info, image) : std::string(errors.message);
  jpeg_destroy_decompress(&info);
  if (!unfit.empty()) {
    throw std::runtime_error("the page's JPEG data cannot go into a TIFF document: " + unfit);
  }
  return image;
}

}  // namespace kovscan
