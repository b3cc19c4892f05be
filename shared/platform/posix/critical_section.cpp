#include <memory>
#include <mutex>

#include "platform/platform.h"

namespace platform {

struct CriticalSection {
  std::recursive_mutex mutex;
};

CriticalSection* CreateCriticalSection() {
  return new (std::nothrow) CriticalSection;
}

void EnterCriticalSection(CriticalSection* section) {
  section->mutex.lock();
}

void LeaveCriticalSection(CriticalSection* section) {
  section->mutex.unlock();
}

void DeleteCriticalSection(CriticalSection* section) {
  std::unique_ptr<CriticalSection> owned(section);
}

}  // namespace platform
