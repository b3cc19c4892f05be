// Drivers built by tests: exactly the tags, choices, pages and failures a case needs,
// registered under a driver name so that QelDrvLoad finds them, and a view of what they hold
// and received while loaded.
//
//   sim::DriverDesign design("KITA");
//   design.Integer(kTagSamplesPerPixel, 1, {1, 3}, "SamplesPerPixel")
//       .Rational(kTagXResolution, {300, 1}, {{200, 1}, {300, 1}})
//       .Page("Letter", 2550, 3300)
//       .FailMessage(QelDrvGetChoiceCount, sim::kAnyTag, sim::error::kDriverFailure);
//   sim::RegisterDriver(design);
//   ... QelDrvLoad(0, "KITA", &record, kQelLoadByName) ...
//   EXPECT_EQ(sim::DriverView("KITA").Integer(kTagSamplesPerPixel), 3);
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/tags.h"
#include "sim/services/driver_model/driver_registry.h"
#include "sim/services/driver_model/tag_table.h"

namespace sim {

// FailMessage for a message whatever tag its argument names.
inline constexpr std::int32_t kAnyTag = -1;

// Misuse of the builder (a name no driver can have, a range for a tag not declared as an
// integer) throws std::invalid_argument: it is a fault in the test.
class DriverDesign {
 public:
  // At most eight characters, as driver names are.
  explicit DriverDesign(std::string_view name);

  // Each declares the tag after those declared before, in its type with that value. An
  // empty list of choices means none: the choice messages fail for the tag. A setting name
  // puts the tag among the driver's saved settings.
  DriverDesign& Integer(std::uint16_t tag, std::int32_t value,
                        std::vector<std::int32_t> choices = {}, std::string setting = {},
                        TiffType type = TiffType::Short);
  DriverDesign& Rational(std::uint16_t tag, QelRational value,
                         std::vector<QelRational> choices = {}, std::string setting = {});
  DriverDesign& Text(std::uint16_t tag, std::string value, std::vector<std::string> choices = {},
                     std::string setting = {});
  // The maximum (choice 0xFFFE) and step (choice 0xFFFD) of an integer tag declared before.
  DriverDesign& Range(std::uint16_t tag, std::int32_t maximum, std::int32_t step);
  // A named page of the page-size tag (1294), in dots: setting the tag to the name sets the
  // image width and length. The name joins the tag's choices; the first page declares the
  // tag, as a text tag holding that name, when the design has no such tag yet.
  DriverDesign& Page(std::string name, std::int32_t width, std::int32_t length);
  // The driver answers the message with `error` when it is for that tag (or kAnyTag),
  // before any handling of its own.
  DriverDesign& FailMessage(std::uint32_t code, std::int32_t tag, std::int32_t error);
  // The driver answers 0 to a message that it would otherwise not know. An accepted
  // sendparams is taken as a scanner takes it: DriverView reports what it received.
  DriverDesign& Accept(std::uint32_t code);
  // QelDrvInit answers `error`.
  DriverDesign& RefuseInit(std::int32_t error);
  // QelDrvLoad answers 1: the driver is loaded and already set up.
  DriverDesign& SetUpAtLoad();

  const std::string& Key() const { return key_; }

 private:
  friend class KitDriver;
  struct Failure {
    std::uint32_t code;
    std::int32_t tag;
    std::int32_t error;
  };
  struct NamedPage {
    std::string name;
    std::int32_t width;
    std::int32_t length;
  };

  std::string key_;
  TagTable tags_;
  std::vector<NamedPage> pages_;
  std::vector<Failure> failures_;
  std::vector<std::uint32_t> accepted_;
  std::int32_t initResult_ = 0;
  bool setUpAtLoad_ = false;
};

// From now on QelDrvLoad of the design's name loads a fresh driver built from it; a design of the
// same name replaces the one before. Loaded drivers keep the design they were built from.
void RegisterDriver(const DriverDesign& design);
void UnregisterDriver(std::string_view name);
// Forgets every design, drops every loaded driver and clears what DriverView reports.
void ResetDrivers();

// What the loads of a driver name did, and the tags of the driver loaded last under it while
// it is loaded. Works for every driver loaded by name, not only for test-built ones.
class DriverView {
 public:
  explicit DriverView(std::string_view name);

  // None when no driver of the name is loaded, or it has no such tag of that kind.
  std::optional<std::int32_t> Integer(std::uint16_t tag) const;
  std::optional<QelRational> Rational(std::uint16_t tag) const;
  std::optional<std::string> Text(std::uint16_t tag) const;
  // The abort callback the driver was given as tag 1299; null when none or not loaded.
  QelAbortPoll AbortPoll() const;
  // What the driver took with sendparams: the parameter sends, and the last imprinter text
  // (none before the first). None when no driver of the name is loaded.
  std::optional<std::uint32_t> ParameterSends() const;
  std::optional<std::string> ImprinterText() const;
  // An integer tag as the last parameter send found it: what a scanner that takes parameters
  // only when sent scans with. None before the first send or without such a tag.
  std::optional<std::int32_t> SentInteger(std::uint16_t tag) const;

  // Since the last ResetDrivers.
  std::uint32_t TimesLoaded() const;
  std::uint32_t LoadedNow() const;
  std::uint32_t TimesInitialised() const;
  std::optional<std::uintptr_t> LastSetup() const;
  // Every message the drivers of the name received through their entry, in order.
  std::vector<DriverMessage> Messages() const;
  void ClearMessages() const;

 private:
  std::optional<TagValue> ValueOf(std::uint16_t tag) const;
  std::optional<ReceivedParams> Received() const;

  std::string key_;
};

inline std::ostream& operator<<(std::ostream& out, const DriverMessage& message) {
  return out << "{0x" << std::hex << message.code << std::dec << ", " << message.tag << "}";
}

}  // namespace sim
