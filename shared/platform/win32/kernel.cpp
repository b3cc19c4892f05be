// Thin forwards to the Win32 kernel calls of the same names.
#include <windows.h>
// The layer's own names, not the ANSI/wide switches of <windows.h>.
#undef CreateSemaphore
#undef GetModuleFileName

#include <memory>

#include "platform/platform.h"

namespace platform {

struct CriticalSection {
  CRITICAL_SECTION section;
};

namespace {

HANDLE AsHandle(Semaphore* semaphore) {
  return reinterpret_cast<HANDLE>(semaphore);
}
HANDLE AsHandle(Thread* thread) {
  return reinterpret_cast<HANDLE>(thread);
}

// ThreadProc has the start routine's shape but not its calling convention.
struct ThreadStart {
  ThreadProc proc;
  void* argument;
};

DWORD WINAPI RunThreadStart(LPVOID parameter) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
  return start->proc(start->argument);
}

WaitResult FromWait(DWORD result) {
  switch (result) {
    case WAIT_OBJECT_0:
      return WaitResult::Signalled;
    case WAIT_TIMEOUT:
      return WaitResult::TimedOut;
    default:
      return WaitResult::Failed;
  }
}

}  // namespace

CriticalSection* CreateCriticalSection() {
  auto* created = new (std::nothrow) CriticalSection;
  if (created != nullptr) ::InitializeCriticalSection(&created->section);
  return created;
}

void EnterCriticalSection(CriticalSection* section) {
  ::EnterCriticalSection(&section->section);
}

void LeaveCriticalSection(CriticalSection* section) {
  ::LeaveCriticalSection(&section->section);
}

void DeleteCriticalSection(CriticalSection* section) {
  std::unique_ptr<CriticalSection> owned(section);
  ::DeleteCriticalSection(&owned->section);
}

Semaphore* CreateSemaphore() {
  return reinterpret_cast<Semaphore*>(::CreateSemaphoreA(nullptr, 0, 1, nullptr));
}

bool ReleaseSemaphore(Semaphore* semaphore) {
  return ::ReleaseSemaphore(AsHandle(semaphore), 1, nullptr) != FALSE;
}

WaitResult WaitForSemaphore(Semaphore* semaphore, std::uint32_t timeoutMs) {
  return FromWait(::WaitForSingleObject(AsHandle(semaphore), timeoutMs));
}

int WaitForEitherSemaphore(Semaphore* first, Semaphore* second) {
  const HANDLE handles[2] = {AsHandle(first), AsHandle(second)};
  const DWORD result = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (result == WAIT_OBJECT_0) return 0;
  if (result == WAIT_OBJECT_0 + 1) return 1;
  return -1;
}

void CloseSemaphore(Semaphore* semaphore) {
  ::CloseHandle(AsHandle(semaphore));
}

Thread* CreateThread(ThreadProc proc, void* argument) {
  std::unique_ptr<ThreadStart> start(new (std::nothrow) ThreadStart{proc, argument});
  if (start == nullptr) return nullptr;
  HANDLE thread = ::CreateThread(nullptr, 0, RunThreadStart, start.get(), 0, nullptr);
  if (thread == nullptr) return nullptr;
  start.release();  // the thread owns it now
  return reinterpret_cast<Thread*>(thread);
}

WaitResult WaitForThread(Thread* thread, std::uint32_t timeoutMs) {
  return FromWait(::WaitForSingleObject(AsHandle(thread), timeoutMs));
}

void CloseThread(Thread* thread) {
  ::CloseHandle(AsHandle(thread));
}

std::uint32_t GetTickCount() {
  return ::GetTickCount();
}

std::uint32_t GetCurrentThreadId() {
  return ::GetCurrentThreadId();
}

Module* ThisModule() {
  HMODULE module = nullptr;
  const DWORD flags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!::GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&ThisModule), &module)) {
    return nullptr;
  }
  return reinterpret_cast<Module*>(module);
}

std::size_t GetModuleFileName(Module* module, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  const DWORD length = ::GetModuleFileNameA(reinterpret_cast<HMODULE>(module), buffer,
                                            static_cast<DWORD>(bufferSize));
  // A name cut to the buffer would name a wrong folder: treat it as unavailable.
  if (length == 0 || length >= bufferSize) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

void* AllocatePages(std::size_t bytes) {
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

}  // namespace platform
