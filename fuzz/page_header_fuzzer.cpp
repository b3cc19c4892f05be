// The page header built from whatever the scanner and the storage filter answer: every tag
// the header reads, present or not, in any type and with any value, the scanner's barcode
// text, and the page's size, sequence number and patch result.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/control_block.h"
#include "framework/driver_calls.h"
#include "framework/qel.h"
#include "framework/tags.h"
#include "pipeline/barcode_results.h"
#include "pipeline/page_header.h"
#include "sim/kit/kit.h"

namespace {

constexpr std::initializer_list<std::uint16_t> kScannerTags = {
    tag_scantype,       kTagSendParams, kTagDataField2Second, kTagDataField2First,
    kTagDataField2Text, kTagDataField1, kTagPageLevel,        kTagPageSide};
constexpr std::initializer_list<std::uint16_t> kStorageTags = {
    kTagPageLevel,     kTagJobSepLevel,     kTagXResolution,         kTagPageSide,
    kTagBitsPerSample, kTagSamplesPerPixel, kTagCompression,         kTagT4Options,
    kTagImageWidth,    kTagImageLength,     kTagPlanarConfiguration, kTagScannerBarcodes};

void DeclareTag(FuzzedDataProvider& input, sim::DriverDesign& design, std::uint16_t tag) {
  switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0:
      return;  // the driver does not know it
    case 1:
      design.Integer(tag, input.ConsumeIntegral<std::int32_t>(), {}, {}, TiffType::Byte);
      return;
    case 2:
      design.Integer(tag, input.ConsumeIntegral<std::int32_t>(), {}, {}, TiffType::Short);
      return;
    case 3:
      design.Integer(tag, input.ConsumeIntegral<std::int32_t>(), {}, {}, TiffType::Long);
      return;
    case 4:
      design.Rational(
          tag, {input.ConsumeIntegral<std::int32_t>(), input.ConsumeIntegral<std::int32_t>()});
      return;
    default:
      design.Text(tag, input.ConsumeRandomLengthString(400));
      return;
  }
}

bool LoadDesign(FuzzedDataProvider& input, const char* name,
                std::initializer_list<std::uint16_t> tags, DriverRecord& driver) {
  sim::DriverDesign design(name);
  for (std::uint16_t tag : tags) DeclareTag(input, design, tag);
  sim::RegisterDriver(design);
  return QelDrvLoad(0, name, &driver, kQelLoadByName) >= 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  sim::ResetDrivers();
  if (!LoadDesign(input, "FZSCAN", kScannerTags, SCB.ScannerDriver) ||
      !LoadDesign(input, "FZSTORE", kStorageTags, SCB.StorageDriver)) {
    std::abort();  // kit drivers always load
  }
  SCB.ulPageSize = input.ConsumeIntegral<std::uint32_t>();
  SCB.lSeqNumber = input.ConsumeIntegral<std::int32_t>();
  SCB.bUseOldAddressOffset = input.ConsumeBool();
  lPatchResult = input.ConsumeIntegralInRange(0, 3);

  ClearBarcodeTable();
  TakeScannerBarcodes(SCB.StorageDriver);
  KOV_PAGEHEADER header;
  std::memset(&header, 0xA5, sizeof header);
  BuildPageHeader(header);
  // Every text field ends inside its field.
  auto ends = [](const char* field, std::size_t size) {
    return std::memchr(field, 0, size) != nullptr;
  };
  std::int32_t sendParams = 0;
  if (DrvGetTag(SCB.ScannerDriver, kTagSendParams, sendParams) == 0 &&
      (!ends(header.szDf1Data, sizeof header.szDf1Data) ||
       !ends(header.szDf2Data, sizeof header.szDf2Data))) {
    std::abort();
  }
  for (const KOV_BARCODE& entry : header.aBarcodes) {
    if (!ends(entry.szText, sizeof entry.szText)) std::abort();
  }

  QelDrvUnload(&SCB.StorageDriver);
  QelDrvUnload(&SCB.ScannerDriver);
  return 0;
}
