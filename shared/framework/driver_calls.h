// Messages to a driver through its record, with the value layouts of framework/messages.h
// kept in this one place. A get writes its output only when the driver answers 0, so a
// caller presets the value that stands in for a tag the driver does not answer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/qel.h"
#include "framework/records.h"
#include "framework/tags.h"

inline std::int32_t QelDrvMessage(const DriverRecord& driver, std::uint32_t code,
                                  std::int32_t argument, void* pointer) {
  // A record never loaded, or cleared at unload, has no entry to call.
  if (driver.pfnEntry == nullptr) return kErrNoDriver;
  return driver.pfnEntry(driver.pInstance, code, argument, pointer);
}

// Loads a driver that lives in the caller's own code, such as the storage filter.
inline std::int32_t DrvLoadFromEntry(QelMessageEntry entry, DriverRecord& driver) {
  return QelDrvLoad(0, reinterpret_cast<const void*>(entry), &driver, kQelLoadEntry);
}

inline std::int32_t DrvGetTag(const DriverRecord& driver, std::uint16_t tag, std::int32_t& value) {
  std::int32_t answered = 0;
  const std::int32_t rc = QelDrvMessage(driver, QelDrvGetTag, TagArg(tag), &answered);
  if (rc == 0) value = answered;
  return rc;
}

// The tag's value, or fallback when the driver does not answer it.
inline std::int32_t DrvGetTagOr(const DriverRecord& driver, std::uint16_t tag,
                                std::int32_t fallback) {
  DrvGetTag(driver, tag, fallback);
  return fallback;
}

inline std::int32_t DrvGetRationalTag(const DriverRecord& driver, std::uint16_t tag,
                                      QelRational& value) {
  QelRational answered{};
  const std::int32_t rc = QelDrvMessage(driver, QelDrvGetRationalTag, TagArg(tag), &answered);
  if (rc == 0) value = answered;
  return rc;
}

// The driver writes at most buffer.size() bytes (64 KiB - 1 at most) and ends the text there.
inline std::int32_t DrvGetStringTag(const DriverRecord& driver, std::uint16_t tag,
                                    std::span<char> buffer) {
  const auto size = static_cast<std::uint16_t>(std::min<std::size_t>(buffer.size(), 0xFFFF));
  return QelDrvMessage(driver, QelDrvGetStringTag, TagArg(tag, size), buffer.data());
}

inline std::int32_t DrvSetTag(const DriverRecord& driver, std::uint16_t tag, std::int32_t value) {
  return QelDrvMessage(driver, QelDrvSetTag, TagArg(tag), &value);
}

inline std::int32_t DrvSetRationalTag(const DriverRecord& driver, std::uint16_t tag,
                                      QelRational value) {
  return QelDrvMessage(driver, QelDrvSetRationalTag, TagArg(tag), &value);
}

// The driver only reads the text.
inline std::int32_t DrvSetStringTag(const DriverRecord& driver, std::uint16_t tag,
                                    const char* text) {
  return QelDrvMessage(driver, QelDrvSetStringTag, TagArg(tag), const_cast<char*>(text));
}

inline std::int32_t DrvGetTagType(const DriverRecord& driver, std::uint16_t tag, TiffType& type) {
  std::int32_t answered = 0;
  const std::int32_t rc = QelDrvMessage(driver, QelDrvGetTagType, TagArg(tag), &answered);
  if (rc == 0) type = static_cast<TiffType>(answered);
  return rc;
}

inline std::int32_t DrvGetChoiceCount(const DriverRecord& driver, std::uint16_t tag,
                                      std::int32_t& count) {
  std::int32_t answered = 0;
  const std::int32_t rc = QelDrvMessage(driver, QelDrvGetChoiceCount, TagArg(tag), &answered);
  if (rc == 0) count = answered;
  return rc;
}

// index: 0 up to the count less one, or kChoiceMaximum or kChoiceStep.
inline std::int32_t DrvGetChoice(const DriverRecord& driver, std::uint16_t tag, std::uint16_t index,
                                 std::int32_t& value) {
  std::int32_t answered = 0;
  const std::int32_t rc = QelDrvMessage(driver, QelDrvGetChoice, TagArg(tag, index), &answered);
  if (rc == 0) value = answered;
  return rc;
}

inline std::int32_t DrvGetRationalChoice(const DriverRecord& driver, std::uint16_t tag,
                                         std::uint16_t index, QelRational& value) {
  QelRational answered{};
  const std::int32_t rc =
      QelDrvMessage(driver, QelDrvGetRationalChoice, TagArg(tag, index), &answered);
  if (rc == 0) value = answered;
  return rc;
}

inline std::int32_t DrvGetStringChoice(const DriverRecord& driver, std::uint16_t tag,
                                       std::uint16_t index,
                                       std::span<char, kStringChoiceSize> name) {
  return QelDrvMessage(driver, QelDrvGetStringChoice, TagArg(tag, index), name.data());
}
