/* The library's dialog templates: one list per dialog, read by the resource compiler
 * (kovzaft2.rc turns each entry into a CONTROL statement) and by C++ (the POSIX dialog
 * runtime builds its windows from the same entries). Plain macros and numbers only; the style
 * bits are the Windows values. */
#ifndef KOVZAFT2_RESOURCES_DIALOGS_H
#define KOVZAFT2_RESOURCES_DIALOGS_H

#define IDD_SCANNER_CONTROLS 259
#define IDD_BAR_PATCH 260

/* Control numbers. */
#define IDC_OK 1
#define IDC_CANCEL 2
#define IDC_SCAN_TYPE_BOX 262
#define IDC_FLATBED 268
#define IDC_SIMPLEX 269
#define IDC_DUPLEX 270
#define IDC_MISC_BOX 286
#define IDC_JOB_SEPARATORS 298
#define IDC_SCAN_AHEAD 297
#define IDC_COMPRESSION_BOX 290
#define IDC_UNCOMPRESSED 291
#define IDC_G3_1D 292
#define IDC_G3_2D 293
#define IDC_G4 294
#define IDC_JPEG 295
#define IDC_IMAGE_PARAMETERS 289
#define IDC_SAVE_AS 258
#define IDC_BAR_PATCH 1000
#define IDC_PATCH_BOX 1001
#define IDC_PATCH_2 1002
#define IDC_PATCH_3 1003
#define IDC_PATCH_T 1004
#define IDC_BARCODE_BOX 1005
#define IDC_SEARCH_BARCODES 1006
#define IDC_CONFIGURE_BARCODE 1007

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
#define KOV_DIALOG_STYLE \
  (KOV_WS_POPUP | KOV_WS_VISIBLE | KOV_WS_CAPTION | KOV_WS_SYSMENU | KOV_DS_MODALFRAME)
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
#define KOV_SCANNER_CONTROLS(X)                                                              \
  X(IDC_SCAN_TYPE_BOX, KOV_GROUP_BOX, "Type of scan", 10, 8, 109, 52)                        \
  X(IDC_FLATBED, KOV_FIRST_RADIO, "&Flatbed", 14, 20, 93, 12)                                \
  X(IDC_SIMPLEX, KOV_RADIO, "Simplex (through the ADF)", 14, 32, 93, 12)                     \
  X(IDC_DUPLEX, KOV_RADIO, "Duplex (through the ADF)", 14, 44, 93, 12)                       \
  X(IDC_MISC_BOX, KOV_GROUP_BOX, "Misc", 10, 65, 109, 41)                                    \
  X(IDC_JOB_SEPARATORS, KOV_CHECK_BOX, "Use Job Separators", 14, 74, 93, 12)                 \
  X(IDC_SCAN_AHEAD, KOV_CHECK_BOX, "Scanahead (Prefetch)", 14, 90, 93, 12)                   \
  X(IDC_COMPRESSION_BOX, KOV_GROUP_BOX, "Compression", 123, 8, 88, 98)                       \
  X(IDC_UNCOMPRESSED, KOV_FIRST_RADIO, "&Uncompressed", 134, 18, 72, 12)                     \
  X(IDC_G3_1D, KOV_RADIO, "CCITT Group3 (1d)", 134, 32, 72, 12)                              \
  X(IDC_G3_2D, KOV_RADIO, "CCITT Group3 (2d)", 134, 45, 72, 12)                              \
  X(IDC_G4, KOV_RADIO, "CCITT Group4 (2d)", 134, 58, 72, 12)                                 \
  X(IDC_JPEG, KOV_RADIO, "JPEG", 134, 70, 72, 12)                                            \
  X(IDC_IMAGE_PARAMETERS, KOV_PUSH_BUTTON, "Configure Image Parameters...", 8, 115, 105, 14) \
  X(IDC_OK, KOV_DEFAULT_BUTTON, "OK", 9, 137, 50, 14)                                        \
  X(IDC_CANCEL, KOV_PUSH_BUTTON, "Cancel", 118, 137, 50, 14)                                 \
  X(IDC_SAVE_AS, KOV_PUSH_BUTTON, "Save as...", 68, 137, 40, 14)                             \
  X(IDC_BAR_PATCH, KOV_PUSH_BUTTON, "Configure Bar/Patch...", 123, 115, 88, 14)

/* Template 260. */
#define KOV_BAR_PATCH_DIALOG 6, 25, 238, 98
#define KOV_BAR_PATCH(X)                                                          \
  X(IDC_PATCH_BOX, KOV_GROUP_BOX, "Patch Code Detection", 8, 8, 103, 57)          \
  X(IDC_PATCH_2, KOV_CHECK_BOX, "Detect Patch II's", 12, 17, 93, 12)              \
  X(IDC_PATCH_3, KOV_CHECK_BOX, "Detect Patch III's", 12, 32, 93, 12)             \
  X(IDC_PATCH_T, KOV_CHECK_BOX, "Detect Patch T's", 12, 47, 93, 12)               \
  X(IDC_BARCODE_BOX, KOV_GROUP_BOX, "Bar Code Detection", 125, 8, 103, 57)        \
  X(IDC_SEARCH_BARCODES, KOV_CHECK_BOX, "Search for Bar Codes", 129, 17, 93, 12)  \
  X(IDC_CONFIGURE_BARCODE, KOV_PUSH_BUTTON, "Configure Barcode", 130, 41, 93, 14) \
  X(IDC_OK, KOV_DEFAULT_BUTTON, "OK", 42, 73, 50, 14)                             \
  X(IDC_CANCEL, KOV_PUSH_BUTTON, "Cancel", 151, 73, 50, 14)

#endif
