// MyStore: the framework calls it with the page's tags and data; it keeps the data in blocks
// and answers the rest through the framework's default handling.
#include "pipeline/storage_filter.h"

#include <array>
#include <cstring>

#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "kovzaft2.h"
#include "pipeline/barcode_results.h"
#include "pipeline/page_store.h"

platform::Module* hStoreInstance = nullptr;

namespace {

// Set by an ezone message; until the next set-up every integer tag set is swallowed.
std::int32_t bEzone = 0;

struct StartingTag {
  std::uint16_t tag;
  TiffType type;
  std::int32_t value;
};

constexpr std::array<StartingTag, 20> kStartingTags{{
    {kTagSamplesPerPixel, TiffType::Short, 1},  {kTagBitsPerSample, TiffType::Short, 1},
    {kTagXResolution, TiffType::Rational, 300}, {kTagYResolution, TiffType::Rational, 300},
    {kTagCompression, TiffType::Short, 1},      {kTagT4Options, TiffType::Short, 1},
    {kTagXPosition, TiffType::Short, 0},        {kTagYPosition, TiffType::Short, 0},
    {kTagImageWidth, TiffType::Short, 2544},    {kTagImageLength, TiffType::Short, 3300},
    {kTagPageLevel, TiffType::Short, 1},        {kTagJobSepLevel, TiffType::Short, 0},
    {kTagScannerBarcodes, TiffType::Ascii, 0},  {kTagDataField2Text, TiffType::Ascii, 0},
    {kTagDataField2First, TiffType::Long, 0},   {kTagDataField2Second, TiffType::Long, 0},
    {kTagSendParams, TiffType::Long, 0},        {kTagDataField1, TiffType::Long, 0},
    {kTagPageSide, TiffType::Long, 0},          {kTagPlanarConfiguration, TiffType::Short, 1},
}};

void SetUpTags(const DriverRecord& self) {
  // The sets below come back through this filter: the last page's ezone must not swallow them.
  bEzone = 0;
  for (const StartingTag& start : kStartingTags) {
    QelDrvMessage(self, QelDrvDeclareTag, DeclareTagArg(start.type, start.tag), nullptr);
    switch (start.type) {
      case TiffType::Rational:
        DrvSetRationalTag(self, start.tag, {start.value, 1});
        break;
      case TiffType::Ascii:
        DrvSetStringTag(self, start.tag, "");
        break;
      default:
        DrvSetTag(self, start.tag, start.value);
    }
  }
}

// The integer set messages: swallowed after an ezone, width and length traced.
std::int32_t SetTag(void* context, std::uint32_t message, std::int32_t argument, void* pointer) {
  const std::uint16_t tag = TagOfArg(argument);
  std::int32_t value = 0;
  if (pointer != nullptr) std::memcpy(&value, pointer, sizeof value);
  const bool size = tag == kTagImageWidth || tag == kTagImageLength;
  if (bEzone != 0) {
    if (size) {
      TraceLogInt(tag == kTagImageWidth ? "   data capture got an imagewidth set to %d - ignored"
                                        : "   data capture got an imagelength set to %d - ignored",
                  value);
    }
    return 0;
  }
  if (size) {
    TraceLogInt(tag == kTagImageWidth ? "   data capture got an imagewidth set to %d"
                                      : "   data capture got an imagelength set to %d",
                value);
  }
  return QelDrvDefaultMessage(context, message, argument, pointer);
}

}  // namespace

extern "C" std::int32_t KOVAPI MyStore(void* pContext, std::uint32_t ulMessage,
                                       std::int32_t lArgument, void* pPointer) noexcept {
  void* context = pContext != nullptr ? pContext : pPointer;
  if (context == nullptr) return kErrNoDriver;
  const auto& driver = *static_cast<const DriverContext*>(context);
  switch (ulMessage & 0xFFFFu) {
    case QelDrvSetupTags:
      SetUpTags(driver.self);
      return QelDrvDefaultMessage(pContext, ulMessage, lArgument, pPointer);
    case QelDrvSetTag:
      return SetTag(pContext, ulMessage, lArgument, pPointer);
    case QelDrvEzone:
      TraceLog("   data capture got an ezone");
      bEzone = 1;
      return QelDrvDefaultMessage(pContext, ulMessage, lArgument, pPointer);
    case QelDrvStartPage:
      StartPage(driver);
      TraceLog("   data capture got a start-page");
      return 0;
    case QelDrvData:
      return StoreData(driver, ulMessage, lArgument, pPointer);
    case QelDrvBarcodeFound:
      TakeScannerBarcodes(driver.self);
      return 0;
    case QelDrvGetInstance:
      if (pPointer != nullptr) {
        // The instance pointer itself is the answer.
        // NOLINTNEXTLINE(bugprone-sizeof-expression)
        std::memcpy(pPointer, &hStoreInstance, sizeof hStoreInstance);
      }
      return 0;
    default:
      return QelDrvDefaultMessage(pContext, ulMessage, lArgument, pPointer);
  }
}
