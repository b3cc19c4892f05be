#include "tools/kovscan/ocr_pool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <system_error>
#include <utility>

#include "tools/kovscan/platform.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// What an engine may hold while it reads a page: a second engine on 300 dpi letter pages
// adds under 30 MB, but a gray page at 600 dpi is 34 MB and the engine makes images of it.
constexpr std::uint64_t kEngineBytes = 100 << 20;

// The layer's name, or the one it is written under until whole: the engine picks the
// extension itself, so the temporary one keeps it.
std::filesystem::path LayerFile(const std::filesystem::path& folder, int page,
                                bool temporary = false) {
  char name[40];
  std::snprintf(name, sizeof name, "page-%04d%s.pdf", page, temporary ? kPartSuffix : "");
  return folder / name;
}

}  // namespace

unsigned OcrEngineCount(unsigned asked) {
  const unsigned cores = std::max(std::thread::hardware_concurrency(), 1U);
  const std::uint64_t available = platform::AvailableMemory();
  std::string reason = std::to_string(cores) + " cores";
  unsigned served = cores;
  if (available != 0) {
    char memory[48];
    std::snprintf(memory, sizeof memory, ", %.1f GB of memory free",
                  static_cast<double>(available) / 1e9);
    reason += memory;
    served = static_cast<unsigned>(std::clamp<std::uint64_t>(available / kEngineBytes, 1, cores));
  }
  const unsigned wanted = asked != 0 ? asked : cores;
  if (wanted <= served) return wanted;
  std::fprintf(
      stderr, "kovscan: this machine serves %u OCR engines at once (%s): reading with %u, not %u\n",
      served, reason.c_str(), served, wanted);
  return served;
}

OcrPool::OcrPool(Settings settings) : settings_(std::move(settings)) {
  counts_.language = settings_.language;
  // Every engine is made here, so a missing language is told before the first page, and
  // before anything is made on disk: the folder is made with the first layer.
  for (unsigned i = 0; i < std::max(settings_.threads, 1U); ++i) {
    readers_.push_back(std::make_unique<OcrReader>(settings_.language));
  }
  try {
    for (auto& reader : readers_) threads_.emplace_back([this, &reader] { Work(*reader); });
  } catch (...) {
    Stop();
    throw;
  }
}

OcrPool::~OcrPool() {
  Abandon();
  Stop();
}

void OcrPool::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (auto& thread : threads_) thread.join();
  // Only the layers: a folder of that name may hold something of the user's.
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(settings_.folder, ignored)) {
    if (std::regex_match(entry.path().filename().string(), std::regex(R"(page-[0-9]+\.pdf)"))) {
      std::filesystem::remove(entry.path(), ignored);
    }
  }
  std::filesystem::remove(settings_.folder, ignored);  // when empty
}

void OcrPool::Submit(int page, const std::filesystem::path& image, int dpi) {
  std::unique_lock lock(mutex_);
  const auto start = std::chrono::steady_clock::now();
  changed_.wait(lock, [this] { return queue_.size() < settings_.capacity; });
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  counts_.longestWait = std::max(counts_.longestWait, waited);
  queue_.push_back({page, image, dpi});
  outcomes_[page] = Outcome::Waiting;
  ++pending_;
  changed_.notify_all();
}

std::filesystem::path OcrPool::TakeLayer(int page) {
  std::unique_lock lock(mutex_);
  const auto found = outcomes_.find(page);
  if (found == outcomes_.end()) return {};
  changed_.wait(lock, [&] { return found->second != Outcome::Waiting; });
  const bool read = found->second == Outcome::Read;
  outcomes_.erase(found);
  return read ? LayerFile(settings_.folder, page) : std::filesystem::path();
}

void OcrPool::Abandon() {
  const std::lock_guard lock(mutex_);
  for (const Job& job : queue_) outcomes_[job.page] = Outcome::Failed;
  counts_.abandoned += queue_.size();
  pending_ -= queue_.size();
  queue_.clear();
  changed_.notify_all();
}

std::size_t OcrPool::Pending() const {
  const std::lock_guard lock(mutex_);
  return pending_;
}

OcrCounts OcrPool::Totals() const {
  const std::lock_guard lock(mutex_);
  return counts_;
}

bool OcrPool::ReadLayer(OcrReader& reader, const Job& job) {
  try {
    std::error_code ignored;
    std::filesystem::create_directories(settings_.folder, ignored);
    WholeFile layer(LayerFile(settings_.folder, job.page), written_,
                    LayerFile(settings_.folder, job.page, true));
    if (!reader.Read(job.image, job.dpi, layer.Temporary())) return false;
    layer.Commit();
    return true;
  } catch (const std::exception&) {
    // A layer that cannot be written costs the page its text, as one that cannot be read.
    return false;
  }
}

void OcrPool::Work(OcrReader& reader) {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to read
    const Job job = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();  // a slot is free
    lock.unlock();
    const bool read = ReadLayer(reader, job);
    lock.lock();
    (read ? counts_.read : counts_.failed) += 1;
    --pending_;
    // A page taken meanwhile (abandoned and handed out) has no one waiting for its layer.
    if (const auto found = outcomes_.find(job.page); found != outcomes_.end()) {
      found->second = read ? Outcome::Read : Outcome::Failed;
    }
    changed_.notify_all();
  }
}

}  // namespace kovscan
