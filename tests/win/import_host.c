/* A host linked with the DLL's import library, as a Windows host developer builds one with
 * the header: it must link and its calls must reach the DLL. Exit code 0 when they do. */
#include <stdio.h>

#include "kovzaft2.h"

int main(void) {
  char names[256] = "";
  uint16_t init = SCANINIT();
  uint16_t query = SCANQUERYDEVNAMES(names, sizeof names);
  uint16_t freed = SCANFREE();
  printf("SCANINIT 0x%x, SCANQUERYDEVNAMES 0x%x, SCANFREE 0x%x\n", init, query, freed);
  return init == 0 && query == 0 && freed == 0 ? 0 : 1;
}
