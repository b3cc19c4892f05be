/* Lists the TWAIN data sources Wine's source manager finds, one "source: NAME" line each.
 * With names as arguments it also checks each of them is listed: exit code 0 when every
 * check held, and a FAILED line for each that did not. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "twain_min.h"

static DSMENTRYPROC dsm_entry;
static TW_IDENTITY app;

static unsigned condition(TW_IDENTITY *source) {
  TW_STATUS status = {0, 0};
  dsm_entry(&app, source, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
  return status.ConditionCode;
}

int main(int argc, char **argv) {
  HMODULE manager = LoadLibraryA("twain_32.dll");
  if (!manager) {
    printf("FAILED: no twain_32.dll (error %lu)\n", GetLastError());
    return 1;
  }
  dsm_entry = (DSMENTRYPROC)(void (*)(void))GetProcAddress(manager, "DSM_Entry");
  if (!dsm_entry) {
    printf("FAILED: twain_32.dll exports no DSM_Entry\n");
    return 1;
  }

  app.Version.MajorNum = 1;
  app.Version.Language = TWLG_USA;
  app.Version.Country = TWCY_USA;
  strcpy(app.Version.Info, "1.0");
  app.ProtocolMajor = 1;
  app.ProtocolMinor = 9;
  app.SupportedGroups = DG_CONTROL | DG_IMAGE;
  strcpy(app.Manufacturer, "Kovzaft tests");
  strcpy(app.ProductFamily, "TWAIN");
  strcpy(app.ProductName, "list_sources");

  /* The manager posts its messages to a window of the application; it never needs showing. */
  HWND window = CreateWindowA("STATIC", "list_sources", WS_POPUP, 0, 0, 1, 1, NULL, NULL,
                              GetModuleHandleA(NULL), NULL);
  TW_UINT16 rc = dsm_entry(&app, NULL, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window);
  if (rc != TWRC_SUCCESS) {
    printf("FAILED: MSG_OPENDSM gave %u, condition %u\n", rc, condition(NULL));
    return 1;
  }

  char names[64][sizeof(TW_STR32)];
  int count = 0;
  TW_IDENTITY source;
  memset(&source, 0, sizeof source);
  rc = dsm_entry(&app, NULL, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source);
  while (rc == TWRC_SUCCESS) {
    printf("source: %.*s (%.*s, %.*s)\n", (int)sizeof source.ProductName, source.ProductName,
           (int)sizeof source.Manufacturer, source.Manufacturer,
           (int)sizeof source.ProductFamily, source.ProductFamily);
    if (count < 64) {
      memcpy(names[count], source.ProductName, sizeof source.ProductName);
      names[count++][sizeof source.ProductName - 1] = '\0';
    }
    memset(&source, 0, sizeof source);
    rc = dsm_entry(&app, NULL, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &source);
  }
  int failures = 0;
  if (rc != TWRC_ENDOFLIST) {
    printf("FAILED: listing ended with %u, condition %u\n", rc, condition(NULL));
    ++failures;
  }

  rc = dsm_entry(&app, NULL, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window);
  if (rc != TWRC_SUCCESS) {
    printf("FAILED: MSG_CLOSEDSM gave %u\n", rc);
    ++failures;
  }
  DestroyWindow(window);
  FreeLibrary(manager);

  for (int i = 1; i < argc; ++i) {
    int found = 0;
    for (int j = 0; j < count; ++j) found |= strcmp(names[j], argv[i]) == 0;
    if (!found) {
      printf("FAILED: no source %s\n", argv[i]);
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
