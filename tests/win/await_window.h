/* Test hosts: waiting for a window of this process to show, as a user would see it. */
#ifndef KOVZAFT2_TESTS_WIN_AWAIT_WINDOW_H
#define KOVZAFT2_TESTS_WIN_AWAIT_WINDOW_H

#include <string.h>
#include <windows.h>

struct WindowSearch {
  HWND owner;
  const char* caption; /* NULL: any */
  HWND found;
};

static BOOL CALLBACK MatchShownWindow(HWND window, LPARAM parameter) {
  struct WindowSearch* search = (struct WindowSearch*)parameter;
  char caption[64] = "";
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
  GetWindowTextA(window, caption, sizeof caption);
  if (search->caption != NULL && strcmp(caption, search->caption) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

/* The shown window that owner owns (NULL: a top one), captioned so (NULL: any caption); NULL
 * when none shows within 30 seconds. */
static HWND AwaitShownWindow(HWND owner, const char* caption) {
  int tries;
  for (tries = 0; tries < 1500; ++tries) {
    struct WindowSearch search = {owner, caption, NULL};
    EnumWindows(MatchShownWindow, (LPARAM)&search);
    if (search.found != NULL) return search.found;
    Sleep(20);
  }
  return NULL;
}

#endif
