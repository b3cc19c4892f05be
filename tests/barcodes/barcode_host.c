/* A host scanning the framework's scanner through the library with barcode search on, for
 * comparing the builds: a line per page with the barcode entries of its header, number and
 * text ("page 2: 1 INV-2026-0001"), then "end" and the code that ended the feeder. Exit code 0
 * when the feeder ran empty. Built for Linux and, linked through the import library, for
 * Windows. */
#include <stdio.h>

#include "kovzaft2.h"

static uint8_t buffer[1 << 20];

/* The library allocates it at the first page. */
static KOV_PAGEHEADER* header = NULL;

static uint16_t ScanPage(int32_t handle, int page) {
  uint32_t length = sizeof buffer;
  int entry;
  uint16_t rc = SCANAREAEJECT(handle, &header, buffer, &length);
  while (rc == RC_SCAN_MORE_DATA) {
    length = sizeof buffer;
    rc = SCANGETDATA(handle, buffer, &length, 0);
  }
  if (rc == RC_SCAN_NO_DATA) rc = 0;
  if (rc != 0) return rc;
  printf("page %d:", page);
  for (entry = 0; entry < BARCODE_ENTRY_COUNT; ++entry) {
    const KOV_BARCODE* code = &header->aBarcodes[entry];
    if (code->usLength != 0) {
      printf(" %u %.*s", (unsigned)code->usNumber, BARCODE_TEXT_SIZE, code->szText);
    }
  }
  printf("\n");
  return 0;
}

int main(void) {
  static ParmRecord record;
  int32_t handle = 0;
  int page = 0;
  uint16_t rc = SCANINIT();
  if (rc == 0) rc = SCANOPEN("ZAFT Drivers", 0, &handle);
  if (rc == 0) rc = SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_INIT, NULL);
  record.bro = 1;
  if (rc == 0) rc = SCANSETSTATE(handle, &record);
  while (rc == 0) rc = ScanPage(handle, ++page);
  printf("end 0x%x\n", rc);
  SCANCLOSE(handle);
  SCANFREE();
  return rc == RC_SCAN_ADF_EMPTY ? 0 : 1;
}
