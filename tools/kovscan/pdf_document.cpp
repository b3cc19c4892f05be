#include "tools/kovscan/pdf_document.h"

#include <cstdio>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <string>
#include <utility>
#include <vector>

#include "tools/kovscan/page_files.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// A page's delivered bytes, read from its file when the writer asks for them.
class DeliveredData : public QPDFObjectHandle::StreamDataProvider {
 public:
  explicit DeliveredData(std::filesystem::path file) : file_(std::move(file)) {}
  void provideStreamData(QPDFObjGen const& /*object*/, Pipeline* pipeline) override {
    std::vector<std::uint8_t> bytes = ReadDeliveredData(file_);
    pipeline->write(bytes.data(), bytes.size());
    pipeline->finish();
  }

 private:
  std::filesystem::path file_;
};

QPDFObjectHandle Name(const char* name) {
  return QPDFObjectHandle::newName(name);
}

QPDFObjectHandle Integer(long long value) {
  return QPDFObjectHandle::newInteger(value);
}

// CCITT parameters as the page's code implies: rows each behind an end-of-line code for
// Group 3 (K 0 one-dimensional, K 1 either per row), none for Group 4 (K -1). Black runs
// decode as 0, which a gray image shows black.
QPDFObjectHandle FaxParameters(const KOV_PAGEHEADER& header, const PageLayout& layout) {
  auto parameters = QPDFObjectHandle::newDictionary();
  const long long k = header.usCompression == SCAN_COMP_G4      ? -1
                      : header.usCompression == SCAN_COMP_G3_2D ? 1
                                                                : 0;
  parameters.replaceKey("/K", Integer(k));
  parameters.replaceKey("/Columns", Integer(layout.width));
  parameters.replaceKey("/Rows", Integer(layout.length));
  return parameters;
}

QPDFObjectHandle ImageOf(QPDF& pdf, const KOV_PAGEHEADER& header,
                         const std::filesystem::path& pageFile) {
  const PageLayout layout = LayoutOf(header);
  auto image = QPDFObjectHandle::newStream(&pdf);
  auto dictionary = image.getDict();
  dictionary.replaceKey("/Type", Name("/XObject"));
  dictionary.replaceKey("/Subtype", Name("/Image"));
  dictionary.replaceKey("/Width", Integer(layout.width));
  dictionary.replaceKey("/Height", Integer(layout.length));
  dictionary.replaceKey("/BitsPerComponent", Integer(layout.bitsPerSample));
  dictionary.replaceKey("/ColorSpace",
                        Name(layout.samplesPerPixel == 3 ? "/DeviceRGB" : "/DeviceGray"));
  auto filter = QPDFObjectHandle::newNull();
  auto parameters = QPDFObjectHandle::newNull();
  switch (header.usCompression) {
    case SCAN_COMP_G3_1D:
    case SCAN_COMP_G3_2D:
    case SCAN_COMP_G4:
      filter = Name("/CCITTFaxDecode");
      parameters = FaxParameters(header, layout);
      break;
    case SCAN_COMP_JPEG:
      filter = Name("/DCTDecode");
      break;
    default:
      // The library's one bit is 1 for black; a gray image's 1 is white.
      if (layout.bitsPerSample == 1) {
        dictionary.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0]"));
      }
  }
  image.replaceStreamData(std::make_shared<DeliveredData>(pageFile), filter, parameters);
  return image;
}

// The page's side in points at its resolution (72 dpi when the header has none).
double Points(std::uint32_t dots, double dpi) {
  return dots * 72.0 / (dpi > 0 ? dpi : 72.0);
}

}  // namespace

bool PdfDocument::Available() {
  return true;
}

struct PdfDocument::State {
  QPDF pdf;
};

PdfDocument::PdfDocument() : state_(std::make_unique<State>()) {
  state_->pdf.emptyPDF();
}

PdfDocument::~PdfDocument() = default;

void PdfDocument::Add(const KOV_PAGEHEADER& header, const std::filesystem::path& pageFile) {
  const PageLayout layout = LayoutOf(header);
  const double width = Points(layout.width, layout.xDpi);
  const double height = Points(layout.length, layout.yDpi);
  char drawing[96];
  std::snprintf(drawing, sizeof drawing, "q %.4f 0 0 %.4f 0 0 cm /Im0 Do Q\n", width, height);

  auto resources = QPDFObjectHandle::newDictionary();
  auto images = QPDFObjectHandle::newDictionary();
  images.replaceKey("/Im0", ImageOf(state_->pdf, header, pageFile));
  resources.replaceKey("/XObject", images);
  auto page = QPDFObjectHandle::newDictionary();
  page.replaceKey("/Type", Name("/Page"));
  page.replaceKey("/MediaBox",
                  QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
  page.replaceKey("/Resources", resources);
  page.replaceKey("/Contents", QPDFObjectHandle::newStream(&state_->pdf, drawing));
  QPDFPageDocumentHelper(state_->pdf)
      .addPage(QPDFPageObjectHelper(state_->pdf.makeIndirectObject(page)), false);
}

void PdfDocument::Write(const std::filesystem::path& path) {
  WholeFile file(path);
  try {
    // The writer keeps the name it is given until it is done.
    const std::string temporary = file.Temporary().string();
    QPDFWriter writer(state_->pdf, temporary.c_str());
    writer.write();
  } catch (const std::exception& failure) {
    throw FileError("cannot write " + path.string() + ": " + failure.what());
  }
  file.Commit();
}

}  // namespace kovscan
