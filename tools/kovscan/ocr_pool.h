// Pages read by OCR beside the scan: the scanning thread hands each page over through a
// bounded queue, a pool of readers (engines each) finds how far each page is turned and writes
// its text layer, read upright, and whoever writes a document waits for the turns and layers
// of its pages. A page's turn is found before any page is read: it is quick, and a document's
// TIFF waits for it. Only page numbers and paths wait in the queue: the pages themselves are
// on disk, so memory stays flat on any batch.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/ocr_reader.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

// The engines to read with: as many as asked (0: one a core), no more than the machine
// serves, one a core, each with the memory it reads a page in; more would only wait for a
// core or make the system swap. Says so on the error stream when it serves fewer.
unsigned OcrEngineCount(unsigned asked);

class OcrPool {
 public:
  struct Settings {
    OcrReader::Tasks tasks;
    unsigned threads = 1;
    std::size_t capacity = 64;     // pages waiting to be read
    std::filesystem::path folder;  // the text layers, one file a page, until they are taken
  };

  // Throws ArgumentError when the data of a task are not installed.
  explicit OcrPool(Settings settings);
  // Pages still queued are left unread.
  ~OcrPool();
  OcrPool(const OcrPool&) = delete;
  OcrPool& operator=(const OcrPool&) = delete;

  // Where the layers' names are listed before they are made; given before the first page.
  void ListLayers(WrittenFiles& written) { written_ = &written; }
  // Queues the page to be read; waits while the queue is full.
  void Submit(int page, const std::filesystem::path& image, int dpi);
  // The page's text layer once its reading has ended; empty for a page never submitted, one
  // that could not be read, or one abandoned, and when the pool reads no text. Each page's
  // layer is handed out once.
  std::filesystem::path TakeLayer(int page);
  // How far the page is turned once that is found; none for a page never submitted, one the
  // finder could not tell, or one abandoned, and when the pool finds no turns.
  std::optional<PageTurn> TurnOf(int page);
  // The pages still queued are not read; those being read are finished.
  void Abandon();
  // Whether it finds how far pages are turned.
  bool Orients() const { return settings_.tasks.orient; }
  // Pages submitted and not yet read.
  std::size_t Pending() const;
  OcrCounts Totals() const;

 private:
  struct Job {
    int page;
    std::filesystem::path image;
    int dpi;
    int degrees = 0;  // to turn it before it is read
  };
  enum class Outcome { Waiting, Read, Failed };
  // A page's turn: being found, or settled (found or not).
  struct Turn {
    bool settled = false;
    std::optional<PageTurn> found;
  };

  void Work(OcrReader& reader);
  // The page's turn; none when the finder fails on it.
  std::optional<PageTurn> FindTurn(OcrReader& reader, const Job& job);
  // The page's layer written whole under its own name; false when it is not.
  bool ReadLayer(OcrReader& reader, const Job& job);
  // Joins the readers once the queue is empty; removes the layers left and their folder.
  void Stop();

  Settings settings_;
  WrittenFiles* written_ = nullptr;
  std::vector<std::unique_ptr<OcrReader>> readers_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> toOrient_;
  std::deque<Job> toRead_;
  std::map<int, Outcome> outcomes_;  // pages to be read and not yet taken
  std::map<int, Turn> turns_;        // pages whose turn is asked for: kept for the manifest
  std::size_t pending_ = 0;
  bool abandoned_ = false;  // pages whose turn is being found are not read
  OcrCounts counts_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kovscan
