/* Hosts written in C include the interface too: it must compile as C11, layout pins and all. */
#include "kovzaft2.h"

typedef uint16_t(KOVAPI* ScanInitCall)(void);

size_t HeaderInCRecordSizes(void) {
  ScanInitCall init = SCANINIT;
  (void)init;
  return sizeof(ParmRecord) + sizeof(KOV_PAGEHEADER);
}
