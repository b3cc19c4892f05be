// The small part of the operating system the library uses. Library code includes this and
// never <windows.h> or POSIX headers. Each call is a thin forward on Windows (win32/) and a
// faithful implementation elsewhere (posix/): same names, same results, same limits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Opaque kernel objects; only this layer knows what stands behind them.
struct CriticalSection;
struct Semaphore;
struct Thread;
struct Module;

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { Signalled, TimedOut, Failed };

// Recursive lock: the owner may enter again and must leave as often as it entered.
CriticalSection* CreateCriticalSection();
void EnterCriticalSection(CriticalSection* section);
void LeaveCriticalSection(CriticalSection* section);
void DeleteCriticalSection(CriticalSection* section);

// Counting semaphore with initial count 0 and maximum count 1; null when it cannot be made.
Semaphore* CreateSemaphore();
// False when the count is already at its maximum (the release is then lost, as on Windows).
bool ReleaseSemaphore(Semaphore* semaphore);
WaitResult WaitForSemaphore(Semaphore* semaphore, std::uint32_t timeoutMs);
// Waits without limit until either is signalled and takes that one (the first when both):
// 0 for first, 1 for second, -1 when the wait failed.
int WaitForEitherSemaphore(Semaphore* first, Semaphore* second);
void CloseSemaphore(Semaphore* semaphore);

// One thread, running at once; null when it cannot be started.
using ThreadProc = std::uint32_t (*)(void* argument);
Thread* CreateThread(ThreadProc proc, void* argument);
WaitResult WaitForThread(Thread* thread, std::uint32_t timeoutMs);
// Closing the handle of a thread that still runs leaves the thread running.
void CloseThread(Thread* thread);

// Milliseconds since the machine started, wrapping at 2^32.
std::uint32_t GetTickCount();
std::uint32_t GetCurrentThreadId();

// The module (shared library) that contains this code, and its full file name. The name is
// empty when the system cannot tell; the copy is cut to bufferSize - 1 and terminated.
Module* ThisModule();
std::size_t GetModuleFileName(Module* module, char* buffer, std::size_t bufferSize);
// The separator between folder and file name in module paths.
inline constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// Zero-filled read-write pages that are never given back: the host owns them afterwards.
void* AllocatePages(std::size_t bytes);

}  // namespace platform
