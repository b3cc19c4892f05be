// Pages read by OCR beside the scan: the scanning thread hands each page over through a
// bounded queue, a pool of readers (an engine each) writes the pages' text layers, and whoever
// writes a document waits for the layers of its pages. Only page numbers and paths wait in
// the queue: the pages themselves are on disk, so memory stays flat on any batch.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
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
    std::string language;
    unsigned threads = 1;
    std::size_t capacity = 64;     // pages waiting to be read
    std::filesystem::path folder;  // the text layers, one file a page, until they are taken
  };

  // Throws ArgumentError when the language's data are not installed.
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
  // that could not be read, or one abandoned. Each page's layer is handed out once.
  std::filesystem::path TakeLayer(int page);
  // The pages still queued are not read; those being read are finished.
  void Abandon();
  // Pages submitted and not yet read.
  std::size_t Pending() const;
  OcrCounts Totals() const;

 private:
  struct Job {
    int page;
    std::filesystem::path image;
    int dpi;
  };
  enum class Outcome { Waiting, Read, Failed };

  void Work(OcrReader& reader);
  // The page's layer written whole under its own name; false when it is not.
  bool ReadLayer(OcrReader& reader, const Job& job);
  // Joins the readers once the queue is empty; removes the layers left and their folder.
  void Stop();

  Settings settings_;
  WrittenFiles* written_ = nullptr;
  std::vector<std::unique_ptr<OcrReader>> readers_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  std::map<int, Outcome> outcomes_;  // pages submitted and not yet taken
  std::size_t pending_ = 0;
  OcrCounts counts_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kovscan
