/* A Windows host scanning a TWAIN source's feeder through KOVZAFT2.dll, for comparing its pages
 * with another program's. Usage:
 *   twain_scan OUTDIR BPP DPI [X Y WIDTH LENGTH] [--kill-in-page N] [--g4] [--patches]
 *              [--pages N]
 * DPI 0 leaves the scanner's resolution as it is. The profile beside the program names the
 * scanner. Each page's bytes go to OUTDIR\pageN.raw with a line
 * "page N LINES BYTES_PER_LINE BPP LEVEL DPI" on standard output (the header's level and
 * across resolution); the run ends with a line "end 0xRC TEXT", the code that ended
 * the feeder (RC_SCAN_ADF_EMPTY when it ran empty) and the library's text for it.
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
#undef KOV_CALL

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
  static ParmRecord record;
  uint8_t* data;
  uint16_t bpp;
  SCAN_RES resolution;
  int page = 0;
  int killPage = 0;
  int lastPage = 0;
  int arg;
  char text[256];
  uint16_t rc = 0;

  /* Each line out at once, so a run that hangs shows how far it came. */
  setvbuf(stdout, NULL, _IONBF, 0);
  if (argc < 4) {
    printf(
        "usage: twain_scan OUTDIR BPP DPI [X Y WIDTH LENGTH] [--kill-in-page N] [--g4]"
        " [--patches] [--pages N]\n");
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
  Expect("SCANSETPARM bpp", pSCANSETPARM("dev", &record, SCAN_PARM_BPP, &bpp), 0);
  if (resolution.ulXNum != 0) {
    Expect("SCANSETPARM res", pSCANSETPARM("dev", &record, SCAN_PARM_RES, &resolution), 0);
  }
  for (arg = 4; arg < argc; ++arg) {
    if (strcmp(argv[arg], "--kill-in-page") == 0 && arg + 1 < argc) {
      killPage = atoi(argv[++arg]);
    } else if (strcmp(argv[arg], "--g4") == 0) {
      uint16_t compression = SCAN_COMP_G4;
      Expect("SCANSETPARM comp", pSCANSETPARM("dev", &record, SCAN_PARM_COMP, &compression), 0);
    } else if (strcmp(argv[arg], "--pages") == 0 && arg + 1 < argc) {
      lastPage = atoi(argv[++arg]);
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
  Expect("SCANCLOSE", pSCANCLOSE(handle), 0);
  Expect("SCANFREE", pSCANFREE(), 0);
  free(data);
  return failures == 0 ? 0 : 1;
}
