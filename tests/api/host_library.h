// A host's view of the library: a private copy loaded from a folder of its own, with the
// framework profile the test gives, every export resolved by name. Each copy is a fresh
// load, so process-wide state (the trace settings read once, the control block) starts new.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kovzaft2.h"

#define KOV_FOR_EACH_EXPORT(X)                                                                  \
  X(SCANINIT)                                                                                   \
  X(SCANFREE)                                                                                   \
  X(SCANLASTERROR)                                                                              \
  X(SCANOPEN)                                                                                   \
  X(SCANCLOSE) X(SCANSETSEQNUM) X(SCANPAUSE) X(SCANKILL) X(SCANSETPRTTEXT) X(SCANSETENV)        \
      X(SCANAREA) X(SCANENDPAGE) X(SCANFLUSH) X(SCANRESET) X(SCANRESTART) X(SCANAREAEJECT)      \
          X(SCANGETDATA) X(SCANSETPARM) X(SCANSETSTATE) X(SCANPARMSDLG) X(SCANPARMSDLG2)        \
              X(SCANQUERYDEVNAMES) X(SCANQUERYINFO) X(SCANQUERYPARM) X(SCANQUERYCLT) X(MyStore) \
                  X(SaveCallback) X(RestoreCallback) X(OldRestoreCallback)

class HostLibrary {
 public:
  // profileText: the framework profile (ini text) the library reads.
  explicit HostLibrary(std::string_view profileText = "");
  ~HostLibrary();
  HostLibrary(const HostLibrary&) = delete;
  HostLibrary& operator=(const HostLibrary&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  std::filesystem::path LogPath() const { return folder_ / "KOVZAFT.LOG"; }
  // The log's lines as written, and the same without their time prefix.
  std::vector<std::string> LogLines() const;
  std::vector<std::string> LogMessages() const;

  // SCANLASTERROR's text for the last call, or "" when it answers a code.
  std::string LastErrorText();

// NOLINTNEXTLINE(bugprone-macro-parentheses): a declarator, not an expression
#define KOV_DECLARE_EXPORT(name) decltype(&::name) name = nullptr;
  KOV_FOR_EACH_EXPORT(KOV_DECLARE_EXPORT)
#undef KOV_DECLARE_EXPORT

 private:
  std::filesystem::path folder_;
  void* handle_ = nullptr;
};

// The framework's profile with the library's switches.
std::string ProfileWithDebug(std::string_view extraKovzaftKeys = "");

// The value of a named entry of the record's settings text, or "<none>".
std::string RecordSetting(const ParmRecord& record, const std::string& name);
// Replaces one setting's value in the record (or adds it) and rebuilds the settings text, as a
// stored record edited outside the library would be.
void ReplaceSetting(ParmRecord& record, const std::string& name, const std::string& value);
