#include "tools/kovscan/pdf_queue.h"

#include <new>
#include <system_error>
#include <utility>

#include "tools/kovscan/page_files.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

PdfQueue::PdfQueue(OcrPool* ocr, WrittenFiles* written)
    : ocr_(ocr), written_(written), thread_([this] { Work(); }) {}

PdfQueue::~PdfQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

void PdfQueue::Add(std::filesystem::path path, std::vector<Page> pages) {
  {
    const std::lock_guard lock(mutex_);
    queue_.push_back({std::move(path), std::move(pages)});
  }
  changed_.notify_all();
}

void PdfQueue::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void PdfQueue::Work() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    std::exception_ptr failed;
    try {
      Write(job);
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    if (failed && !failure_) failure_ = failed;
    busy_ = false;
    changed_.notify_all();
  }
}

// Whole or not at all, as every file kovscan writes; each text layer is gone once laid.
void PdfQueue::Write(Job& job) {
  PdfDocument pdf(ReadDeliveredData);
  std::vector<std::filesystem::path> layers;
  for (Page& page : job.pages) {
    if (ocr_ == nullptr) continue;
    page.image.textLayer = ocr_->TakeLayer(page.number);
    if (!page.image.textLayer.empty()) layers.push_back(page.image.textLayer);
    page.image.degrees = UprightTurn(ocr_->TurnOf(page.number));
  }
  WholeFile file(job.path, written_);
  try {
    for (Page& page : job.pages) {
      try {
        pdf.Add(page.image);
      } catch (const std::exception&) {
        if (page.image.textLayer.empty()) throw;
        // A text layer that cannot be read costs the page its text, never its place.
        page.image.textLayer.clear();
        pdf.Add(page.image);
      }
    }
    pdf.Write(file.Temporary());
  } catch (const Failure&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& failure) {
    throw FileError("cannot write " + job.path.string() + ": " + failure.what());
  }
  file.Commit();
  for (const auto& layer : layers) {
    std::error_code ignored;
    std::filesystem::remove(layer, ignored);
  }
}

}  // namespace kovscan
