// Error numbers of the stand-in framework. Its own operations fail with the plain negative
// number; the layouts of an error value are the framework's (framework/errors.h).
#pragma once

#include <cstdint>

#include "framework/errors.h"

namespace sim::error {

inline constexpr std::int16_t kDriverFailure = kErrDriverFailure;
inline constexpr std::int16_t kDriverNotFound = kErrNoDriver;
inline constexpr std::int16_t kBadDriverSettings = -4101;
inline constexpr std::int16_t kNoScannerSelected = -4102;
inline constexpr std::int16_t kNotStarted = -4300;
inline constexpr std::int16_t kNoPaper = kErrNoPage;
inline constexpr std::int16_t kTagNotSupported = -4410;
inline constexpr std::int16_t kValueNotAllowed = kErrValueNotAllowed;
inline constexpr std::int16_t kWrongTagType = -4412;
inline constexpr std::int16_t kNoChoices = -4413;
inline constexpr std::int16_t kNoSuchChoice = -4414;
inline constexpr std::int16_t kMessageNotSupported = -4415;
inline constexpr std::int16_t kKindNotRead = -4416;  // a kind of barcode the build cannot read
inline constexpr std::int16_t kInvalidArgument = -4420;
inline constexpr std::int16_t kNoErrorText = -4421;
inline constexpr std::int16_t kBufferTooSmall = -4422;
inline constexpr std::int16_t kLineTooLong = -4423;
inline constexpr std::int16_t kNoPipe = -4430;
inline constexpr std::int16_t kNoOutput = -4431;
inline constexpr std::int16_t kBadImage = -4432;
inline constexpr std::int16_t kRationalWithoutDenominator = kErrNoDenominator;
inline constexpr std::int16_t kPageImageUnreadable = -4434;
inline constexpr std::int16_t kNoMemory = kErrNoMemory;
inline constexpr std::int16_t kSettingMissing = kErrSettingMissing;
inline constexpr std::int16_t kAborted = kErrAborted;
inline constexpr std::int16_t kFileNotFound = -4600;
inline constexpr std::int16_t kFileNotCreated = -4601;
inline constexpr std::int16_t kFileWriteFailed = -4602;
inline constexpr std::int16_t kInvalidFileHandle = -4603;
inline constexpr std::int16_t kFileSeekFailed = -4604;
inline constexpr std::int16_t kTooManyFiles = -4605;
inline constexpr std::int16_t kProfileKeyMissing = -4610;
inline constexpr std::int16_t kStringNotFound = -4611;
// What a scanner reached through SANE or TWAIN reports.
inline constexpr std::int16_t kDeviceNotOpened = -4700;
inline constexpr std::int16_t kPaperJam = -4701;
inline constexpr std::int16_t kCoverOpen = -4702;
inline constexpr std::int16_t kDeviceIoError = -4703;
inline constexpr std::int16_t kDeviceNoMemory = -4704;
inline constexpr std::int16_t kDeviceBusy = -4705;
inline constexpr std::int16_t kAccessDenied = -4706;
inline constexpr std::int16_t kCancelledAtDevice = -4707;
inline constexpr std::int16_t kDeviceFailure = -4708;
inline constexpr std::int16_t kSamplesNotSupported = -4709;
inline constexpr std::int16_t kOptionRefused = -4710;
inline constexpr std::int16_t kPageEndedEarly = -4711;
inline constexpr std::int16_t kDoubleFeed = -4712;

}  // namespace sim::error
