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

// Why the system calls a module's entry: the values of the Windows loader's reasons.
inline constexpr std::uint32_t kProcessDetach = 0;
inline constexpr std::uint32_t kProcessAttach = 1;

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

// COM strings: length-counted 16-bit text, the string type of the barcode component. A
// string is a pointer to its characters, which are followed by a zero character; the length
// is kept in front of them, so a string may hold zero characters. A null string is an empty
// one. Strings from these calls go back through FreeComString, by whoever owns them then.
#ifdef _WIN32
using ComChar = wchar_t;
#else
using ComChar = char16_t;
#endif
using ComString = ComChar*;

// A new string of `length` characters copied from text; with text null the characters are
// left for the caller to write. Null when there is no memory.
ComString AllocComString(const ComChar* text, std::uint32_t length);
void FreeComString(ComString text);
// Characters, without the terminating zero; 0 for a null string.
std::uint32_t ComStringLength(ComString text);

// ANSI code page text as a new string, characters precomposed; null text gives an empty
// string. Null when there is no memory. Outside Windows the ANSI code page is Latin-1.
ComString AnsiToComString(const char* text);
// Writes the string in the ANSI code page, cut to bufferSize - 1 bytes and terminated (a
// cut never splits a character). Returns the bytes the whole text needs without the
// terminator, as snprintf does: the text was cut when the result is >= bufferSize. Nothing
// is written when buffer is null or bufferSize 0. A 16-bit character without an ANSI form
// becomes "?" (each half of a surrogate pair does).
std::size_t ComStringToAnsi(ComString text, char* buffer, std::size_t bufferSize);

// COM on the calling thread: 0 when started, 1 when it already was, negative on failure.
// Each successful call needs one ComUninitialize on the same thread.
std::int32_t ComInitialize();
void ComUninitialize();

// Dialogs: the dialog manager's subset the dialog procedures use. A window is a handle that
// stays safe to pass after its window is gone (the calls then fail), as on Windows.
struct Window;

// Dialog procedures have the Windows callback convention, so the dialog manager calls them
// as they are.
#ifdef _WIN32
#define KOV_DIALOG_CALLBACK __stdcall
#else
#define KOV_DIALOG_CALLBACK
#endif
using DialogProc = std::intptr_t(KOV_DIALOG_CALLBACK*)(Window* window, std::uint32_t message,
                                                       std::uintptr_t wParam, std::intptr_t lParam);

// Messages a dialog procedure receives, with the Windows values.
inline constexpr std::uint32_t kMessageClose = 0x0010;       // window close request
inline constexpr std::uint32_t kMessageHelp = 0x0053;        // F1
inline constexpr std::uint32_t kMessageInitDialog = 0x0110;  // lParam: the creation parameter
inline constexpr std::uint32_t kMessageCommand = 0x0111;     // wParam: id | notification << 16
inline constexpr std::uint32_t kButtonClicked = 0;           // the notification of a click

// Window and button styles, with the Windows values.
inline constexpr std::uint32_t kStylePopupDialog =
    0x80000000 | 0x10000000 | 0x00C00000 | 0x00080000 | 0x80;  // popup, visible, caption,
                                                               // system menu, modal frame
inline constexpr std::uint32_t kStyleGroup = 0x00020000;
inline constexpr std::uint32_t kStyleTabStop = 0x00010000;
inline constexpr std::uint32_t kButtonTypeMask = 0xF;
inline constexpr std::uint32_t kPushButton = 0x0;
inline constexpr std::uint32_t kDefaultPushButton = 0x1;
inline constexpr std::uint32_t kAutoCheckBox = 0x3;
inline constexpr std::uint32_t kGroupBox = 0x7;
inline constexpr std::uint32_t kAutoRadioButton = 0x9;

// Message box types and answers.
inline constexpr std::uint32_t kMessageBoxOk = 0x00;
inline constexpr std::uint32_t kMessageBoxIconInformation = 0x40;
inline constexpr int kAnswerOk = 1;

// A dialog as its template describes it; coordinates in dialog units.
struct DialogControl {
  std::int32_t id;
  std::uint32_t style;  // window and button style bits, with the Windows values
  const char* text;
  std::int16_t x, y, width, height;
};
struct DialogTemplate {
  std::int32_t id;  // the resource number
  std::uint32_t style;
  const char* caption;
  const char* font;
  std::int16_t fontSize;
  std::int16_t x, y, width, height;
  const DialogControl* controls;
  std::size_t controlCount;
};

// Shows the dialog modally on the calling thread and returns the result given to EndDialog,
// or -1 when it cannot be shown. With a module, Windows takes the module's resource of the
// template's number (compiled from the same description); without one, the description.
std::intptr_t DialogBoxParam(Module* module, const DialogTemplate& dialog, Window* owner,
                             DialogProc proc, std::intptr_t parameter);
bool EndDialog(Window* window, std::intptr_t result);
bool CheckDlgButton(Window* window, std::int32_t id, bool checked);
bool IsDlgButtonChecked(Window* window, std::int32_t id);
// Checks id and clears the other buttons numbered first to last.
bool CheckRadioButton(Window* window, std::int32_t first, std::int32_t last, std::int32_t id);
bool EnableDlgItem(Window* window, std::int32_t id, bool enable);
bool ShowDlgItem(Window* window, std::int32_t id, bool show);
// Posts a close request (both parameters 0) to the window's thread; any thread may call it.
bool PostCloseRequest(Window* window);
// A modal message box; the answer, or 0 when it cannot be shown.
int MessageBox(Window* owner, const char* text, const char* caption, std::uint32_t type);

struct Rect {
  std::int32_t left, top, right, bottom;
};
// The desktop's width and height in pixels (HORZRES and VERTRES); 0 where unknown.
void GetScreenSize(std::int32_t& width, std::int32_t& height);
bool GetWindowRect(Window* window, Rect& rect);
bool MoveWindow(Window* window, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, bool repaint);

}  // namespace platform
