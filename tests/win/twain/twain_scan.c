/* A Windows host scanning a TWAIN source's feeder through KOVZAFT2.dll, for comparing its pages
 * with another program's. Usage:
 *   twain_scan OUTDIR BPP DPI [X Y WIDTH LENGTH] [--kill-in-page N] [--g4] [--patches]
 *              [--pages N] [--dialog]
 * DPI 0 leaves the scanner's resolution as it is. With --dialog, BPP (8 gray, 24 colour) and
 * DPI are chosen as a user would: in the source's own dialog, opened from the Scanner Controls
 * dialog's "Configure Image Parameters...", both dialogs closed with OK. The profile beside the
 * program names the scanner. Each page's bytes go to OUTDIR\pageN.raw with a line
 * "page N LINES BYTES_PER_LINE BPP LEVEL DPI" on standard output (the header's level and
 * across resolution); the run ends with a line "end 0xRC TEXT", the code that ended
 * the feeder (RC_SCAN_ADF_EMPTY when it ran empty) and the library's text for it, then a line
 * "manager NAME" for the TWAIN source manager the library loaded.
 * With --kill-in-page N, another thread kills page N while the scanner delivers it, and the
 * host starts its next job for the pages after it. With --g4 the pages come in Group 4; with
 * --patches the library looks for every kind of patch sheet, which sets a page's level. With
 * --pages N the host stops after page N, as hosts do with a flatbed, whose scanner has a page
 * whenever asked; the end line's code is then that of page N. The calls are resolved by name
 * from the DLL beside the program. Exit code 0 when every call the host makes outside the
 * pages answered as expected. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
/* Needs windows.h first. */
#include <prsht.h>

#include "../await_window.h"
#include "kovzaft2.h"

#define BUFFER_BYTES (64u << 20)

static int failures = 0;
static int32_t handle = 0;

/* The calls, resolved by name from the DLL beside the program. */
#define KOV_CALL(name) static __typeof__(name)* p##name;
KOV_CALL(SCANINIT)
KOV_CALL(SCANFREE)
KOV_CALL(SCANLASTERROR)
KOV_CALL(SCANOPEN)
KOV_CALL(SCANCLOSE)
KOV_CALL(SCANKILL)
KOV_CALL(SCANAREAEJECT)
KOV_CALL(SCANGETDATA)
KOV_CALL(SCANSETPARM)
KOV_CALL(SCANSETSTATE)
KOV_CALL(SCANPARMSDLG)
#undef KOV_CALL

/* Prints "LABEL NAME" for each TWAIN source manager loaded in this process; how many. */
static int PrintManagers(const char* label) {
  static const char* const names[] = {"TWAINDSM.dll", "twain_32.dll"};
  int loaded = 0;
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    if (GetModuleHandleA(names[i]) != NULL) {
      printf("%s %s\n", label, names[i]);
      ++loaded;
    }
  }
  return loaded;
}

static int ResolveCalls(void) {
  HMODULE library = LoadLibraryA("KOVZAFT2.dll");
  if (library == NULL) return 0;
#define KOV_RESOLVE(name) \
  if ((p##name = (__typeof__(name)*)(void*)GetProcAddress(library, #name)) == NULL) return 0;
  KOV_RESOLVE(SCANINIT)
  KOV_RESOLVE(SCANFREE)
  KOV_RESOLVE(SCANLASTERROR)
  KOV_RESOLVE(SCANOPEN)
  KOV_RESOLVE(SCANCLOSE)
  KOV_RESOLVE(SCANKILL)
  KOV_RESOLVE(SCANAREAEJECT)
  KOV_RESOLVE(SCANGETDATA)
  KOV_RESOLVE(SCANSETPARM)
  KOV_RESOLVE(SCANSETSTATE)
  KOV_RESOLVE(SCANPARMSDLG)
#undef KOV_RESOLVE
  return 1;
}

static void Expect(const char* call, uint16_t rc, uint16_t wanted) {
  if (rc == wanted) return;
  printf("FAILED %s gave 0x%x, wanted 0x%x\n", call, rc, wanted);
  ++failures;
}

static DWORD WINAPI KillSoon(LPVOID unused) {
  (void)unused;
  Sleep(5);
  pSCANKILL(handle);
  return 0;
}

static ParmRecord record;

static DWORD WINAPI ShowSettingsDialog(LPVOID unused) {
  (void)unused;
  return pSCANPARMSDLG("dev", &record);
}

/* The shown window owned by owner with that caption (NULL: any), or a failure. */
static HWND AwaitWindow(HWND owner, const char* caption) {
  HWND window = AwaitShownWindow(owner, caption);
  if (window == NULL) {
    printf("FAILED: no window %s shown\n", caption != NULL ? caption : "of the source");
    ++failures;
  }
  return window;
}

/* The source's (Wine's SANE source) page control for a SANE option: 0x100 + its number. */
static HWND OptionControl(HWND sheet, int option) {
  HWND page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
  HWND control = page != NULL ? GetDlgItem(page, 0x100 + option) : NULL;
  if (control == NULL) {
    printf("FAILED: the source's dialog has no control for option %d\n", option);
    ++failures;
  }
  return control;
}

/* Colour or gray and a resolution chosen in the source's own dialog, as a user would. SANE's
 * test backend: option 2 is the mode, 7 the resolution, a scroll bar in whole dots an inch
 * whose value the edit beside it shows. */
static uint16_t ChooseInSourceDialog(uint16_t bpp, uint32_t dpi) {
  HANDLE shower = CreateThread(NULL, 0, ShowSettingsDialog, NULL, 0, NULL);
  HWND controls = AwaitWindow(NULL, "Scanner Controls");
  HWND sheet, mode, resolution;
  DWORD result = 0xFFFF;
  int chosen = 0;
  int tries;
  if (shower == NULL || controls == NULL) return 0xFFFF;
  PostMessageA(controls, WM_COMMAND, 289, (LPARAM)GetDlgItem(controls, 289));
  sheet = AwaitWindow(controls, NULL);
  if (sheet != NULL && (mode = OptionControl(sheet, 2)) != NULL &&
      (resolution = OptionControl(sheet, 7)) != NULL) {
    HWND page = GetParent(mode);
    char shown[64] = "";
    if (SendMessageA(mode, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)(bpp == 24 ? "Color" : "Gray")) !=
        CB_ERR) {
      SendMessageA(page, WM_COMMAND, MAKEWPARAM(0x102, CBN_SELCHANGE), (LPARAM)mode);
      SendMessageA(resolution, SBM_SETPOS, dpi, TRUE);
      SendMessageA(page, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), (LPARAM)resolution);
      GetDlgItemTextA(page, 0x1107, shown, sizeof shown);
      chosen = (uint32_t)atoi(shown) == dpi;
    }
    if (!chosen) {
      printf("FAILED: %u bits at %u dpi not chosen in the source's dialog (it shows %s)\n", bpp,
             dpi, shown);
      ++failures;
    }
    PostMessageA(sheet, WM_COMMAND, chosen ? IDOK : IDCANCEL, 0);
  }
  /* The source's dialog gone, the library's takes the choice. */
  for (tries = 0; sheet != NULL && IsWindow(sheet) && tries < 1500; ++tries) Sleep(20);
  if (sheet != NULL && IsWindow(sheet)) {
    printf("FAILED: the source's dialog did not close\n");
    ++failures;
  }
  PostMessageA(controls, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(controls, IDOK));
  if (WaitForSingleObject(shower, 30000) == WAIT_OBJECT_0) GetExitCodeThread(shower, &result);
  CloseHandle(shower);
  return (uint16_t)result;
}

/* One page into `data`: its length, 0 when the scanner gave none (rc then says why). */
static uint32_t ScanPage(uint8_t* data, uint16_t* rc, KOV_PAGEHEADER** header) {
  uint32_t length = BUFFER_BYTES;
  uint32_t received;
  *rc = pSCANAREAEJECT(handle, header, data, &length);
  if (*rc != 0 && *rc != RC_SCAN_MORE_DATA) return 0;
  received = length;
  while (*rc == RC_SCAN_MORE_DATA && received < BUFFER_BYTES) {
    length = BUFFER_BYTES - received;
    *rc = pSCANGETDATA(handle, data + received, &length, 0);
    if (*rc != 0 && *rc != RC_SCAN_MORE_DATA) break;
    received += length;
  }
  return received;
}

int main(int argc, char** argv) {
  uint8_t* data;
  uint16_t bpp;
  SCAN_RES resolution;
  int page = 0;
  int killPage = 0;
  int lastPage = 0;
  int dialog = 0;
  int arg;
  char text[256];
  uint16_t rc = 0;

  /* Each line out at once, so a run that hangs shows how far it came. */
  setvbuf(stdout, NULL, _IONBF, 0);
  if (argc < 4) {
    printf(
        "usage: twain_scan OUTDIR BPP DPI [X Y WIDTH LENGTH] [--kill-in-page N] [--g4]"
        " [--patches] [--pages N] [--dialog]\n");
    return 2;
  }
  data = malloc(BUFFER_BYTES);
  if (data == NULL || !ResolveCalls()) {
    printf("FAILED: KOVZAFT2.dll or its calls not found\n");
    return 2;
  }
  bpp = (uint16_t)atoi(argv[2]);
  memset(&resolution, 0, sizeof resolution);
  resolution.ulXNum = resolution.ulYNum = (uint32_t)atoi(argv[3]);
  resolution.ulXDenom = resolution.ulYDenom = 1;

  Expect("SCANINIT", pSCANINIT(), 0);
  Expect("SCANOPEN", pSCANOPEN("dev", 0, &handle), 0);
  Expect("SCANSETPARM init", pSCANSETPARM("dev", &record, SCAN_PARM_INIT, NULL), 0);
  for (arg = 4; arg < argc; ++arg) dialog |= strcmp(argv[arg], "--dialog") == 0;
  if (dialog) {
    Expect("SCANPARMSDLG", ChooseInSourceDialog(bpp, resolution.ulXNum), 0);
  } else {
    Expect("SCANSETPARM bpp", pSCANSETPARM("dev", &record, SCAN_PARM_BPP, &bpp), 0);
    if (resolution.ulXNum != 0) {
      Expect("SCANSETPARM res", pSCANSETPARM("dev", &record, SCAN_PARM_RES, &resolution), 0);
    }
  }
  for (arg = 4; arg < argc; ++arg) {
    if (strcmp(argv[arg], "--kill-in-page") == 0 && arg + 1 < argc) {
      killPage = atoi(argv[++arg]);
    } else if (strcmp(argv[arg], "--g4") == 0) {
      uint16_t compression = SCAN_COMP_G4;
      Expect("SCANSETPARM comp", pSCANSETPARM("dev", &record, SCAN_PARM_COMP, &compression), 0);
    } else if (strcmp(argv[arg], "--pages") == 0 && arg + 1 < argc) {
      lastPage = atoi(argv[++arg]);
    } else if (strcmp(argv[arg], "--dialog") == 0) {
      continue;
    } else if (strcmp(argv[arg], "--patches") == 0) {
      record.p2 = record.p3 = record.pt = 1;
    } else if (arg + 3 < argc) {
      SCAN_AREA area;
      area.usX = (uint16_t)atoi(argv[arg]);
      area.usY = (uint16_t)atoi(argv[arg + 1]);
      area.usWidth = (uint16_t)atoi(argv[arg + 2]);
      area.usLength = (uint16_t)atoi(argv[arg + 3]);
      arg += 3;
      Expect("SCANSETPARM area", pSCANSETPARM("dev", &record, SCAN_PARM_AREA, &area), 0);
    }
  }
  Expect("SCANSETSTATE", pSCANSETSTATE(handle, &record), 0);

  while (lastPage == 0 || page < lastPage) {
    KOV_PAGEHEADER* header = NULL;
    HANDLE killer = NULL;
    uint32_t length;
    ++page;
    if (page == killPage) killer = CreateThread(NULL, 0, KillSoon, NULL, 0, NULL);
    length = ScanPage(data, &rc, &header);
    if (killer != NULL) {
      WaitForSingleObject(killer, INFINITE);
      CloseHandle(killer);
      pSCANLASTERROR(text, sizeof text);
      printf("killed 0x%x %s\n", rc, text);
      /* A killed job ends; the host starts its next one. */
      Expect("SCANSETSTATE after the kill", pSCANSETSTATE(handle, &record), 0);
      continue;
    }
    if (length == 0 || header == NULL) break;
    {
      char path[MAX_PATH];
      FILE* file;
      snprintf(path, sizeof path, "%s\\page%d.raw", argv[1], page);
      file = fopen(path, "wb");
      if (file == NULL || fwrite(data, 1, length, file) != length) ++failures;
      if (file != NULL) fclose(file);
      printf("page %d %u %u %u %u %u\n", page, header->usLines, header->usBytesPerLine,
             header->usBpp, header->ucLevel,
             header->ulXResDenom != 0 ? header->ulXResNum / header->ulXResDenom : 0);
    }
  }
  pSCANLASTERROR(text, sizeof text);
  printf("end 0x%x %s\n", rc, text);
  PrintManagers("manager");
  Expect("SCANCLOSE", pSCANCLOSE(handle), 0);
  Expect("SCANFREE", pSCANFREE(), 0);
  /* The manager is closed and unloaded. (Wine's manager keeps a source it closed loaded, on
   * purpose, so the source's module says nothing.) */
  if (PrintManagers("FAILED: still loaded after SCANFREE:") != 0) ++failures;
  free(data);
  return failures == 0 ? 0 : 1;
}
