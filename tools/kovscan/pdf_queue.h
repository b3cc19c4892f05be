// The documents' PDFs, written on a thread of their own in the order the documents closed,
// each once the text layers of its pages are read: neither OCR nor the writing holds the
// scanning thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/kovscan/ocr_pool.h"
#include "tools/kovscan/pdf_document.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

class PdfQueue {
 public:
  struct Page {
    int number = 0;
    PdfImage image;
  };

  // `ocr` null: the pages get no text. With `written`, each PDF's names are listed there
  // before they are made.
  explicit PdfQueue(OcrPool* ocr, WrittenFiles* written = nullptr);
  // Finishes the document being written and drops those still queued: without Finish the
  // batch is failing anyway, and should end soon.
  ~PdfQueue();
  PdfQueue(const PdfQueue&) = delete;
  PdfQueue& operator=(const PdfQueue&) = delete;

  void Add(std::filesystem::path path, std::vector<Page> pages);
  // Waits until every document queued is written; throws FileError for the first that was not
  // (the others are still written).
  void Finish();

 private:
  struct Job {
    std::filesystem::path path;
    std::vector<Page> pages;
  };

  void Work();
  void Write(Job& job);

  OcrPool* ocr_;
  WrittenFiles* written_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  bool busy_ = false;  // a document being written
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace kovscan
