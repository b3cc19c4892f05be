// Saved-settings callbacks for driver tests: the record a driver hands back to them is a
// SettingsStore, which keeps what was saved and answers restores from its own values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"

struct SettingsStore {
  using Entries = std::vector<std::pair<std::string, std::string>>;

  Entries saved;                              // (name, value) in the order saved
  std::map<std::string, std::string> values;  // what a restore answers, by name
  Entries asked;                              // (name, default) each restore asked for
  std::size_t room = std::numeric_limits<std::size_t>::max();  // saves taken before "no room"

  QelSaveSettingsArgs SaveArgs() { return {&Save, Record()}; }
  QelRestoreSettingsArgs RestoreArgs() { return {&Restore, Record()}; }

  // Saved entries become the values a restore answers, as a record round trip does.
  void KeepSaved() {
    for (const auto& [name, value] : saved) values.emplace(name, value);
  }

 private:
  ParmRecord* Record() { return reinterpret_cast<ParmRecord*>(this); }
  static SettingsStore& Of(ParmRecord* record) { return *reinterpret_cast<SettingsStore*>(record); }

  static std::int32_t QELCALLBACK Save(std::int32_t, const char* name, const char* value,
                                       ParmRecord* record) noexcept {
    SettingsStore& store = Of(record);
    if (store.saved.size() >= store.room) return kErrNoMemory;
    store.saved.emplace_back(name, value);
    return 0;
  }

  static std::int32_t QELCALLBACK Restore(std::int32_t, const char* name, const char* defaultText,
                                          char* buffer, std::int32_t size,
                                          ParmRecord* record) noexcept {
    SettingsStore& store = Of(record);
    store.asked.emplace_back(name, defaultText);
    const auto found = store.values.find(name);
    const std::string& text =
        found == store.values.end() ? std::string(defaultText) : found->second;
    std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text.c_str());
    return found == store.values.end() ? 0 : static_cast<std::int32_t>(text.size());
  }
};
