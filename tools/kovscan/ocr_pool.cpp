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
  counts_.language = settings_.tasks.language.value_or("");
  // Every engine is made here, so missing data are told before the first page, and before
  // anything is made on disk: the folder is made with the first layer.
  for (unsigned i = 0; i < std::max(settings_.threads, 1U); ++i) {
    readers_.push_back(std::make_unique<OcrReader>(settings_.tasks));
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
  changed_.wait(lock,
                [this] { return toOrient_.size() + toRead_.size() < settings_.capacity; });
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  counts_.longestWait = std::max(counts_.longestWait, waited);
  if (settings_.tasks.language) outcomes_[page] = Outcome::Waiting;
  if (settings_.tasks.orient) {
    turns_[page] = {};
    toOrient_.push_back({page, image, dpi});
  } else {
    toRead_.push_back({page, image, dpi});
  }
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

std::optional<PageTurn> OcrPool::TurnOf(int page) {
  std::unique_lock lock(mutex_);
  const auto found = turns_.find(page);
  if (found == turns_.end()) return std::nullopt;
  changed_.wait(lock, [&] { return found->second.settled; });
  return found->second.found;
}

void OcrPool::Abandon() {
  const std::lock_guard lock(mutex_);
  abandoned_ = true;
  for (const Job& job : toOrient_) turns_[job.page].settled = true;
  for (const auto* queue : {&toOrient_, &toRead_}) {
    for (const Job& job : *queue) {
      if (const auto found = outcomes_.find(job.page); found != outcomes_.end()) {
        found->second = Outcome::Failed;
        ++counts_.abandoned;
      }
    }
    pending_ -= queue->size();
  }
  toOrient_.clear();
  toRead_.clear();
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
    if (!reader.Read(job.image, job.dpi, job.degrees, layer.Temporary())) return false;
    layer.Commit();
    return true;
  } catch (const std::exception&) {
    // A layer that cannot be written costs the page its text, as one that cannot be read.
    return false;
  }
}

std::optional<PageTurn> OcrPool::FindTurn(OcrReader& reader, const Job& job) {
  try {
    return reader.FindTurn(job.image, job.dpi);
  } catch (const std::exception&) {
    // A page the finder fails on stays as it came.
    return std::nullopt;
  }
}

void OcrPool::Work(OcrReader& reader) {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock,
                  [this] { return stopping_ || !toOrient_.empty() || !toRead_.empty(); });
    const bool orienting = !toOrient_.empty();
    std::deque<Job>& queue = orienting ? toOrient_ : toRead_;
    if (queue.empty()) return;  // stopping, and nothing left to do
    Job job = std::move(queue.front());
    queue.pop_front();
    changed_.notify_all();  // a slot is free
    lock.unlock();
    if (orienting) {
      const std::optional<PageTurn> turn = FindTurn(reader, job);
      lock.lock();
      turns_[job.page] = {true, turn};
      const auto outcome = outcomes_.find(job.page);
      if (outcome != outcomes_.end() && !abandoned_) {
        // Read upright, after the turns of the pages before it.
        job.degrees = UprightTurn(turn);
        toRead_.push_back(std::move(job));
      } else {
        if (outcome != outcomes_.end()) {
          outcome->second = Outcome::Failed;
          ++counts_.abandoned;
        }
        --pending_;
      }
    } else {
      const bool read = ReadLayer(reader, job);
      lock.lock();
      (read ? counts_.read : counts_.failed) += 1;
      --pending_;
      // A page taken meanwhile (abandoned and handed out) has no one waiting for its layer.
      if (const auto found = outcomes_.find(job.page); found != outcomes_.end()) {
        found->second = read ? Outcome::Read : Outcome::Failed;
      }
    }
    changed_.notify_all();
  }
}

}  // namespace kovscan
