#include "tools/kovscan/pdf_document.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <stdexcept>
#include <string>
#include <utility>

namespace kovscan {

namespace {

// A page's delivered bytes, read from its file when the writer asks for them.
class DeliveredData : public QPDFObjectHandle::StreamDataProvider {
 public:
  DeliveredData(DeliveredDataReader read, std::filesystem::path file)
      : read_(std::move(read)), file_(std::move(file)) {}
  void provideStreamData(QPDFObjGen const& /*object*/, Pipeline* pipeline) override {
    std::vector<std::uint8_t> bytes = read_(file_);
    pipeline->write(bytes.data(), bytes.size());
    pipeline->finish();
  }

 private:
  DeliveredDataReader read_;
  std::filesystem::path file_;
};

QPDFObjectHandle Name(const char* name) {
  return QPDFObjectHandle::newName(name);
}

QPDFObjectHandle Integer(long long value) {
  return QPDFObjectHandle::newInteger(value);
}

// CCITT parameters as the page's encoding implies: rows each behind an end-of-line code for
// Group 3 (K 0 one-dimensional, K 1 either per row), none for Group 4 (K -1). Black runs
// decode as 0, which a gray image shows black.
QPDFObjectHandle FaxParameters(const PdfImage& page) {
  auto parameters = QPDFObjectHandle::newDictionary();
  const long long k = page.encoding == PdfImage::Encoding::Group4       ? -1
                      : page.encoding == PdfImage::Encoding::Group3TwoD ? 1
                                                                        : 0;
  parameters.replaceKey("/K", Integer(k));
  parameters.replaceKey("/Columns", Integer(page.width));
  parameters.replaceKey("/Rows", Integer(page.length));
  return parameters;
}

QPDFObjectHandle ImageOf(QPDF& pdf, const PdfImage& page, const DeliveredDataReader& read) {
  auto image = QPDFObjectHandle::newStream(&pdf);
  auto dictionary = image.getDict();
  dictionary.replaceKey("/Type", Name("/XObject"));
  dictionary.replaceKey("/Subtype", Name("/Image"));
  dictionary.replaceKey("/Width", Integer(page.width));
  dictionary.replaceKey("/Height", Integer(page.length));
  dictionary.replaceKey("/BitsPerComponent", Integer(page.bitsPerSample));
  dictionary.replaceKey("/ColorSpace",
                        Name(page.samplesPerPixel == 3 ? "/DeviceRGB" : "/DeviceGray"));
  auto filter = QPDFObjectHandle::newNull();
  auto parameters = QPDFObjectHandle::newNull();
  switch (page.encoding) {
    case PdfImage::Encoding::Group3:
    case PdfImage::Encoding::Group3TwoD:
    case PdfImage::Encoding::Group4:
      filter = Name("/CCITTFaxDecode");
      parameters = FaxParameters(page);
      break;
    case PdfImage::Encoding::Jpeg:
      filter = Name("/DCTDecode");
      break;
    case PdfImage::Encoding::Rows:
      // The library's one bit is 1 for black; a gray image's 1 is white.
      if (page.bitsPerSample == 1) {
        dictionary.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0]"));
      }
  }
  image.replaceStreamData(std::make_shared<DeliveredData>(read, page.file), filter, parameters);
  return image;
}

// An object of another PDF in this one; qpdf copies only indirect objects, so a direct
// dictionary or array is rebuilt around copies of what it holds.
QPDFObjectHandle CopyForeign(QPDF& pdf, QPDFObjectHandle object) {
  if (object.isIndirect()) return pdf.copyForeignObject(object);
  if (object.isDictionary()) {
    auto copy = QPDFObjectHandle::newDictionary();
    for (auto& [key, value] : object.ditems()) copy.replaceKey(key, CopyForeign(pdf, value));
    return copy;
  }
  if (object.isArray()) {
    auto copy = QPDFObjectHandle::newArray();
    for (auto& item : object.aitems()) copy.appendItem(CopyForeign(pdf, item));
    return copy;
  }
  return object.shallowCopy();
}

// Where the upright page's points lie on the page as drawn, for a page shown turned `degrees`
// clockwise: the matrix of a `cm` that lays what was made on the upright page over the image.
std::string UprightToDrawn(int degrees, double width, double height) {
  char matrix[96];
  switch (degrees) {
    case 90:
      std::snprintf(matrix, sizeof matrix, "0 1 -1 0 %.4f 0 cm\n", width);
      break;
    case 180:
      std::snprintf(matrix, sizeof matrix, "-1 0 0 -1 %.4f %.4f cm\n", width, height);
      break;
    case 270:
      std::snprintf(matrix, sizeof matrix, "0 -1 1 0 0 %.4f cm\n", height);
      break;
    default:
      return {};
  }
  return matrix;
}

// Draws the text layer's page over the image, scaled to the page's size as it is shown
// (`degrees` turned from `width` by `height` as drawn): its fonts join the page's resources,
// its content streams follow the image's. The layer is read whole here, so its file may go at
// once.
void LayText(QPDF& pdf, const std::filesystem::path& layer, int degrees, double width,
             double height, QPDFObjectHandle& resources, QPDFObjectHandle& contents) {
  QPDF text;
  // A layer cut short is refused, not pieced together from what is left of it.
  text.setAttemptRecovery(false);
  text.processFile(layer.string().c_str());
  text.setImmediateCopyFrom(true);
  const auto pages = QPDFPageDocumentHelper(text).getAllPages();
  if (pages.size() != 1)
    throw std::runtime_error("the text layer " + layer.string() + " is not one page");
  QPDFPageObjectHelper page = pages.front();
  const QPDFObjectHandle::Rectangle box = page.getMediaBox().getArrayAsRectangle();
  const double textWidth = box.urx - box.llx;
  const double textHeight = box.ury - box.lly;
  if (!(textWidth > 0 && textHeight > 0)) {
    throw std::runtime_error("the text layer " + layer.string() + " has no size");
  }
  const bool sideways = degrees % 180 != 0;
  const double shownWidth = sideways ? height : width;
  const double shownHeight = sideways ? width : height;
  QPDFObjectHandle fonts = page.getObjectHandle().getKey("/Resources").getKey("/Font");
  if (fonts.isDictionary()) resources.replaceKey("/Font", CopyForeign(pdf, fonts));
  char scale[96];
  std::snprintf(scale, sizeof scale, "%.6f 0 0 %.6f %.4f %.4f cm\n", shownWidth / textWidth,
                shownHeight / textHeight, -box.llx * shownWidth / textWidth,
                -box.lly * shownHeight / textHeight);
  contents.appendItem(QPDFObjectHandle::newStream(
      &pdf, "q " + UprightToDrawn(degrees, width, height) + scale));
  QPDFObjectHandle textContents = CopyForeign(pdf, page.getObjectHandle().getKey("/Contents"));
  if (textContents.isArray()) {
    for (auto& stream : textContents.aitems()) contents.appendItem(stream);
  } else if (textContents.isStream()) {
    contents.appendItem(textContents);
  }
  contents.appendItem(QPDFObjectHandle::newStream(&pdf, "Q\n"));
}

// A side in points at its resolution (72 dpi when unknown).
double Points(std::uint32_t dots, double dpi) {
  return dots * 72.0 / (dpi > 0 ? dpi : 72.0);
}

}  // namespace

struct PdfDocument::State {
  QPDF pdf;
  DeliveredDataReader read;
};

bool PdfDocument::Available() {
  return true;
}

PdfDocument::PdfDocument(DeliveredDataReader read) : state_(std::make_unique<State>()) {
  state_->read = std::move(read);
  state_->pdf.emptyPDF();
}

PdfDocument::~PdfDocument() = default;

void PdfDocument::Add(const PdfImage& image) {
  QPDF& pdf = state_->pdf;
  const double width = Points(image.width, image.xDpi);
  const double height = Points(image.length, image.yDpi);
  char drawing[96];
  std::snprintf(drawing, sizeof drawing, "q %.4f 0 0 %.4f 0 0 cm /Im0 Do Q\n", width, height);

  auto images = QPDFObjectHandle::newDictionary();
  images.replaceKey("/Im0", ImageOf(pdf, image, state_->read));
  auto resources = QPDFObjectHandle::newDictionary();
  resources.replaceKey("/XObject", images);
  auto page = QPDFObjectHandle::newDictionary();
  page.replaceKey("/Type", Name("/Page"));
  page.replaceKey("/MediaBox",
                  QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
  auto contents = QPDFObjectHandle::newArray();
  contents.appendItem(QPDFObjectHandle::newStream(&pdf, drawing));
  if (!image.textLayer.empty()) {
    LayText(pdf, image.textLayer, image.degrees, width, height, resources, contents);
  }
  if (image.degrees != 0) page.replaceKey("/Rotate", Integer(image.degrees));
  page.replaceKey("/Resources", resources);
  page.replaceKey("/Contents", contents);
  QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
}

void PdfDocument::Write(const std::filesystem::path& path) {
  // The writer keeps the name it is given until it is done.
  const std::string name = path.string();
  // Our own stream, closed here: the writer leaves a failure to write its last buffer unseen,
  // which a full disk turns into a PDF cut short.
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error(std::strerror(errno));
  errno = 0;
  try {
    QPDFWriter writer(state_->pdf, name.c_str(), file, false);
    writer.write();
  } catch (...) {
    std::fclose(file);
    throw;
  }
  // A write the writer let pass left the stream's error mark, and its reason in errno.
  const int writeError = errno;
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const bool clean = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (flushed && clean && closed) return;
  const int error = !flushed ? flushError : !clean ? writeError : errno;
  throw std::runtime_error(std::strerror(error != 0 ? error : EIO));
}

}  // namespace kovscan
