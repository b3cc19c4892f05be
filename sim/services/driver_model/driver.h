// A driver of the stand-in: its tag table, served by the framework's default message
// handling, and whatever messages the driver answers itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/tags.h"
#include "platform/platform.h"
#include "sim/services/driver_model/page_flow.h"
#include "sim/services/driver_model/tag_table.h"

namespace sim {

// Text values longer than this are refused; a text get cannot return more anyway.
inline constexpr std::size_t kMaxTextValue = 0xFFFE;
// The buffer a driver gives the restore callback for each of its settings.
inline constexpr std::int32_t kRestoreBufferSize = 256;

// Imprinter texts longer than this are cut.
inline constexpr std::size_t kMaxImprinterText = 255;

// What a driver took with sendparams.
struct ReceivedParams {
  std::uint32_t sends = 0;                   // each with a null pointer
  std::optional<std::string> imprinterText;  // the last text, cut to kMaxImprinterText
  TagTable sentTags;                         // the tags as the last send found them
};

struct PageDots {
  std::int32_t width = 0;
  std::int32_t length = 0;
};

class Driver {
 public:
  Driver() = default;
  explicit Driver(TagTable tags) : tags_(std::move(tags)) {}
  virtual ~Driver() = default;
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // A message sent to the driver. What a driver does not handle itself it leaves to Default.
  virtual std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer);
  virtual std::int32_t Init(std::uintptr_t setup);
  // A source delivers one page to `out` (the framework's run); other drivers deliver none.
  virtual std::int32_t RunPage(Stage& out);
  // After RunPage and the end of the page down the chain: whether the page reached the
  // chain's end whole. A page that did not is still the source's, for its next run.
  virtual void RunEnded(bool /*delivered*/) {}
  // A driver inside a chain: the page's last message has gone by.
  virtual std::int32_t EndPage() { return 0; }
  // A driver that sets itself up when loaded: QelDrvLoad then answers 1, not 0.
  virtual bool SetUpAtLoad() const { return false; }

  // The framework's default handling of a message, on this driver's tags: declare, get, set,
  // type, choices, save and restore. Any other message fails.
  std::int32_t Default(std::uint32_t code, std::int32_t argument, void* pointer);

  const TagTable& Tags() const { return tags_; }
  // Where the driver sends its pages: set by QelDrvSetOutput or QelDrvSetFilterOutput.
  const Output& OutputTarget() const { return output_; }
  // The library's abort callback, given as tag 1299; null until given.
  QelAbortPoll AbortPoll() const { return abortPoll_; }
  const ReceivedParams& Received() const { return received_; }

 protected:
  // The size of a named page at the driver's current settings; none when it is no page.
  virtual std::optional<PageDots> PageSize(std::string_view name) const;
  // The default handling's answer to QelDrvShowDialog, owned by owner (null: none). A driver
  // without a dialog of its own refuses the message.
  virtual std::int32_t ShowDialog(platform::Window* owner);
  // After a set changed the tag; `before` is the value it had. Setting the page size sets
  // the image width and length to that page's.
  virtual void Changed(const Tag& tag, const TagValue& before);

  // Changes a tag as a set message does, linked tags included.
  void Assign(Tag& tag, TagValue value);
  // Assign to an integer tag, when the driver has one of that number.
  void AssignNumber(std::uint16_t number, std::int32_t value);
  TagTable& Table() { return tags_; }
  // Takes sendparams, for a driver that answers it: a null pointer sends the parameters,
  // a text is the imprinter's.
  std::int32_t TakeParams(const void* pointer);

 private:
  template <class T>
  std::int32_t Typed(std::uint16_t number, void* pointer, Tag*& tag);
  template <class T>
  std::int32_t Get(std::uint16_t number, std::uint16_t textSize, void* pointer);
  template <class T>
  std::int32_t Set(std::uint16_t number, void* pointer);
  template <class T>
  std::int32_t Choice(std::uint16_t number, std::uint16_t index, void* pointer);
  std::int32_t DeclareTag(std::uint16_t type, std::uint16_t number);
  std::int32_t TypeOf(std::uint16_t number, void* pointer);
  std::int32_t ChoiceCount(std::uint16_t number, void* pointer);
  std::int32_t Save(const void* pointer);
  std::int32_t Restore(const void* pointer);

  TagTable tags_;
  QelAbortPoll abortPoll_ = nullptr;
  ReceivedParams received_;
  Output output_;
};

}  // namespace sim
