// The framework operations the library calls. Library code reaches the framework only
// through these declarations; the stand-in in sim/ implements them.
#pragma once

#include <cstdint>

#include "framework/records.h"

// A window that owns what the framework shows; opaque to the library.
using QelWindow = void*;

// The framework's in-memory image of one page; only the framework looks inside.
struct QelMemImageBody;
using QelMemImage = QelMemImageBody*;

// Last argument of QelDrvLoad: what its second argument is.
inline constexpr std::int32_t kQelLoadByName = 0;  // a driver name
inline constexpr std::int32_t kQelLoadEntry = 1;   // the message entry of an in-process driver

// Setup argument of QelDrvInit for a scanner: whether it may keep pages read ahead.
inline constexpr std::uintptr_t kQelInitClearBuffers = 0;
inline constexpr std::uintptr_t kQelInitKeepBuffers = 2;

// Requests of QelMemGetTagArray: one run list per row, or per column.
inline constexpr std::uint32_t kQelMemRowRuns = 4156;
inline constexpr std::uint32_t kQelMemColumnRuns = 4157;

extern "C" {

// Start and stop.
std::int32_t QelStartup();
std::int32_t QelShutdown();
std::int32_t QelSetAppName(const char* name);
std::int32_t QelMemStartup();
std::int32_t QelMemShutdown();
std::int32_t QelMemSetAppName(const char* name);

// Profile: 0 when the key was found and its value copied (cut to bufferSize - 1).
std::int32_t QelReadProfileString(std::int32_t reserved, const char* section, const char* key,
                                  char* buffer, std::int32_t bufferSize);

// Files: handles are >= 0, failures negative.
std::int32_t QelFileOpen(const char* path, std::int32_t reserved1, std::int32_t reserved2,
                         std::int32_t reserved3, std::int32_t mode);
std::int32_t QelFileCreate(const char* path, std::int32_t reserved1, std::int32_t reserved2,
                           std::int32_t reserved3, std::int32_t attributes);
std::int32_t QelFileSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin);
std::int32_t QelFileWrite(std::int32_t handle, const void* bytes, std::int32_t length);
std::int32_t QelFileClose(std::int32_t handle);

// Error and resource texts: >= 0 when a text was written.
std::int32_t QelErrorText(std::int32_t reserved, const DriverRecord* context, std::int32_t value,
                          char* buffer, std::int32_t bufferSize);
std::int32_t QelLoadString(void* moduleInstance, std::int32_t number, char* buffer,
                           std::int32_t bufferSize);

// Drivers. Negative results are framework error values.
// nameOrEntry is a zero-terminated name (kQelLoadByName) or a QelMessageEntry
// (kQelLoadEntry). 0: loaded. Positive: loaded and already set up; no QelDrvInit follows.
std::int32_t QelDrvLoad(std::int32_t reserved, const void* nameOrEntry, DriverRecord* driver,
                        std::int32_t how);
// setup: kQelInit* for a scanner, 0 for the storage filter, the page's QelMemImage for the
// two image drivers (the address as an integer: they fill or replay that image).
std::int32_t QelDrvInit(DriverRecord* driver, std::int32_t reserved, std::uintptr_t setup);
std::int32_t QelDrvUnload(DriverRecord* driver);

// Compression pipes, described by the text QelMakePipe writes.
std::int32_t QelDrvLoadInitPipe(std::int32_t reserved, const char* pipeText, PipeRecord* pipe,
                                std::int32_t flags);
std::int32_t QelPipeUnload(PipeRecord* pipe);
// The pipe's output goes to that driver until QelPipeDetach.
std::int32_t QelPipeAttach(PipeRecord* pipe, DriverRecord* output);
std::int32_t QelPipeDetach(PipeRecord* pipe);
// Describes a pipe that turns the format `from` into `to`. Each format is a 32-bit count
// followed by that many (tag, value) pairs of 32-bit words. >= 0 with the description in
// pipeText; negative when no pipe can do it or the description does not fit pipeTextSize.
std::int32_t QelMakePipe(const std::int32_t* from, const std::int32_t* to, char* pipeText,
                         std::int32_t pipeTextSize);

// Runs one page from the source driver down its chain; the work buffer is scratch room for
// the run. The result is the page's: 0, or the first failure of the chain.
std::int32_t QelRunZone(DriverRecord* source, void* workBuffer, std::int32_t workBufferSize);
// The framework's handling of a message an in-process driver does not handle itself; such a
// driver passes the message on here unchanged.
std::int32_t QelDrvDefaultMessage(void* context, std::uint32_t code, std::int32_t argument,
                                  void* pointer);

// Memory: null when there is none. Flags are the framework's: bit 0 asks for a zero-filled
// block. The library passes 0 for page blocks (written whole) and 1 for run-list tables.
void* QelAlloc(std::uint32_t size, std::uint32_t flags);
std::int32_t QelFree(void* block);
// Copies count bytes of single-sample image data; what it does to them is the framework's.
std::int32_t QelCopySamples(void* destination, const void* source, std::uint32_t count);

// The number the decimal digits at the start of the text make; the caller handles a sign.
std::int32_t QelTextToNumber(const char* text);

// The framework's current scanner selection, which it may ask the user about in a dialog
// owned by `owner`, and that scanner's driver name (cut to nameSize - 1). 0 when done.
std::int32_t QelSelectScanner(QelWindow owner);
std::int32_t GetScanName(QelWindow owner, char* name, std::int32_t nameSize);

// Memory images. QelMemImageOpen makes an empty image for the capture driver to fill.
std::int32_t QelMemImageOpen(QelMemImage* image);
std::int32_t QelMemImageClose(QelMemImage image);
// One 32-bit value of the image; a rational comes packed, numerator in the low 16 bits and
// denominator in the high 16 bits.
std::int32_t QelMemGetTag(QelMemImage image, std::uint32_t tag, std::int32_t* value);
// Fills `count` entries of `lines` with the run lists of the first count rows or columns
// (kQelMemRowRuns, kQelMemColumnRuns). The lists belong to the image and stay valid until
// it is closed.
std::int32_t QelMemGetTagArray(QelMemImage image, std::uint32_t request,
                               const std::uint16_t** lines, std::int32_t count);

}  // extern "C"
