#include "sim/kit/kit.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "framework/messages.h"
#include "sim/dialogs/image_dialog.h"
#include "sim/drivers/driver_catalog.h"
#include "sim/services/driver_model/driver.h"
#include "sim/services/faults/errors.h"

namespace sim {

class KitDriver final : public ImageDialogDriver {
 public:
  explicit KitDriver(const DriverDesign& design)
      : ImageDialogDriver(design.tags_),
        pages_(design.pages_),
        failures_(design.failures_),
        accepted_(design.accepted_),
        initResult_(design.initResult_),
        setUpAtLoad_(design.setUpAtLoad_) {}

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    const std::int32_t tag = TagOfArg(argument);
    for (const auto& failure : failures_) {
      if (failure.code == code && (failure.tag == kAnyTag || failure.tag == tag)) {
        return failure.error;
      }
    }
    const auto answer = Default(code, argument, pointer);
    if (answer != error::kMessageNotSupported || std::ranges::count(accepted_, code) == 0) {
      return answer;
    }
    return code == sendparams ? TakeParams(pointer) : 0;
  }

  std::int32_t Init(std::uintptr_t /*setup*/) override { return initResult_; }
  bool SetUpAtLoad() const override { return setUpAtLoad_; }

 protected:
  std::optional<PageDots> PageSize(std::string_view name) const override {
    const auto found = std::ranges::find(pages_, name, &DriverDesign::NamedPage::name);
    if (found == pages_.end()) return std::nullopt;
    return PageDots{found->width, found->length};
  }

 private:
  std::vector<DriverDesign::NamedPage> pages_;
  std::vector<DriverDesign::Failure> failures_;
  std::vector<std::uint32_t> accepted_;
  std::int32_t initResult_;
  bool setUpAtLoad_;
};

namespace {

std::unique_ptr<Driver> KitDriverNamed(std::string_view key);

class DesignTable {
 public:
  // Never destroyed, as every process-wide table here: a driver stuck in a call may wake
  // after the exit handlers ran.
  static DesignTable& Instance() {
    static auto* table = [] {
      UseTestDrivers(&KitDriverNamed);
      return new DesignTable;
    }();
    return *table;
  }

  void Put(const DriverDesign& design) {
    std::lock_guard lock(mutex_);
    designs_.insert_or_assign(design.Key(), design);
  }

  void Remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    if (const auto found = designs_.find(key); found != designs_.end()) designs_.erase(found);
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    designs_.clear();
  }

  std::unique_ptr<Driver> Make(std::string_view key) {
    std::lock_guard lock(mutex_);
    const auto found = designs_.find(key);
    if (found == designs_.end()) return nullptr;
    return std::make_unique<KitDriver>(found->second);
  }

 private:
  std::mutex mutex_;
  std::map<std::string, DriverDesign, std::less<>> designs_;
};

std::string KeyOrThrow(std::string_view name) {
  const std::string text(name);
  auto key = DriverKey(text.c_str());
  if (!key || key->size() != text.size()) {
    throw std::invalid_argument("not a driver name: " + text);
  }
  return *key;
}

std::unique_ptr<Driver> KitDriverNamed(std::string_view key) {
  return DesignTable::Instance().Make(key);
}

}  // namespace

DriverDesign::DriverDesign(std::string_view name) : key_(KeyOrThrow(name)) {}

DriverDesign& DriverDesign::Integer(std::uint16_t tag, std::int32_t value,
                                    std::vector<std::int32_t> choices, std::string setting,
                                    TiffType type) {
  if (type != TiffType::Byte && type != TiffType::Short && type != TiffType::Long) {
    throw std::invalid_argument("not an integer type");
  }
  tags_.Define(tag, type, value, {choices.begin(), choices.end()}, std::move(setting));
  return *this;
}

DriverDesign& DriverDesign::Rational(std::uint16_t tag, QelRational value,
                                     std::vector<QelRational> choices, std::string setting) {
  tags_.Define(tag, TiffType::Rational, value, {choices.begin(), choices.end()},
               std::move(setting));
  return *this;
}

DriverDesign& DriverDesign::Text(std::uint16_t tag, std::string value,
                                 std::vector<std::string> choices, std::string setting) {
  tags_.Define(tag, TiffType::Ascii, std::move(value),
               {std::make_move_iterator(choices.begin()), std::make_move_iterator(choices.end())},
               std::move(setting));
  return *this;
}

DriverDesign& DriverDesign::Range(std::uint16_t tag, std::int32_t maximum, std::int32_t step) {
  Tag* declared = tags_.Find(tag);
  if (declared == nullptr || !std::holds_alternative<std::int32_t>(declared->value)) {
    throw std::invalid_argument("a range needs an integer tag declared before");
  }
  declared->maximum = maximum;
  declared->step = step;
  return *this;
}

DriverDesign& DriverDesign::Page(std::string name, std::int32_t width, std::int32_t length) {
  if (tags_.Find(kTagPageSize) == nullptr) Text(kTagPageSize, name);
  Tag& pageSize = *tags_.Find(kTagPageSize);
  if (pageSize.type != TiffType::Ascii) throw std::invalid_argument("page size is a text tag");
  const bool listed = std::ranges::any_of(pageSize.choices, [&](const TagValue& known) {
    return std::get<std::string>(known) == name;
  });
  if (!listed) pageSize.choices.emplace_back(name);
  pages_.push_back({std::move(name), width, length});
  return *this;
}

DriverDesign& DriverDesign::FailMessage(std::uint32_t code, std::int32_t tag, std::int32_t error) {
  failures_.push_back({code, tag, error});
  return *this;
}

DriverDesign& DriverDesign::Accept(std::uint32_t code) {
  accepted_.push_back(code);
  return *this;
}

DriverDesign& DriverDesign::RefuseInit(std::int32_t error) {
  initResult_ = error;
  return *this;
}

DriverDesign& DriverDesign::SetUpAtLoad() {
  setUpAtLoad_ = true;
  return *this;
}

void RegisterDriver(const DriverDesign& design) {
  DesignTable::Instance().Put(design);
}

void UnregisterDriver(std::string_view name) {
  DesignTable::Instance().Remove(KeyOrThrow(name));
}

void ResetDrivers() {
  DesignTable::Instance().Clear();
  ForgetDrivers();
  ForgetFeeds();
}

DriverView::DriverView(std::string_view name) : key_(KeyOrThrow(name)) {}

std::optional<TagValue> DriverView::ValueOf(std::uint16_t tag) const {
  std::optional<TagValue> value;
  ReadLoaded(key_, [&](const Driver& driver) {
    if (const Tag* found = driver.Tags().Find(tag)) value = found->value;
  });
  return value;
}

namespace {

template <class T>
std::optional<T> As(std::optional<TagValue> value) {
  if (!value || !std::holds_alternative<T>(*value)) return std::nullopt;
  return std::get<T>(std::move(*value));
}

}  // namespace

std::optional<std::int32_t> DriverView::Integer(std::uint16_t tag) const {
  return As<std::int32_t>(ValueOf(tag));
}

std::optional<QelRational> DriverView::Rational(std::uint16_t tag) const {
  return As<QelRational>(ValueOf(tag));
}

std::optional<std::string> DriverView::Text(std::uint16_t tag) const {
  return As<std::string>(ValueOf(tag));
}

std::optional<ReceivedParams> DriverView::Received() const {
  std::optional<ReceivedParams> received;
  ReadLoaded(key_, [&](const Driver& driver) { received = driver.Received(); });
  return received;
}

std::optional<std::uint32_t> DriverView::ParameterSends() const {
  const auto received = Received();
  if (!received) return std::nullopt;
  return received->sends;
}

std::optional<std::string> DriverView::ImprinterText() const {
  const auto received = Received();
  if (!received) return std::nullopt;
  return received->imprinterText;
}

std::optional<std::int32_t> DriverView::SentInteger(std::uint16_t tag) const {
  const auto received = Received();
  const Tag* sent = received ? received->sentTags.Find(tag) : nullptr;
  if (sent == nullptr) return std::nullopt;
  return As<std::int32_t>(sent->value);
}

QelAbortPoll DriverView::AbortPoll() const {
  QelAbortPoll poll = nullptr;
  ReadLoaded(key_, [&](const Driver& driver) { poll = driver.AbortPoll(); });
  return poll;
}

std::uint32_t DriverView::TimesLoaded() const {
  return BookOf(key_).loads;
}

std::uint32_t DriverView::LoadedNow() const {
  const DriverBook book = BookOf(key_);
  return book.loads - book.unloads;
}

std::uint32_t DriverView::TimesInitialised() const {
  return BookOf(key_).inits;
}

std::optional<std::uintptr_t> DriverView::LastSetup() const {
  return BookOf(key_).lastSetup;
}

std::vector<DriverMessage> DriverView::Messages() const {
  const DriverBook book = BookOf(key_);
  return {book.messages.begin(), book.messages.end()};
}

void DriverView::ClearMessages() const {
  sim::ClearMessages(key_);
}

}  // namespace sim
