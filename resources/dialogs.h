/* The library's dialog templates: one list per dialog, read by the resource compiler
 * (kovzaft2.rc turns each entry into a CONTROL statement) and by C++ (the POSIX dialog
 * runtime builds its windows from the same entries). Plain macros and numbers only; the style
 * bits are the Windows values. */
#ifndef KOVZAFT2_RESOURCES_DIALOGS_H
#define KOVZAFT2_RESOURCES_DIALOGS_H

#define IDD_SCANNER_CONTROLS 259
#define IDD_BAR_PATCH 260

/* Window and button styles, as the dialog manager defines them. */
#define KOV_WS_POPUP 0x80000000L
#define KOV_WS_CHILD 0x40000000L
#define KOV_WS_VISIBLE 0x10000000L
#define KOV_WS_CAPTION 0x00C00000L
#define KOV_WS_SYSMENU 0x00080000L
#define KOV_WS_GROUP 0x00020000L
#define KOV_WS_TABSTOP 0x00010000L
#define KOV_DS_MODALFRAME 0x80L
#define KOV_BS_PUSHBUTTON 0x0L
#define KOV_BS_DEFPUSHBUTTON 0x1L
#define KOV_BS_AUTOCHECKBOX 0x3L
#define KOV_BS_GROUPBOX 0x7L
#define KOV_BS_AUTORADIOBUTTON 0x9L

/* Both dialogs: a visible popup with caption, system menu and modal frame, "System" 8. */
#define KOV_DIALOG_STYLE (KOV_WS_POPUP | KOV_WS_VISIBLE | KOV_WS_CAPTION | KOV_WS_SYSMENU | KOV_DS_MODALFRAME)
#define KOV_DIALOG_CAPTION "Scanner Controls"
#define KOV_DIALOG_FONT "System"
#define KOV_DIALOG_FONT_SIZE 8

/* The controls' kinds: the button style with the flags each kind of entry carries. */
#define KOV_GROUP_BOX KOV_BS_GROUPBOX
#define KOV_FIRST_RADIO (KOV_BS_AUTORADIOBUTTON | KOV_WS_GROUP | KOV_WS_TABSTOP)
#define KOV_RADIO KOV_BS_AUTORADIOBUTTON
#define KOV_CHECK_BOX (KOV_BS_AUTOCHECKBOX | KOV_WS_GROUP | KOV_WS_TABSTOP)
#define KOV_PUSH_BUTTON (KOV_BS_PUSHBUTTON | KOV_WS_TABSTOP)
#define KOV_DEFAULT_BUTTON (KOV_BS_DEFPUSHBUTTON | KOV_WS_GROUP | KOV_WS_TABSTOP)

/* Template 259: X(id, kind, text, x, y, width, height), in creation order. */
#define KOV_SCANNER_CONTROLS_DIALOG 6, 25, 238, 158
#define KOV_SCANNER_CONTROLS(X)                                                    \
  X(262, KOV_GROUP_BOX, "Type of scan", 10, 8, 109, 52)                            \
  X(268, KOV_FIRST_RADIO, "&Flatbed", 14, 20, 93, 12)                               \
  X(269, KOV_RADIO, "Simplex (through the ADF)", 14, 32, 93, 12)                   \
  X(270, KOV_RADIO, "Duplex (through the ADF)", 14, 44, 93, 12)                    \
  X(286, KOV_GROUP_BOX, "Misc", 10, 65, 109, 41)                                   \
  X(298, KOV_CHECK_BOX, "Use Job Separators", 14, 74, 93, 12)                      \
  X(297, KOV_CHECK_BOX, "Scanahead (Prefetch)", 14, 90, 93, 12)                    \
  X(290, KOV_GROUP_BOX, "Compression", 123, 8, 88, 98)                             \
  X(291, KOV_FIRST_RADIO, "&Uncompressed", 134, 18, 72, 12)                         \
  X(292, KOV_RADIO, "CCITT Group3 (1d)", 134, 32, 72, 12)                          \
  X(293, KOV_RADIO, "CCITT Group3 (2d)", 134, 45, 72, 12)                          \
  X(294, KOV_RADIO, "CCITT Group4 (2d)", 134, 58, 72, 12)                          \
  X(295, KOV_RADIO, "JPEG", 134, 70, 72, 12)                                       \
  X(289, KOV_PUSH_BUTTON, "Configure Image Parameters...", 8, 115, 105, 14)        \
  X(1, KOV_DEFAULT_BUTTON, "OK", 9, 137, 50, 14)                                   \
  X(2, KOV_PUSH_BUTTON, "Cancel", 118, 137, 50, 14)                                \
  X(258, KOV_PUSH_BUTTON, "Save as...", 68, 137, 40, 14)                           \
  X(1000, KOV_PUSH_BUTTON, "Configure Bar/Patch...", 123, 115, 88, 14)

/* Template 260. */
#define KOV_BAR_PATCH_DIALOG 6, 25, 238, 98
#define KOV_BAR_PATCH(X)                                                           \
  X(1001, KOV_GROUP_BOX, "Patch Code Detection", 8, 8, 103, 57)                    \
  X(1002, KOV_CHECK_BOX, "Detect Patch II's", 12, 17, 93, 12)                      \
  X(1003, KOV_CHECK_BOX, "Detect Patch III's", 12, 32, 93, 12)                     \
  X(1004, KOV_CHECK_BOX, "Detect Patch T's", 12, 47, 93, 12)                       \
  X(1005, KOV_GROUP_BOX, "Bar Code Detection", 125, 8, 103, 57)                    \
  X(1006, KOV_CHECK_BOX, "Search for Bar Codes", 129, 17, 93, 12)                  \
  X(1007, KOV_PUSH_BUTTON, "Configure Barcode", 130, 41, 93, 14)                   \
  X(1, KOV_DEFAULT_BUTTON, "OK", 42, 73, 50, 14)                                   \
  X(2, KOV_PUSH_BUTTON, "Cancel", 151, 73, 50, 14)

#endif
