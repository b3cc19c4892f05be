// Driver message codes: those the library sends to drivers and those its storage filter
// receives. A message is (instance, code, argument, pointer) and answers 0 on success or a
// negative framework error value. The argument is 32 bits wide and cannot hold an address
// on a 64-bit build, so every record, window, callback and buffer travels in the pointer;
// the notes below say what each message carries where.
#pragma once

#include <cstdint>

#include "framework/callconv.h"

// Chain building. Pointer: the next stage (DriverRecord* or PipeRecord*), null to disconnect;
// argument 0. The chain's source takes QelDrvSetOutput, a driver inside the chain
// QelDrvSetFilterOutput.
inline constexpr std::uint32_t QelDrvSetOutput = 0x110;
inline constexpr std::uint32_t QelDrvSetFilterOutput = 0x111;

// The driver's own settings dialog, modal. Pointer: the owner window; argument 0.
inline constexpr std::uint32_t QelDrvShowDialog = 0x120;

// Pointer: a void* that receives the module instance of the driver's code.
inline constexpr std::uint32_t QelDrvGetInstance = 0x221;

// Tags. The argument is a tag argument (framework/tags.h). Integer values of every width
// travel as std::int32_t, rationals as QelRational, texts zero-terminated.
// Argument: DeclareTagArg (field type and tag); pointer null.
inline constexpr std::uint32_t QelDrvDeclareTag = 0x300;
// Pointer: the std::int32_t, QelRational or text buffer that receives the value. For a text
// the argument carries the buffer's size in its high 16 bits.
inline constexpr std::uint32_t QelDrvGetTag = 0x310;
inline constexpr std::uint32_t QelDrvGetRationalTag = 0x311;
inline constexpr std::uint32_t QelDrvGetStringTag = 0x312;
// Pointer: the text, std::int32_t or QelRational to set; for tag 1299 the QelAbortPoll
// function itself.
inline constexpr std::uint32_t QelDrvSetStringTag = 0x320;
inline constexpr std::uint32_t QelDrvSetTag = 0x321;
inline constexpr std::uint32_t QelDrvSetRationalTag = 0x322;
// Sent before a record is built from scratch; argument 0, pointer null. What it does is the
// driver's: the library relies on nothing from it.
inline constexpr std::uint32_t QelDrvFreshStart = 0x340;
// Pointer: a std::int32_t that receives the tag's TiffType.
inline constexpr std::uint32_t QelDrvGetTagType = 0x342;

// The driver's whole settings as named texts. Argument 0; pointer: QelSaveSettingsArgs or
// QelRestoreSettingsArgs. The driver calls the callback once per setting, passing the record;
// nothing may throw back into it.
inline constexpr std::uint32_t QelDrvSaveSettings = 0x348;
inline constexpr std::uint32_t QelDrvRestoreSettings = 0x349;

struct ParmRecord;
using QelSaveSettingFn = std::int32_t(QELCALLBACK*)(std::int32_t reserved, const char* name,
                                                    const char* value, ParmRecord* record) noexcept;
using QelRestoreSettingFn = std::int32_t(QELCALLBACK*)(std::int32_t reserved, const char* name,
                                                       const char* defaultText, char* buffer,
                                                       std::int32_t bufferSize,
                                                       ParmRecord* record) noexcept;
struct QelSaveSettingsArgs {
  QelSaveSettingFn pfnSave;
  ParmRecord* pRecord;
};
struct QelRestoreSettingsArgs {
  QelRestoreSettingFn pfnRestore;
  ParmRecord* pRecord;
};

// Allowed values. QelDrvGetChoiceCount: argument the tag, pointer a std::int32_t count. The
// others: argument the tag with the choice index in the high 16 bits, pointer as for the
// matching get; a text choice needs a buffer of kStringChoiceSize bytes, since the index
// leaves no room for its size.
inline constexpr std::uint32_t QelDrvGetChoiceCount = 0x410;
inline constexpr std::uint32_t QelDrvGetChoice = 0x411;
inline constexpr std::uint32_t QelDrvGetRationalChoice = 0x412;
inline constexpr std::uint32_t QelDrvGetStringChoice = 0x413;
inline constexpr std::uint16_t kChoiceMaximum = 0xFFFE;  // index of the tag's maximum
inline constexpr std::uint16_t kChoiceStep = 0xFFFD;     // index of the tag's step
inline constexpr std::uint32_t kStringChoiceSize = 256;

// Page flow, as the storage filter receives it.
inline constexpr std::uint32_t QelDrvSetupTags = 0x520;  // declare and set the starting tags
inline constexpr std::uint32_t QelDrvEzone = 0x533;
inline constexpr std::uint32_t QelDrvStartPage = 0x601;
inline constexpr std::uint32_t QelDrvData = 0x602;  // argument: byte count; pointer: the bytes
inline constexpr std::uint32_t QelDrvBarcodeFound = 0x631;  // texts wait in tag 1735

// Scanner control.
// Argument 1; pointer: a std::uint32_t that receives the flags.
inline constexpr std::uint32_t QelDrvPageLoaded = 0x604;
inline constexpr std::uint32_t kPageReady = 2;  // flag of QelDrvPageLoaded: a page waits
// Argument 0, pointer null: drops what the scanner has read ahead.
inline constexpr std::uint32_t scanaheadclear = 0x606;
// Argument 0; pointer: null to send the parameters, or the imprinter text.
inline constexpr std::uint32_t sendparams = 0x60C;
