// Thin forwards to the Win32 dialog manager. A dialog without a module is built in memory
// from its description, in the layout the resource compiler gives a template.
#include <windows.h>
// The layer's own names, not the ANSI/wide switches of <windows.h>.
#undef DialogBoxParam
#undef MessageBox

#include <vector>

#include "platform/platform.h"

namespace platform {

namespace {

HWND AsHandle(Window* window) {
  return reinterpret_cast<HWND>(window);
}

// The layer's procedure has DLGPROC's convention and argument sizes.
DLGPROC AsDialogProc(DialogProc proc) {
  return reinterpret_cast<DLGPROC>(proc);
}

constexpr WORD kButtonClassAtom = 0x0080;

class TemplateWriter {
 public:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Text(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text != nullptr ? text : "", -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0)
      MultiByteToWideChar(CP_ACP, 0, text != nullptr ? text : "", -1, wide.data(), length);
    for (wchar_t c : wide) Word(static_cast<WORD>(c));
  }
  // Items start on a 4-byte boundary.
  void AlignToDword() {
    if (words_.size() % 2 != 0) Word(0);
  }
  const WORD* Data() const { return words_.data(); }

 private:
  std::vector<WORD> words_;
};

void BuildTemplate(const DialogTemplate& dialog, TemplateWriter& writer) {
  const bool hasFont = dialog.font != nullptr;
  writer.Dword(dialog.style | (hasFont ? DS_SETFONT : 0));
  writer.Dword(0);
  writer.Word(static_cast<WORD>(dialog.controlCount));
  writer.Word(static_cast<WORD>(dialog.x));
  writer.Word(static_cast<WORD>(dialog.y));
  writer.Word(static_cast<WORD>(dialog.width));
  writer.Word(static_cast<WORD>(dialog.height));
  writer.Word(0);  // no menu
  writer.Word(0);  // the dialog class
  writer.Text(dialog.caption);
  if (hasFont) {
    writer.Word(static_cast<WORD>(dialog.fontSize));
    writer.Text(dialog.font);
  }
  for (std::size_t index = 0; index < dialog.controlCount; ++index) {
    const DialogControl& control = dialog.controls[index];
    writer.AlignToDword();
    writer.Dword(control.style | WS_CHILD | WS_VISIBLE);
    writer.Dword(0);
    writer.Word(static_cast<WORD>(control.x));
    writer.Word(static_cast<WORD>(control.y));
    writer.Word(static_cast<WORD>(control.width));
    writer.Word(static_cast<WORD>(control.height));
    writer.Word(static_cast<WORD>(control.id));
    writer.Word(0xFFFF);
    writer.Word(kButtonClassAtom);
    writer.Text(control.text);
    writer.Word(0);  // no creation data
  }
}

}  // namespace

std::intptr_t DialogBoxParam(Module* module, const DialogTemplate& dialog, Window* owner,
                             DialogProc proc, std::intptr_t parameter) {
  if (module != nullptr) {
    return ::DialogBoxParamA(reinterpret_cast<HINSTANCE>(module), MAKEINTRESOURCEA(dialog.id),
                             AsHandle(owner), AsDialogProc(proc), parameter);
  }
  TemplateWriter writer;
  BuildTemplate(dialog, writer);
  return ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr),
                                   reinterpret_cast<LPCDLGTEMPLATEA>(writer.Data()),
                                   AsHandle(owner), AsDialogProc(proc), parameter);
}

bool EndDialog(Window* window, std::intptr_t result) {
  return ::EndDialog(AsHandle(window), result) != FALSE;
}

bool CheckDlgButton(Window* window, std::int32_t id, bool checked) {
  return ::CheckDlgButton(AsHandle(window), id, checked ? BST_CHECKED : BST_UNCHECKED) != FALSE;
}

bool IsDlgButtonChecked(Window* window, std::int32_t id) {
  return ::IsDlgButtonChecked(AsHandle(window), id) == BST_CHECKED;
}

bool CheckRadioButton(Window* window, std::int32_t first, std::int32_t last, std::int32_t id) {
  return ::CheckRadioButton(AsHandle(window), first, last, id) != FALSE;
}

bool EnableDlgItem(Window* window, std::int32_t id, bool enable) {
  HWND item = ::GetDlgItem(AsHandle(window), id);
  if (item == nullptr) return false;
  ::EnableWindow(item, enable ? TRUE : FALSE);
  return true;
}

bool ShowDlgItem(Window* window, std::int32_t id, bool show) {
  HWND item = ::GetDlgItem(AsHandle(window), id);
  if (item == nullptr) return false;
  ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
  return true;
}

bool PostCloseRequest(Window* window) {
  return ::PostMessageA(AsHandle(window), WM_CLOSE, 0, 0) != FALSE;
}

int MessageBox(Window* owner, const char* text, const char* caption, std::uint32_t type) {
  return ::MessageBoxA(AsHandle(owner), text, caption, type);
}

void GetScreenSize(std::int32_t& width, std::int32_t& height) {
  width = 0;
  height = 0;
  HWND desktop = ::GetDesktopWindow();
  HDC context = ::GetDC(desktop);
  if (context == nullptr) return;
  width = ::GetDeviceCaps(context, HORZRES);
  height = ::GetDeviceCaps(context, VERTRES);
  ::ReleaseDC(desktop, context);
}

bool GetWindowRect(Window* window, Rect& rect) {
  RECT got{};
  if (::GetWindowRect(AsHandle(window), &got) == FALSE) return false;
  rect = {got.left, got.top, got.right, got.bottom};
  return true;
}

bool MoveWindow(Window* window, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, bool repaint) {
  return ::MoveWindow(AsHandle(window), x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
}

}  // namespace platform
