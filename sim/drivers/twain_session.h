// A session with TWAIN's data source manager and one of its sources, on the thread that opened
// it: the manager is loaded at run time (TWAINDSM.dll, else twain_32.dll), a hidden window of
// the thread is the parent, and closing the session takes the source and the manager back to
// where they started whatever state the source was left in.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/drivers/twain_containers.h"
#include "sim/drivers/twain_protocol.h"

namespace sim {

// What the source told the application while it waited.
enum class SourceEvent { XferReady, CloseRequest, CloseOk, Aborted };

class TwainSession {
 public:
  // 0 with the session, or a framework error whose subject names what failed.
  static std::int32_t Open(const std::string& productName, std::unique_ptr<TwainSession>& session);
  ~TwainSession();
  TwainSession(const TwainSession&) = delete;
  TwainSession& operator=(const TwainSession&) = delete;

  const twain::Identity& Source() const { return source_; }
  // The product names of the manager's sources, in its order.
  static std::vector<std::string> SourceNames();

  // One operation on the source: TWAIN's return code.
  std::uint16_t Call(std::uint32_t group, std::uint16_t dat, std::uint16_t message, void* data);
  // The condition code of the source's last failure.
  std::uint16_t ConditionCode();

  std::optional<CapabilityValues> Get(std::uint16_t capability);
  // Takes a page handed over whole (native transfer): copies the bitmap's bytes out of the
  // memory the source gave, which is freed. Answers TWAIN's return code.
  std::uint16_t NativeTransfer(std::vector<std::uint8_t>& bitmap);
  // Sets a single value of the item type; the return code.
  std::uint16_t Set(std::uint16_t capability, std::uint16_t itemType, std::uint32_t value);

  // Enables the source without its user interface (for pages) or with it (for settings only),
  // the interface owned by `parent` (null: the session's hidden window).
  std::uint16_t Enable(bool settingsOnly, void* parent);
  // Back from enabled (or transferring) to open: a transfer begun is ended, pages still
  // pending are reset, the source disabled. A page ready but not begun is only reset: ending
  // it would have the source feed the next sheet, to be thrown away by the reset.
  void Disable();
  // Passes the thread's messages through the source until it says something; `aborted` is
  // asked between messages.
  SourceEvent WaitForEvent(const std::function<bool()>& aborted);

 private:
  TwainSession() = default;
  // Loads and opens the manager, with a hidden window of the thread as its parent; null (with
  // the failure's subject set) when it cannot.
  static std::unique_ptr<TwainSession> OpenManager();
  std::vector<twain::Identity> ListSources();
  std::uint16_t Manager(std::uint16_t dat, std::uint16_t message, void* data);

  void* library_ = nullptr;  // the manager
  twain::DsmEntry entry_ = nullptr;
  void* window_ = nullptr;  // the hidden parent
  twain::Identity application_{};
  twain::Identity source_{};
  bool managerOpen_ = false;
  bool sourceOpen_ = false;
  bool enabled_ = false;
  // The source's transfer states, as the calls through the session leave them: a page ready
  // (TWAIN's state 6) and a transfer begun on it (state 7).
  bool pending_ = false;
  bool transferring_ = false;
};

}  // namespace sim
