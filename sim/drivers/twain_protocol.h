// The part of TWAIN's application interface the TWAIN driver uses: its types, constants and
// structures, laid out as the data source manager reads them (2-byte packing; handles and
// memory references as wide as a pointer, so the 32-bit and x64 managers each read their own).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/drivers/twain_containers.h"

namespace sim::twain {

using Handle = void*;  // a global memory handle
using MemRef = void*;

inline constexpr std::uint32_t kDgControl = 0x0001;
inline constexpr std::uint32_t kDgImage = 0x0002;

inline constexpr std::uint16_t kDatCapability = 0x0001;
inline constexpr std::uint16_t kDatEvent = 0x0002;
inline constexpr std::uint16_t kDatIdentity = 0x0003;
inline constexpr std::uint16_t kDatParent = 0x0004;
inline constexpr std::uint16_t kDatPendingXfers = 0x0005;
inline constexpr std::uint16_t kDatSetupMemXfer = 0x0006;
inline constexpr std::uint16_t kDatStatus = 0x0008;
inline constexpr std::uint16_t kDatUserInterface = 0x0009;
inline constexpr std::uint16_t kDatImageInfo = 0x0101;
inline constexpr std::uint16_t kDatImageLayout = 0x0102;
inline constexpr std::uint16_t kDatImageMemXfer = 0x0103;
inline constexpr std::uint16_t kDatImageNativeXfer = 0x0104;

inline constexpr std::uint16_t kMsgGet = 0x0001;
inline constexpr std::uint16_t kMsgGetFirst = 0x0004;
inline constexpr std::uint16_t kMsgGetNext = 0x0005;
inline constexpr std::uint16_t kMsgSet = 0x0006;
inline constexpr std::uint16_t kMsgReset = 0x0007;
inline constexpr std::uint16_t kMsgXferReady = 0x0101;
inline constexpr std::uint16_t kMsgCloseDsReq = 0x0102;
inline constexpr std::uint16_t kMsgCloseDsOk = 0x0103;
inline constexpr std::uint16_t kMsgOpenDsm = 0x0301;
inline constexpr std::uint16_t kMsgCloseDsm = 0x0302;
inline constexpr std::uint16_t kMsgOpenDs = 0x0401;
inline constexpr std::uint16_t kMsgCloseDs = 0x0402;
inline constexpr std::uint16_t kMsgDisableDs = 0x0501;
inline constexpr std::uint16_t kMsgEnableDs = 0x0502;
inline constexpr std::uint16_t kMsgEnableDsUiOnly = 0x0503;
inline constexpr std::uint16_t kMsgProcessEvent = 0x0601;
inline constexpr std::uint16_t kMsgEndXfer = 0x0701;

// Return codes.
inline constexpr std::uint16_t kRcSuccess = 0;
inline constexpr std::uint16_t kRcFailure = 1;
inline constexpr std::uint16_t kRcCheckStatus = 2;
inline constexpr std::uint16_t kRcCancel = 3;
inline constexpr std::uint16_t kRcDsEvent = 4;
inline constexpr std::uint16_t kRcXferDone = 6;

// Condition codes, the status of a failure.
inline constexpr std::uint16_t kCcBummer = 1;
inline constexpr std::uint16_t kCcLowMemory = 2;
inline constexpr std::uint16_t kCcOperationError = 5;
inline constexpr std::uint16_t kCcBadValue = 10;
inline constexpr std::uint16_t kCcSeqError = 11;
inline constexpr std::uint16_t kCcDenied = 16;
inline constexpr std::uint16_t kCcPaperJam = 20;
inline constexpr std::uint16_t kCcPaperDoubleFeed = 21;
inline constexpr std::uint16_t kCcCheckDeviceOnline = 23;
inline constexpr std::uint16_t kCcInterlock = 24;  // a cover or door open
inline constexpr std::uint16_t kCcNoMedia = 29;

// Capabilities.
inline constexpr std::uint16_t kICapPixelType = 0x0101;
inline constexpr std::uint16_t kICapUnits = 0x0102;
inline constexpr std::uint16_t kICapXferMech = 0x0103;
inline constexpr std::uint16_t kCapFeederEnabled = 0x1002;
inline constexpr std::uint16_t kCapAutoFeed = 0x1007;
inline constexpr std::uint16_t kCapDuplexEnabled = 0x1013;
inline constexpr std::uint16_t kICapPhysicalWidth = 0x1111;
inline constexpr std::uint16_t kICapPhysicalHeight = 0x1112;
inline constexpr std::uint16_t kICapXResolution = 0x1118;
inline constexpr std::uint16_t kICapYResolution = 0x1119;
inline constexpr std::uint16_t kICapPixelFlavor = 0x111f;
inline constexpr std::uint16_t kICapBitDepth = 0x112b;

inline constexpr std::uint16_t kPtBw = 0;
inline constexpr std::uint16_t kPtGray = 1;
inline constexpr std::uint16_t kPtRgb = 2;
inline constexpr std::uint16_t kUnInches = 0;
inline constexpr std::uint16_t kSxNative = 0;
inline constexpr std::uint16_t kSxMemory = 2;
inline constexpr std::uint16_t kPfVanilla = 1;  // 0 is white
inline constexpr std::uint16_t kMfAppOwns = 0x0001;
inline constexpr std::uint16_t kMfPointer = 0x0008;

inline constexpr std::uint16_t kProtocolMajor = 1;
inline constexpr std::uint16_t kProtocolMinor = 9;

#pragma pack(push, 2)

using Str32 = char[34];

struct Version {
  std::uint16_t majorNum;
  std::uint16_t minorNum;
  std::uint16_t language;
  std::uint16_t country;
  Str32 info;
};

struct Identity {
  std::uint32_t id;
  Version version;
  std::uint16_t protocolMajor;
  std::uint16_t protocolMinor;
  std::uint32_t supportedGroups;
  Str32 manufacturer;
  Str32 productFamily;
  Str32 productName;
};

struct Capability {
  std::uint16_t cap;
  std::uint16_t conType;
  Handle container;
};

struct UserInterface {
  std::uint16_t showUi;
  std::uint16_t modalUi;
  Handle parent;
};

struct Event {
  MemRef event;  // the window message
  std::uint16_t message;
};

struct PendingXfers {
  std::uint16_t count;
  std::uint32_t eoj;
};

struct Status {
  std::uint16_t conditionCode;
  std::uint16_t reserved;
};

struct ImageInfo {
  Fix32 xResolution;
  Fix32 yResolution;
  std::int32_t imageWidth;
  std::int32_t imageLength;
  std::int16_t samplesPerPixel;
  std::int16_t bitsPerSample[8];
  std::int16_t bitsPerPixel;
  std::uint16_t planar;
  std::int16_t pixelType;
  std::uint16_t compression;
};

struct Frame {
  Fix32 left;
  Fix32 top;
  Fix32 right;
  Fix32 bottom;
};

struct ImageLayout {
  Frame frame;
  std::uint32_t documentNumber;
  std::uint32_t pageNumber;
  std::uint32_t frameNumber;
};

struct SetupMemXfer {
  std::uint32_t minBufSize;
  std::uint32_t maxBufSize;
  std::uint32_t preferred;
};

struct Memory {
  std::uint32_t flags;
  std::uint32_t length;
  MemRef theMem;
};

struct ImageMemXfer {
  std::uint16_t compression;
  std::uint32_t bytesPerRow;
  std::uint32_t columns;
  std::uint32_t rows;
  std::uint32_t xOffset;
  std::uint32_t yOffset;
  std::uint32_t bytesWritten;
  Memory memory;
};

#pragma pack(pop)

static_assert(sizeof(Version) == 42 && offsetof(Version, info) == 8);
static_assert(sizeof(Identity) == 156);
static_assert(offsetof(Identity, version) == 4 && offsetof(Identity, protocolMajor) == 46 &&
              offsetof(Identity, protocolMinor) == 48 &&
              offsetof(Identity, supportedGroups) == 50 && offsetof(Identity, manufacturer) == 54 &&
              offsetof(Identity, productFamily) == 88 && offsetof(Identity, productName) == 122);
// A pointer is 4 bytes in the 32-bit edition and 8 in the x64 one; every field after one moves.
inline constexpr std::size_t kPointer = sizeof(void*);
static_assert(kPointer == 4 || kPointer == 8);
static_assert(sizeof(Capability) == 4 + kPointer && offsetof(Capability, conType) == 2 &&
              offsetof(Capability, container) == 4);
static_assert(sizeof(UserInterface) == 4 + kPointer && offsetof(UserInterface, modalUi) == 2 &&
              offsetof(UserInterface, parent) == 4);
static_assert(sizeof(Event) == kPointer + 2 && offsetof(Event, message) == kPointer);
static_assert(sizeof(PendingXfers) == 6 && offsetof(PendingXfers, eoj) == 2);
static_assert(sizeof(Status) == 4 && offsetof(Status, reserved) == 2);
static_assert(sizeof(ImageInfo) == 42 && offsetof(ImageInfo, yResolution) == 4 &&
              offsetof(ImageInfo, imageWidth) == 8 && offsetof(ImageInfo, imageLength) == 12 &&
              offsetof(ImageInfo, samplesPerPixel) == 16 &&
              offsetof(ImageInfo, bitsPerSample) == 18 && offsetof(ImageInfo, bitsPerPixel) == 34 &&
              offsetof(ImageInfo, planar) == 36 && offsetof(ImageInfo, pixelType) == 38 &&
              offsetof(ImageInfo, compression) == 40);
static_assert(sizeof(Frame) == 16 && offsetof(Frame, top) == 4 && offsetof(Frame, right) == 8 &&
              offsetof(Frame, bottom) == 12);
static_assert(sizeof(ImageLayout) == 28 && offsetof(ImageLayout, documentNumber) == 16 &&
              offsetof(ImageLayout, pageNumber) == 20 && offsetof(ImageLayout, frameNumber) == 24);
static_assert(sizeof(SetupMemXfer) == 12 && offsetof(SetupMemXfer, maxBufSize) == 4 &&
              offsetof(SetupMemXfer, preferred) == 8);
static_assert(sizeof(Memory) == 8 + kPointer && offsetof(Memory, length) == 4 &&
              offsetof(Memory, theMem) == 8);
static_assert(sizeof(ImageMemXfer) == 26 + sizeof(Memory) &&
              offsetof(ImageMemXfer, bytesPerRow) == 2 && offsetof(ImageMemXfer, columns) == 6 &&
              offsetof(ImageMemXfer, rows) == 10 && offsetof(ImageMemXfer, xOffset) == 14 &&
              offsetof(ImageMemXfer, yOffset) == 18 && offsetof(ImageMemXfer, bytesWritten) == 22 &&
              offsetof(ImageMemXfer, memory) == 26);

// The manager's one entry point (stdcall, as TWAIN's Windows entry points are).
using DsmEntry = std::uint16_t(__stdcall*)(Identity* origin, Identity* destination,
                                           std::uint32_t group, std::uint16_t dat,
                                           std::uint16_t message, MemRef data);

}  // namespace sim::twain
