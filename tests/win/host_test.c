/* A Windows host: loads KOVZAFT2.dll from its own folder, resolves every export by name and
 * by ordinal, and runs a session through the real exported calls with the trace log on,
 * the settings dialog included (it needs a display). Exit code 0 when every check held; each
 * failed check prints a line. With a folder as its argument it also saves a picture of each
 * of the two dialogs there (scanner-controls.bmp, bar-patch.bmp). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "await_window.h"
#include "kovzaft2.h"

static int failures = 0;

#define CHECK(condition)                                    \
  do {                                                      \
    if (!(condition)) {                                     \
      printf("FAILED line %d: %s\n", __LINE__, #condition); \
      ++failures;                                           \
    }                                                       \
  } while (0)

#define CHECK_RC(call, expected)                                                  \
  do {                                                                            \
    unsigned rc_ = (call);                                                        \
    if (rc_ != (unsigned)(expected)) {                                            \
      printf("FAILED line %d: %s gave 0x%x, wanted 0x%x\n", __LINE__, #call, rc_, \
             (unsigned)(expected));                                               \
      ++failures;                                                                 \
    }                                                                             \
  } while (0)

struct ExportSlot {
  const char* name;
  int ordinal;
};

static const struct ExportSlot kExports[] = {
    {"SCANINIT", 1},
    {"SCANFREE", 2},
    {"SCANLASTERROR", 3},
    {"SCANOPEN", 4},
    {"SCANCLOSE", 5},
    {"SCANSETSEQNUM", 6},
    {"SCANPAUSE", 7},
    {"SCANKILL", 8},
    {"SCANSETENV", 9},
    {"SCANAREA", 10},
    {"SCANENDPAGE", 11},
    {"SCANFLUSH", 12},
    {"SCANRESET", 13},
    {"SCANRESTART", 14},
    {"SCANAREAEJECT", 15},
    {"SCANGETDATA", 16},
    {"SCANSETPARM", 17},
    {"SCANSETSTATE", 18},
    {"SCANPARMSDLG", 19},
    {"SCANPARMSDLG2", 20},
    {"SCANQUERYDEVNAMES", 21},
    {"SCANQUERYINFO", 22},
    {"SCANQUERYPARM", 23},
    {"SCANQUERYCLT", 24},
    {"SCANSETPRTTEXT", 25},
    {"RestoreCallback", 97},
    {"SaveCallback", 98},
    {"MyStore", 99},
    {"OldRestoreCallback", 100},
};

static HMODULE library;

/* Through the generic function type, which any function pointer may be cast to and from. */
typedef void (*AnyCall)(void);
static AnyCall Resolve(const char* name) {
  return (AnyCall)GetProcAddress(library, name);
}

typedef uint16_t(KOVAPI* NoArgCall)(void);
typedef uint16_t(KOVAPI* LastErrorCall)(char*, uint16_t);
typedef uint16_t(KOVAPI* OpenCall)(const char*, int32_t, int32_t*);
typedef uint16_t(KOVAPI* HandleCall)(int32_t);
typedef uint16_t(KOVAPI* SeqNumCall)(int32_t, int32_t);
typedef uint16_t(KOVAPI* DevNamesCall)(char*, uint16_t);
typedef uint16_t(KOVAPI* QueryInfoCall)(const char*, uint16_t, void*);
typedef uint16_t(KOVAPI* SetParmCall)(const char*, ParmRecord*, uint16_t, void*);
typedef uint16_t(KOVAPI* QueryParmCall)(ParmRecord*, uint16_t, void*);
typedef uint16_t(KOVAPI* SetStateCall)(int32_t, ParmRecord*);
typedef uint16_t(KOVAPI* PrtTextCall)(int32_t, uint32_t, const char*, int32_t);
typedef uint16_t(KOVAPI* QueryCltCall)(ParmRecord*, SCAN_CLT_ENTRY*);
typedef uint16_t(KOVAPI* AreaEjectCall)(int32_t, KOV_PAGEHEADER**, uint8_t*, uint32_t*);
typedef uint16_t(KOVAPI* GetDataCall)(int32_t, uint8_t*, uint32_t*, int32_t);

static ParmRecord record;
static SCAN_CLT_ENTRY colours[256];

typedef uint16_t(KOVAPI* DialogCall)(const char*, ParmRecord*);

static HandleCall scanKill;
static DialogCall scanParmsDlg;
static ParmRecord dialogRecord;

static DWORD WINAPI KillFromAnotherThread(LPVOID unused) {
  (void)unused;
  return scanKill(1);
}

static DWORD WINAPI ShowSettingsDialog(LPVOID unused) {
  (void)unused;
  return scanParmsDlg("dev", &dialogRecord);
}

/* The dialog captioned "Scanner Controls" that owner owns (NULL: the top one), once it is
 * shown; NULL when none shows within 30 seconds. */
static HWND AwaitDialog(HWND owner) {
  return AwaitShownWindow(owner, "Scanner Controls");
}

/* The window as the screen shows it, as a 24-bit BMP file. */
static void SaveWindowImage(HWND window, const char* folder, const char* name) {
  char path[MAX_PATH];
  RECT rect;
  BITMAPINFO info;
  BITMAPFILEHEADER fileHeader;
  void* bits = NULL;
  HDC screen, memory;
  HBITMAP bitmap;
  HGDIOBJ previous;
  LONG width, height, stride;
  FILE* file;
  if (!GetWindowRect(window, &rect)) return;
  width = rect.right - rect.left;
  height = rect.bottom - rect.top;
  stride = (width * 3 + 3) & ~3;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  screen = GetDC(NULL);
  memory = CreateCompatibleDC(screen);
  bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  previous = SelectObject(memory, bitmap);
  /* Painted by its own thread; a moment for the display to show it. */
  RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(500);
  CHECK(BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT));
  GdiFlush();
  snprintf(path, sizeof path, "%s\\%s", folder, name);
  file = fopen(path, "wb");
  CHECK(file != NULL);
  if (file != NULL && bits != NULL) {
    memset(&fileHeader, 0, sizeof fileHeader);
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof info.bmiHeader;
    fileHeader.bfSize = fileHeader.bfOffBits + (DWORD)(stride * height);
    fwrite(&fileHeader, sizeof fileHeader, 1, file);
    fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file);
    fwrite(bits, 1, (size_t)(stride * height), file);
    printf("saved %s (%ldx%ld)\n", path, width, height);
  }
  if (file != NULL) fclose(file);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(NULL, screen);
}

/* SCANPARMSDLG on a thread of its own, once its dialog shows (NULL when it does not). */
static HANDLE StartSettingsDialog(HWND* dialog) {
  HANDLE shower = CreateThread(NULL, 0, ShowSettingsDialog, NULL, 0, NULL);
  CHECK(shower != NULL);
  *dialog = shower != NULL ? AwaitDialog(NULL) : NULL;
  CHECK(*dialog != NULL);
  return shower;
}

/* What SCANPARMSDLG answered on its thread, once it ended. */
static DWORD SettingsDialogResult(HANDLE shower) {
  DWORD result = 0;
  CHECK(WaitForSingleObject(shower, 30000) == WAIT_OBJECT_0);
  GetExitCodeThread(shower, &result);
  CloseHandle(shower);
  return result;
}

/* The settings dialog on a fresh record, closed by SCANKILL from this thread; with a folder,
 * the bar/patch dialog is opened from it first and both are pictured. */
static void SettingsDialogClosedByKill(const char* pictures) {
  HANDLE shower;
  HWND dialog;
  memset(&dialogRecord, 0, sizeof dialogRecord);
  shower = StartSettingsDialog(&dialog);
  if (shower == NULL) return;
  if (dialog != NULL && pictures != NULL) {
    HWND barPatch;
    SaveWindowImage(dialog, pictures, "scanner-controls.bmp");
    PostMessageA(dialog, WM_COMMAND, 1000, (LPARAM)GetDlgItem(dialog, 1000));
    barPatch = AwaitDialog(dialog);
    CHECK(barPatch != NULL);
    if (barPatch != NULL) {
      SaveWindowImage(barPatch, pictures, "bar-patch.bmp");
      PostMessageA(barPatch, WM_CLOSE, 0, 0);
    }
  }
  CHECK_RC(scanKill(1), 0);
  CHECK_RC(SettingsDialogResult(shower), RC_SCAN_DLG_CANCEL);
  CHECK(dialogRecord.usSize == 57546 && strcmp(dialogRecord.szDriver, "VSEND") == 0);
}

/* The settings dialog on the record the last one left, where the user clicks Cancel. */
static void SettingsDialogCancelled(void) {
  HWND dialog;
  HANDLE shower = StartSettingsDialog(&dialog);
  if (shower == NULL) return;
  if (dialog != NULL) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, (LPARAM)GetDlgItem(dialog, IDCANCEL));
  }
  CHECK_RC(SettingsDialogResult(shower), RC_SCAN_DLG_CANCEL);
}

/* The folder of this program, where the DLL, its profile and its log lie. */
static void OwnFolder(char* folder, DWORD size) {
  DWORD length = GetModuleFileNameA(NULL, folder, size);
  while (length > 0 && folder[length - 1] != '\\') --length;
  folder[length] = '\0';
}

static void WriteProfile(const char* folder) {
  char path[MAX_PATH];
  FILE* profile;
  snprintf(path, sizeof path, "%szaft.ini", folder);
  profile = fopen(path, "w");
  CHECK(profile != NULL);
  if (profile == NULL) return;
  fputs(
      "[KOVZAFT]\nDebug=1\n[ZAFT]\nScanner=VSEND\n"
      "[VSEND]\nType=VirtualScanner\nSendParams=1\nImageFolder=pages\n",
      profile);
  fclose(profile);
}

/* A letter page at 300 dpi, one bit, whole bytes a row: the byte at (row, column). Blocks of
 * black on white, different on each page, as a page a fax code shrinks. */
#define PAGE_WIDTH 2544
#define PAGE_LENGTH 3300
#define PAGE_ROW_BYTES (PAGE_WIDTH / 8)
#define PAGE_BYTES ((uint32_t)PAGE_ROW_BYTES * PAGE_LENGTH)
static uint8_t PageByte(int page, uint32_t at) {
  const uint32_t block = (at % PAGE_ROW_BYTES) / 16u + (at / PAGE_ROW_BYTES) / 64u + (uint32_t)page;
  return block % 7u == 0 ? 0xF0 : 0x00;
}

/* Three such pages in the scanner's image folder, as PBM files. */
static void WritePages(const char* folder) {
  char path[MAX_PATH];
  int page;
  snprintf(path, sizeof path, "%spages", folder);
  CreateDirectoryA(path, NULL);
  for (page = 1; page <= 3; ++page) {
    FILE* file;
    uint32_t at;
    snprintf(path, sizeof path, "%spages\\page%d.pbm", folder, page);
    file = fopen(path, "wb");
    CHECK(file != NULL);
    if (file == NULL) return;
    fprintf(file, "P4\n%d %d\n", PAGE_WIDTH, PAGE_LENGTH);
    for (at = 0; at < PAGE_BYTES; ++at) fputc(PageByte(page, at), file);
    fclose(file);
  }
}

/* Memory a host may hand the parameter calls: `size` bytes ending where a page no access is
 * allowed to begins, so one byte too many read or written ends the host. */
static uint8_t* GuardedEnd(size_t size, uint8_t** guard) {
  SYSTEM_INFO system;
  size_t data;
  uint8_t* base;
  DWORD old;
  GetSystemInfo(&system);
  data = (size + system.dwPageSize - 1) / system.dwPageSize * system.dwPageSize;
  base = (uint8_t*)VirtualAlloc(NULL, data + system.dwPageSize, MEM_RESERVE | MEM_COMMIT,
                                PAGE_READWRITE);
  if (base == NULL || !VirtualProtect(base + data, system.dwPageSize, PAGE_NOACCESS, &old)) {
    printf("FAILED: guarded memory of %u bytes\n", (unsigned)size);
    exit(1);
  }
  if (guard != NULL) *guard = base + data;
  return base + data - size;
}

static void ReadOnly(void* memory, size_t size) {
  DWORD old;
  CHECK(VirtualProtect(memory, size, PAGE_READONLY, &old));
}

/* The parameter calls read only the value bytes their identifier takes, write back only what a
 * query answers, and leave a record that is only queried or sent unwritten. */
static void ParameterCallsKeepToTheirBytes(SetParmCall scanSetParm, QueryParmCall scanQueryParm,
                                           SetStateCall scanSetState, int32_t handle) {
  uint8_t* guard = NULL;
  uint16_t* bpp;
  SCAN_RES* res;
  ParmRecord* fixed;
  GuardedEnd(1, &guard);
  CHECK_RC(scanSetParm("dev", &record, SCAN_PARM_INIT, guard), 0);
  bpp = (uint16_t*)GuardedEnd(sizeof *bpp, NULL);
  *bpp = 8;
  ReadOnly(bpp, sizeof *bpp);
  CHECK_RC(scanSetParm("dev", &record, SCAN_PARM_BPP, bpp), 0);
  res = (SCAN_RES*)GuardedEnd(sizeof *res, NULL);
  res->ulXNum = res->ulYNum = 300;
  res->ulXDenom = res->ulYDenom = 1;
  res->usZero = 0;
  ReadOnly(res, sizeof *res);
  CHECK_RC(scanSetParm("dev", &record, SCAN_PARM_RES, res), 0);
  bpp = (uint16_t*)GuardedEnd(sizeof *bpp, NULL);
  CHECK_RC(scanQueryParm(&record, SCAN_PARM_BPP, bpp), 0);
  CHECK(*bpp == 8);

  fixed = (ParmRecord*)GuardedEnd(sizeof *fixed, NULL);
  memcpy(fixed, &record, sizeof record);
  ReadOnly(fixed, sizeof *fixed);
  CHECK_RC(scanQueryParm(fixed, SCAN_PARM_BPP, bpp), 0);
  CHECK_RC(scanSetState(handle, fixed), 0);
}

static int PageMatches(int page, const uint8_t* data, uint32_t length) {
  uint32_t at;
  if (length != PAGE_BYTES) return 0;
  for (at = 0; at < length; ++at) {
    if (data[at] != PageByte(page, at)) return 0;
  }
  return 1;
}

static uint8_t pageData[PAGE_BYTES];

static int LogHasLine(const char* folder, const char* message) {
  char path[MAX_PATH];
  char line[512];
  int found = 0;
  FILE* log;
  snprintf(path, sizeof path, "%sKOVZAFT.LOG", folder);
  log = fopen(path, "rb");
  if (log == NULL) return 0;
  while (!found && fgets(line, sizeof line, log) != NULL) {
    char* text = strstr(line, "> ");
    size_t length;
    if (text == NULL) continue;
    text += 2;
    length = strlen(text);
    if (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n') {
      text[length - 2] = '\0';
      found = strcmp(text, message) == 0;
    }
  }
  fclose(log);
  return found;
}

int main(int argc, char** argv) {
  char folder[MAX_PATH];
  char text[128];
  char path[MAX_PATH];
  int32_t handle = 0;
  uint16_t value = 0;
  size_t i;
  HANDLE killer;
  DWORD killResult = 0xFFFF;
  NoArgCall scanInit, scanFree;
  LastErrorCall scanLastError;
  OpenCall scanOpen;
  HandleCall scanClose;
  SeqNumCall scanSetSeqNum;
  DevNamesCall scanQueryDevNames;
  QueryInfoCall scanQueryInfo;
  SetParmCall scanSetParm;
  QueryParmCall scanQueryParm;
  SetStateCall scanSetState;
  PrtTextCall scanSetPrtText;
  QueryCltCall scanQueryClt;
  AreaEjectCall scanAreaEject;
  GetDataCall scanGetData;
  KOV_PAGEHEADER* header = NULL;
  uint32_t length = 0;
  uint32_t received = 0;
  uint16_t bpp = 8;

  OwnFolder(folder, sizeof folder);
  WriteProfile(folder);
  WritePages(folder);
  snprintf(path, sizeof path, "%sKOVZAFT.LOG", folder);
  DeleteFileA(path);

  library = LoadLibraryA("KOVZAFT2.dll");
  if (library == NULL) {
    printf("FAILED: LoadLibraryA(KOVZAFT2.dll), error %lu\n", GetLastError());
    return 1;
  }

  for (i = 0; i < sizeof kExports / sizeof kExports[0]; ++i) {
    AnyCall byName = Resolve(kExports[i].name);
    AnyCall byOrdinal = (AnyCall)GetProcAddress(library, MAKEINTRESOURCEA(kExports[i].ordinal));
    if (byName == NULL || byName != byOrdinal) {
      printf("FAILED: export %s at ordinal %d\n", kExports[i].name, kExports[i].ordinal);
      ++failures;
    }
  }

  scanInit = (NoArgCall)Resolve("SCANINIT");
  scanFree = (NoArgCall)Resolve("SCANFREE");
  scanLastError = (LastErrorCall)Resolve("SCANLASTERROR");
  scanOpen = (OpenCall)Resolve("SCANOPEN");
  scanClose = (HandleCall)Resolve("SCANCLOSE");
  scanKill = (HandleCall)Resolve("SCANKILL");
  scanSetSeqNum = (SeqNumCall)Resolve("SCANSETSEQNUM");
  scanQueryDevNames = (DevNamesCall)Resolve("SCANQUERYDEVNAMES");
  scanQueryInfo = (QueryInfoCall)Resolve("SCANQUERYINFO");
  scanSetParm = (SetParmCall)Resolve("SCANSETPARM");
  scanQueryParm = (QueryParmCall)Resolve("SCANQUERYPARM");
  scanSetState = (SetStateCall)Resolve("SCANSETSTATE");
  scanSetPrtText = (PrtTextCall)Resolve("SCANSETPRTTEXT");
  scanQueryClt = (QueryCltCall)Resolve("SCANQUERYCLT");
  scanAreaEject = (AreaEjectCall)Resolve("SCANAREAEJECT");
  scanGetData = (GetDataCall)Resolve("SCANGETDATA");
  scanParmsDlg = (DialogCall)Resolve("SCANPARMSDLG");
  if (failures > 0) return 1;

  CHECK_RC(scanOpen("dev", 0, &handle), RC_SCAN_NOT_INITIALIZED);
  CHECK_RC(scanInit(), 0);
  CHECK_RC(scanInit(), RC_SCAN_ALREADY_INITIALIZED);

  memset(text, 'x', sizeof text);
  CHECK_RC(scanQueryDevNames(text, 14), 0);
  CHECK(strcmp(text, "ZAFT Drivers") == 0 && text[13] == '\0' && text[14] == 'x');
  CHECK_RC(scanQueryDevNames(text, 13), RC_SCAN_LENGTH_TOO_SHORT);
  CHECK_RC(scanQueryInfo(NULL, 1, &value), 0);
  CHECK(value == 14);
  CHECK_RC(scanQueryInfo(NULL, 0, &value), 0);
  CHECK(value == 57546);

  CHECK_RC(scanOpen("dev", 1000, &handle), 0);
  CHECK(handle == 1);
  CHECK_RC(scanSetSeqNum(handle, 500), 0);

  CHECK_RC(scanLastError(text, sizeof text), RC_SCAN_NO_ERROR_STORED);
  CHECK_RC(scanLastError(text, sizeof text), 0);
  CHECK(strcmp(text, "RC_SCAN_NO_ERROR_STORED") == 0);
  CHECK_RC(scanClose(2), RC_SCAN_INVALID_HANDLE);
  CHECK_RC(scanLastError(text, 22), RC_SCAN_ERROR_TRUNC);
  CHECK(strcmp(text, "RC_SCAN_INVALID_HANDL") == 0);
  CHECK_RC(scanLastError(text, sizeof text), 0);
  CHECK(strcmp(text, "RC_SCAN_ERROR_TRUNC") == 0);

  killer = CreateThread(NULL, 0, KillFromAnotherThread, NULL, 0, NULL);
  CHECK(killer != NULL);
  if (killer != NULL) {
    WaitForSingleObject(killer, INFINITE);
    GetExitCodeThread(killer, &killResult);
    CloseHandle(killer);
    CHECK(killResult == 0);
  }

  /* Parameters: build the record, change one, query it, send it, imprint, colour table. */
  CHECK_RC(scanSetPrtText(handle, 0, "early", 1), RC_SCAN_NO_DRIVER);
  ParameterCallsKeepToTheirBytes(scanSetParm, scanQueryParm, scanSetState, handle);
  CHECK_RC(scanSetParm("dev", &record, SCAN_PARM_INIT, NULL), 0);
  CHECK(record.usSize == 57546 && strcmp(record.szDriver, "VSEND") == 0);
  CHECK(strcmp(record.szID, "KOV Virtual Scanner 1.0") == 0 && record.lFeeder == 1);
  CHECK_RC(scanSetParm("dev", &record, SCAN_PARM_BPP, &bpp), 0);
  bpp = 0;
  CHECK_RC(scanQueryParm(&record, SCAN_PARM_BPP, &bpp), 0);
  CHECK(bpp == 8);
  CHECK_RC(scanSetState(handle, &record), 0);
  CHECK_RC(scanSetPrtText(handle, 5, "BATCH", 1), 0);
  memset(colours, 0xEE, sizeof colours);
  CHECK_RC(scanQueryClt(&record, colours), 0);
  CHECK(colours[255].abValue[0] == 255 && colours[255].ucReserved == 0xEE);

  /* Pages, one bit uncompressed: the first whole, the second in pieces, then the end. */
  bpp = 1;
  CHECK_RC(scanSetParm("dev", &record, SCAN_PARM_BPP, &bpp), 0);
  CHECK_RC(scanSetState(handle, &record), 0);
  length = PAGE_BYTES;
  CHECK_RC(scanAreaEject(handle, &header, pageData, &length), 0);
  CHECK(header != NULL && header->usHeaderLength == 253);
  if (header != NULL) {
    CHECK(header->usLines == PAGE_LENGTH && header->usBytesPerLine == PAGE_ROW_BYTES);
    CHECK(header->usBpp == 1 && header->usCompression == SCAN_COMP_NONE);
    CHECK(header->ulXResNum == 300 && header->ulXResDenom == 1 && header->lSeqNumber == 501);
    CHECK(header->ucLevel == 1 && header->ucSide == 0);
    CHECK(header->usDf1Length == 15 && header->usDf2Length == 69);
  }
  CHECK(PageMatches(1, pageData, length));
  length = 1000;
  CHECK_RC(scanAreaEject(handle, &header, pageData, &length), RC_SCAN_MORE_DATA);
  received = length;
  while (received < PAGE_BYTES) {
    length = 65536;
    if (scanGetData(handle, pageData + received, &length, 0) != 0 || length == 0) break;
    received += length;
  }
  CHECK(PageMatches(2, pageData, received));
  CHECK(header != NULL && header->lSeqNumber == 502);
  CHECK_RC(scanGetData(handle, pageData, &length, 0), RC_SCAN_NO_DATA);

  /* The third page through the Group 4 pipe. */
  value = SCAN_COMP_G4;
  CHECK_RC(scanSetParm("dev", &record, SCAN_PARM_COMP, &value), 0);
  CHECK_RC(scanSetState(handle, &record), 0);
  length = PAGE_BYTES;
  CHECK_RC(scanAreaEject(handle, &header, pageData, &length), 0);
  CHECK(header != NULL && header->usCompression == SCAN_COMP_G4);
  CHECK(header != NULL && header->usLines == PAGE_LENGTH && header->lSeqNumber == 503);
  CHECK(length > 0 && length < PAGE_BYTES);
  CHECK_RC(scanAreaEject(handle, &header, NULL, &length), RC_SCAN_ADF_EMPTY);

  SettingsDialogClosedByKill(argc > 1 ? argv[1] : NULL);
  /* A cancelled dialog is the user's choice: nothing stored for SCANLASTERROR. */
  CHECK_RC(scanLastError(text, sizeof text), RC_SCAN_NO_ERROR_STORED);
  SettingsDialogCancelled();
  CHECK_RC(scanLastError(text, sizeof text), RC_SCAN_NO_ERROR_STORED);

  CHECK_RC(scanClose(handle), 0);
  CHECK_RC(scanSetSeqNum(SCAN_HANDLE_NONE, 1), RC_SCAN_INVALID_HANDLE);
  CHECK_RC(scanClose(SCAN_HANDLE_NONE), RC_SCAN_INVALID_HANDLE);
  CHECK_RC(scanFree(), 0);
  CHECK_RC(scanFree(), RC_SCAN_NOT_INITIALIZED);
  CHECK_RC(scanInit(), 0);
  CHECK_RC(scanFree(), 0);

  CHECK(LogHasLine(folder, "ScanInit called"));
  CHECK(LogHasLine(folder, "ScanOpen called with DevName: dev"));
  CHECK(LogHasLine(folder, "  *phScanHdl=1  "));
  CHECK(LogHasLine(folder, "ScanKill called: "));
  CHECK(LogHasLine(folder, "   hScanHdl==1"));
  CHECK(LogHasLine(folder, "ScanFree called:"));
  CHECK(LogHasLine(folder, "Parameters successfully sent to the scanner"));
  CHECK(LogHasLine(folder, "  unload driver - driver unloaded"));
  CHECK(LogHasLine(folder, "   QelRunZone called here"));
  CHECK(LogHasLine(folder, "Done setting up KOV header"));
  CHECK(LogHasLine(folder, "ZAFT Dialog Presented"));
  CHECK(LogHasLine(folder, "    User hit Cancel."));
  CHECK(!LogHasLine(folder, "  refused: RC_SCAN_DLG_CANCEL"));
  /* The live scanner takes parameters when sent: it is sent its own again after the dialog. */
  CHECK(LogHasLine(folder,
                   "  Calling sendparams to give the scanner the parameters last sent again"));

  FreeLibrary(library);
  printf("%s: %d failed checks\n", failures == 0 ? "passed" : "FAILED", failures);
  return failures == 0 ? 0 : 1;
}
