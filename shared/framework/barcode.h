// The barcode-reading component as the library calls it: an in-process COM object. Only the
// positions of the methods in the function table are fixed, so the reserved slots must stay
// where they are; the library never calls them. The interfaces have no virtual destructor
// (it would take table slots): an object goes away through Release.
//
// Methods are stdcall on 32-bit Windows, as COM methods are, and answer 0 on success and a
// negative status on failure. Strings follow the COM rule: an out string is new and the
// caller frees it; an in string stays the caller's.
#pragma once

#include <cstdint>

#include "framework/callconv.h"
#include "framework/qel.h"
#include "platform/platform.h"

// An interface identifier, laid out as the system's GUID.
struct ComGuid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];

  friend constexpr bool operator==(const ComGuid&, const ComGuid&) = default;
};

static_assert(sizeof(ComGuid) == 16);

// IUnknown's identifier is the system's; the other two belong to the component.
inline constexpr ComGuid kIidUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr ComGuid kIidBarcodeReader{
    0x6E1A4C30, 0x58D2, 0x4B7F, {0x9A, 0x31, 0x0C, 0x7E, 0x52, 0xB4, 0x1D, 0x08}};
inline constexpr ComGuid kIidBarcodeResult{
    0x6E1A4C31, 0x58D2, 0x4B7F, {0x9A, 0x31, 0x0C, 0x7E, 0x52, 0xB4, 0x1D, 0x08}};

// QueryInterface's answer for an interface the object does not have (E_NOINTERFACE).
inline constexpr std::int32_t kComNoInterface = static_cast<std::int32_t>(0x80004002u);

// Slots 0 to 2 of every COM interface.
class IComUnknown {
 public:
  virtual std::int32_t QELCALLBACK QueryInterface(const ComGuid& iid, void** object) noexcept = 0;
  virtual std::uint32_t QELCALLBACK AddRef() noexcept = 0;
  // The count left; the object is gone at 0.
  virtual std::uint32_t QELCALLBACK Release() noexcept = 0;

 protected:
  ~IComUnknown() = default;
};

// One barcode found on a page.
class IBarcodeResult : public IComUnknown {
 public:
  virtual std::int32_t QELCALLBACK Reserved3() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved4() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved5() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved6() noexcept = 0;
  // Slot 7: the barcode's text, a new string.
  virtual std::int32_t QELCALLBACK get_Text(platform::ComString* text) noexcept = 0;

 protected:
  ~IBarcodeResult() = default;
};

class IBarcodeReader : public IComUnknown {
 public:
  virtual std::int32_t QELCALLBACK Reserved3() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved4() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved5() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved6() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved7() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved8() noexcept = 0;
  // Slot 9: the component's own modal settings dialog.
  virtual std::int32_t QELCALLBACK ShowPropertySheet() noexcept = 0;
  // Slot 10: all settings as one text, a new string.
  virtual std::int32_t QELCALLBACK GetState(platform::ComString* state) noexcept = 0;
  // Slot 11: settings from a text GetState gave; a refused text leaves them unchanged.
  virtual std::int32_t QELCALLBACK PutState(platform::ComString state) noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved12() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved13() noexcept = 0;
  // Slot 14: reads one page from the source driver and looks for barcodes on it.
  virtual std::int32_t QELCALLBACK ZAFTPipePull(DriverRecord* source) noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved15() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved16() noexcept = 0;
  virtual std::int32_t QELCALLBACK Reserved17() noexcept = 0;
  // Slot 18: result 1 to count of the last page read; the caller releases it.
  virtual std::int32_t QELCALLBACK get_Result(std::int32_t oneBasedNumber,
                                              IBarcodeResult** result) noexcept = 0;
  // Slot 19: barcodes found on the last page read.
  virtual std::int32_t QELCALLBACK get_barcoderesultcount(std::int32_t* count) noexcept = 0;

 protected:
  ~IBarcodeReader() = default;
};

extern "C" {

// The component module's creation entry: a new reader with one reference, or a negative
// status and null. The component is not registered with the system's COM, so the library
// creates it here rather than through the system.
std::int32_t QelIpCreateInstance(IBarcodeReader** reader);

// The component module's string allocator: the system's automation strings on Windows, the
// platform layer's elsewhere, so that both sides of the interface free each other's strings.
platform::ComString QelIpAllocString(const platform::ComChar* text, std::uint32_t length);
void QelIpFreeString(platform::ComString text);
std::uint32_t QelIpStringLength(platform::ComString text);

}  // extern "C"
