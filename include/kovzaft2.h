/*
 * KOVZAFT2 host interface.
 *
 * A host opens the one scanner, sets scan parameters in a ParmRecord of its own, and scans
 * page after page, each page preceded by a 253-byte KOV_PAGEHEADER. Every call returns a
 * 16-bit RC_SCAN_ code, 0 for success; SCANLASTERROR turns the last one into text.
 *
 * Usable from C and C++. All records are byte-packed and little-endian.
 */
#ifndef KOVZAFT2_H
#define KOVZAFT2_H

#include <stddef.h>
#include <stdint.h>

/* The calling convention belongs on declaration and definition alike: a 32-bit Windows host
 * resolves the exports as stdcall, and a mismatch corrupts its stack without any warning. */
#if defined(_WIN32) && !defined(_WIN64)
#define KOVAPI __stdcall
#else
#define KOVAPI
#endif

/* On Linux the library exports only these names; on Windows its .def file names the exports
 * and their ordinals, so no declaration carries dllexport. */
#if defined(KOVZAFT2_BUILDING) && !defined(_WIN32)
#define KOVEXPORT __attribute__((visibility("default")))
#else
#define KOVEXPORT
#endif

/* Nothing the library does throws across a call or a callback. */
#ifdef __cplusplus
#define KOV_STATIC_ASSERT static_assert
#define KOV_NOEXCEPT noexcept
extern "C" {
#else
#define KOV_STATIC_ASSERT _Static_assert
#define KOV_NOEXCEPT
#endif

/* ---- Return codes ------------------------------------------------------------------- */

#define RC_SCAN_OK 0x0000
#define RC_SCAN_ALREADY_BUSY 0x6100
#define RC_SCAN_ALREADY_INITIALIZED 0x6101
#define RC_SCAN_DEVICE_ERROR 0x6102
#define RC_SCAN_DLG_CANCEL 0x6103
#define RC_SCAN_ERROR_TRUNC 0x6104
#define RC_SCAN_FUNC_NOT_SUPPORTED 0x6105
#define RC_SCAN_HEADER_TOO_SHORT 0x6106
#define RC_SCAN_INVALID_DEVICE_NAME 0x6107
#define RC_SCAN_INVALID_HANDLE 0x6108
#define RC_SCAN_INVALID_IDENTIFIER 0x6109
#define RC_SCAN_INVALID_PARM 0x610a
#define RC_SCAN_LENGTH_TOO_SHORT 0x610b
#define RC_SCAN_MORE_DATA 0x610c
#define RC_SCAN_NOT_ENOUGH_MEMORY 0x610d
#define RC_SCAN_NOT_INITIALIZED 0x610e
#define RC_SCAN_NO_DATA 0x610f
#define RC_SCAN_NO_ERROR_MESSAGE 0x6110
#define RC_SCAN_NO_ERROR_STORED 0x6111
#define RC_SCAN_OPEN_VIOLATION 0x6112
#define RC_SCAN_PARM_CANNOT_BE_MODIFIED 0x6113
#define RC_SCAN_POWER_OFF 0x6114
#define RC_SCAN_TIMEOUT 0x6115
#define RC_SCAN_ADF_EMPTY 0x6116
#define RC_SCAN_ATT_REQ 0x6117
#define RC_SCAN_DLG_SAVEAS 0x611a
#define RC_SCAN_ZAFT_ERROR 0x6120
#define RC_SCAN_CANT_FIND_DSC 0x6121
#define RC_SCAN_CANT_OPEN_DSC 0x6122
#define RC_SCAN_CANT_READ_DSC 0x6123
#define RC_SCAN_NO_DRIVER 0x6124

/* The failure codes above as one list, for code that names them (the library's texts and
 * traces, a host's messages): KOV_RETURN_CODES(X) applies X to each, in the order of their
 * values, e.g.
 *   #define NAMED(code) {code, #code},
 *   static const struct { uint16_t code; const char* name; } names[] = {KOV_RETURN_CODES(NAMED)};
 */
#define KOV_RETURN_CODES(X)          \
  X(RC_SCAN_ALREADY_BUSY)            \
  X(RC_SCAN_ALREADY_INITIALIZED)     \
  X(RC_SCAN_DEVICE_ERROR)            \
  X(RC_SCAN_DLG_CANCEL)              \
  X(RC_SCAN_ERROR_TRUNC)             \
  X(RC_SCAN_FUNC_NOT_SUPPORTED)      \
  X(RC_SCAN_HEADER_TOO_SHORT)        \
  X(RC_SCAN_INVALID_DEVICE_NAME)     \
  X(RC_SCAN_INVALID_HANDLE)          \
  X(RC_SCAN_INVALID_IDENTIFIER)      \
  X(RC_SCAN_INVALID_PARM)            \
  X(RC_SCAN_LENGTH_TOO_SHORT)        \
  X(RC_SCAN_MORE_DATA)               \
  X(RC_SCAN_NOT_ENOUGH_MEMORY)       \
  X(RC_SCAN_NOT_INITIALIZED)         \
  X(RC_SCAN_NO_DATA)                 \
  X(RC_SCAN_NO_ERROR_MESSAGE)        \
  X(RC_SCAN_NO_ERROR_STORED)         \
  X(RC_SCAN_OPEN_VIOLATION)          \
  X(RC_SCAN_PARM_CANNOT_BE_MODIFIED) \
  X(RC_SCAN_POWER_OFF)               \
  X(RC_SCAN_TIMEOUT)                 \
  X(RC_SCAN_ADF_EMPTY)               \
  X(RC_SCAN_ATT_REQ)                 \
  X(RC_SCAN_DLG_SAVEAS)              \
  X(RC_SCAN_ZAFT_ERROR)              \
  X(RC_SCAN_CANT_FIND_DSC)           \
  X(RC_SCAN_CANT_OPEN_DSC)           \
  X(RC_SCAN_CANT_READ_DSC)           \
  X(RC_SCAN_NO_DRIVER)

/* ---- Scanner handle ------------------------------------------------------------------ */

/* SCANOPEN always hands out 1; no scanner open is 9999999. */
#define SCAN_HANDLE_OPEN 1
#define SCAN_HANDLE_NONE 9999999

/* ---- Parameter record ---------------------------------------------------------------- */

#define PARM_RECORD_SIZE 57546
#define PARM_SETTINGS_SIZE 53248
#define PARM_OLD_ENTRY_SIZE 71 /* older settings format: 19-byte name, 52-byte value */
#define PARM_OLD_NAME_SIZE 19

#pragma pack(push, 1)

typedef struct ParmRecord {
  uint16_t usSize;                      /* 57546 once captured; 0 = fresh record */
  char szDriver[60];                    /* scanner driver to load */
  char szID[128];                       /* scanner identification at capture */
  int16_t sOldCount;                    /* 0 = current settings format; > 0 = older entries */
  char achSettings[PARM_SETTINGS_SIZE]; /* name NUL value NUL ... empty name */
  uint16_t sSettingsLen;                /* bytes in use before the end mark */
  int32_t lFeeder;                      /* 1 feeder, 0 flatbed */
  int32_t lDiscardState;                /* nonzero: barcode state is not applied */
  uint8_t abReserved[4];
  uint8_t p2;                /* detect Patch II */
  uint8_t p3;                /* detect Patch III */
  uint8_t pt;                /* detect Patch T */
  uint8_t bro;               /* search for barcodes */
  char szBarcodeState[4080]; /* barcode component state text */
  int32_t lCompression;      /* TIFF Compression: 1, 3, 4 or 6 */
  int32_t lT4Options;        /* TIFF T4Options; bit 0 = 2-D coding */
} ParmRecord;

/* ---- Page header --------------------------------------------------------------------- */

#define PAGE_HEADER_SIZE 253
#define BARCODE_ENTRY_COUNT 5
#define BARCODE_TEXT_SIZE 21

typedef struct KOV_BARCODE {
  uint16_t usLength; /* 25 */
  uint16_t usNumber; /* 1 to 5 */
  char szText[BARCODE_TEXT_SIZE];
} KOV_BARCODE;

typedef struct KOV_PAGEHEADER {
  uint16_t usHeaderLength; /* the host's buffer size, at least 253 */
  uint8_t abZero1[8];
  uint32_t ulXResNum;
  uint32_t ulXResDenom;
  uint32_t ulYResNum;
  uint32_t ulYResDenom;
  uint16_t usZero2;
  uint16_t usLines;
  uint16_t usBytesPerLine;
  uint16_t usBpp;
  uint16_t usCompression; /* host compression code */
  uint8_t ucSide;
  int32_t lSeqNumber;
  uint8_t ucLevel;
  uint8_t abUnused[2];
  uint16_t usDf1Length; /* 15 */
  uint16_t usDf1Number; /* 1 */
  char szDf1Data[11];
  uint16_t usDf2Length; /* 69 */
  uint16_t usDf2Number; /* 2 */
  char szDf2Data[65];
  KOV_BARCODE aBarcodes[BARCODE_ENTRY_COUNT];
} KOV_PAGEHEADER;

/* ---- usParm identifiers and value layouts -------------------------------------------- */

#define SCAN_PARM_INIT 0    /* set: rebuild the record */
#define SCAN_PARM_VERSION 0 /* query: uint32_t */
#define SCAN_PARM_RES 1     /* SCAN_RES */
#define SCAN_PARM_BPP 2     /* uint16_t: 1, 4, 8, 12 or 24 */
#define SCAN_PARM_AREA 3    /* SCAN_AREA */
#define SCAN_PARM_COMP 4    /* uint16_t host compression code */
#define SCAN_PARM_ADF 5     /* int16_t: -1 flatbed, 0 or 1 feeder */
#define SCAN_PARM_QCTRL 6   /* SCAN_QCTRL */

typedef struct SCAN_RES {
  uint32_t ulXNum;
  uint32_t ulXDenom;
  uint32_t ulYNum;
  uint32_t ulYDenom;
  uint16_t usZero; /* must be 0 */
} SCAN_RES;

typedef struct SCAN_AREA {
  uint16_t usX;
  uint16_t usY;
  uint16_t usWidth;
  uint16_t usLength;
} SCAN_AREA;

typedef struct SCAN_QCTRL {
  uint32_t ulIndex;
  uint32_t ulValue;
} SCAN_QCTRL;

/* SCANSETENV identifiers. */
#define SCAN_ENV_SAVEAS 2 /* uint16_t: 1 enables the Save-as dialog */

/* SCANQUERYINFO information types. */
#define SCAN_INFO_PARM_SIZE 0     /* uint16_t */
#define SCAN_INFO_DEVNAMES_SIZE 1 /* uint16_t */
#define SCAN_INFO_QCTRL_COUNT 4   /* uint16_t */
#define SCAN_INFO_QCTRL 5         /* SCAN_QCTRL_INFO */

typedef struct SCAN_QCTRL_INFO {
  uint32_t ulIndex; /* in */
  uint32_t ulValue; /* out */
  char szTitle[32];
  char szRange[32];
} SCAN_QCTRL_INFO;

/* SCANQUERYCLT: the host provides 256 entries; byte 3 of an entry is left as it was. */
typedef struct SCAN_CLT_ENTRY {
  uint8_t abValue[3];
  uint8_t ucReserved;
} SCAN_CLT_ENTRY;

#pragma pack(pop)

/* ---- Host compression codes ---------------------------------------------------------- */

#define SCAN_COMP_NONE 3
#define SCAN_COMP_G3_1D 0x80
#define SCAN_COMP_G3_2D 0x81
#define SCAN_COMP_G4 0x82
#define SCAN_COMP_JPEG 0xCA83

/* ---- Exported calls ------------------------------------------------------------------ */

KOVEXPORT uint16_t KOVAPI SCANINIT(void) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANFREE(void) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANLASTERROR(char* pszText, uint16_t usLength) KOV_NOEXCEPT;

KOVEXPORT uint16_t KOVAPI SCANOPEN(const char* pszDevName, int32_t Timeout,
                                   int32_t* phScanHdl) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANCLOSE(int32_t hScanHdl) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANSETSEQNUM(int32_t hScanHdl, int32_t lSeqNumber) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANPAUSE(int32_t hScanHdl) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANKILL(int32_t hScanHdl) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANSETPRTTEXT(int32_t hScanHdl, uint32_t ulSeqLen,
                                         const char* pszPrtText, int32_t bOn) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANSETENV(const char* pszDevName, uint16_t usParm,
                                     const uint16_t* pValue) KOV_NOEXCEPT;

/* Part of the host interface, not served: they answer RC_SCAN_FUNC_NOT_SUPPORTED. */
KOVEXPORT uint16_t KOVAPI SCANAREA(int32_t hScanHdl, int32_t lArg1, int32_t lArg2,
                                   int32_t lArg3) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANENDPAGE(int32_t hScanHdl) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANFLUSH(int32_t hScanHdl) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANRESET(int32_t hScanHdl) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANRESTART(int32_t hScanHdl, int32_t lSeqNumber) KOV_NOEXCEPT;

/* ppHeader points at the host's header pointer; a null header pointer gets a 253-byte
 * buffer that the host then owns. pucData may be null: pulDataLen then gets the page size. */
KOVEXPORT uint16_t KOVAPI SCANAREAEJECT(int32_t hScanHdl, KOV_PAGEHEADER** ppHeader,
                                        uint8_t* pucData, uint32_t* pulDataLen) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANGETDATA(int32_t hScanHdl, uint8_t* pucData, uint32_t* pulDataLen,
                                      int32_t lReserved) KOV_NOEXCEPT;

KOVEXPORT uint16_t KOVAPI SCANSETPARM(const char* pszDevName, ParmRecord* pParms, uint16_t usParm,
                                      void* pValue) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANSETSTATE(int32_t hScanHdl, ParmRecord* pParms) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANPARMSDLG(const char* pszDevName, ParmRecord* pParms) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANPARMSDLG2(const char* pszDevName, ParmRecord* pParms,
                                        int32_t lDialogOption) KOV_NOEXCEPT;

KOVEXPORT uint16_t KOVAPI SCANQUERYDEVNAMES(char* pszDevNames, uint16_t usLength) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANQUERYINFO(const char* pszDevName, uint16_t usInfoType,
                                        void* pValue) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANQUERYPARM(ParmRecord* pParms, uint16_t usParm,
                                        void* pValue) KOV_NOEXCEPT;
KOVEXPORT uint16_t KOVAPI SCANQUERYCLT(ParmRecord* pParms, SCAN_CLT_ENTRY* pClt) KOV_NOEXCEPT;

/* ---- Callbacks called by drivers ----------------------------------------------------- */

/* Storage filter entry the framework chains behind every page. */
KOVEXPORT int32_t KOVAPI MyStore(void* pContext, uint32_t ulMessage, int32_t lArgument,
                                 void* pPointer) KOV_NOEXCEPT;
/* Saved-settings callbacks; the first argument is reserved (0). */
KOVEXPORT int32_t KOVAPI SaveCallback(int32_t lReserved, const char* pszName, const char* pszValue,
                                      ParmRecord* pParms) KOV_NOEXCEPT;
KOVEXPORT int32_t KOVAPI RestoreCallback(int32_t lReserved, const char* pszName,
                                         const char* pszDefault, char* pszBuffer,
                                         int32_t lBufferSize, ParmRecord* pParms) KOV_NOEXCEPT;
KOVEXPORT int32_t KOVAPI OldRestoreCallback(int32_t lReserved, const char* pszName,
                                            const char* pszDefault, char* pszBuffer,
                                            int32_t lBufferSize, ParmRecord* pParms) KOV_NOEXCEPT;

/* ---- Layout pins --------------------------------------------------------------------- */

KOV_STATIC_ASSERT(sizeof(ParmRecord) == PARM_RECORD_SIZE, "ParmRecord size");
KOV_STATIC_ASSERT(offsetof(ParmRecord, usSize) == 0, "usSize");
KOV_STATIC_ASSERT(offsetof(ParmRecord, szDriver) == 2, "szDriver");
KOV_STATIC_ASSERT(offsetof(ParmRecord, szID) == 62, "szID");
KOV_STATIC_ASSERT(offsetof(ParmRecord, sOldCount) == 190, "sOldCount");
KOV_STATIC_ASSERT(offsetof(ParmRecord, achSettings) == 192, "achSettings");
KOV_STATIC_ASSERT(offsetof(ParmRecord, sSettingsLen) == 53440, "sSettingsLen");
KOV_STATIC_ASSERT(offsetof(ParmRecord, lFeeder) == 53442, "lFeeder");
KOV_STATIC_ASSERT(offsetof(ParmRecord, lDiscardState) == 53446, "lDiscardState");
KOV_STATIC_ASSERT(offsetof(ParmRecord, abReserved) == 53450, "abReserved");
KOV_STATIC_ASSERT(offsetof(ParmRecord, p2) == 53454, "p2");
KOV_STATIC_ASSERT(offsetof(ParmRecord, p3) == 53455, "p3");
KOV_STATIC_ASSERT(offsetof(ParmRecord, pt) == 53456, "pt");
KOV_STATIC_ASSERT(offsetof(ParmRecord, bro) == 53457, "bro");
KOV_STATIC_ASSERT(offsetof(ParmRecord, szBarcodeState) == 53458, "szBarcodeState");
KOV_STATIC_ASSERT(offsetof(ParmRecord, lCompression) == 57538, "lCompression");
KOV_STATIC_ASSERT(offsetof(ParmRecord, lT4Options) == 57542, "lT4Options");

KOV_STATIC_ASSERT(sizeof(KOV_BARCODE) == 25, "KOV_BARCODE size");
KOV_STATIC_ASSERT(offsetof(KOV_BARCODE, usLength) == 0, "usLength");
KOV_STATIC_ASSERT(offsetof(KOV_BARCODE, usNumber) == 2, "usNumber");
KOV_STATIC_ASSERT(offsetof(KOV_BARCODE, szText) == 4, "szText");

KOV_STATIC_ASSERT(sizeof(KOV_PAGEHEADER) == PAGE_HEADER_SIZE, "KOV_PAGEHEADER size");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usHeaderLength) == 0, "usHeaderLength");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, abZero1) == 2, "abZero1");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, ulXResNum) == 10, "ulXResNum");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, ulXResDenom) == 14, "ulXResDenom");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, ulYResNum) == 18, "ulYResNum");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, ulYResDenom) == 22, "ulYResDenom");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usZero2) == 26, "usZero2");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usLines) == 28, "usLines");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usBytesPerLine) == 30, "usBytesPerLine");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usBpp) == 32, "usBpp");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usCompression) == 34, "usCompression");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, ucSide) == 36, "ucSide");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, lSeqNumber) == 37, "lSeqNumber");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, ucLevel) == 41, "ucLevel");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, abUnused) == 42, "abUnused");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usDf1Length) == 44, "usDf1Length");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usDf1Number) == 46, "usDf1Number");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, szDf1Data) == 48, "szDf1Data");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usDf2Length) == 59, "usDf2Length");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, usDf2Number) == 61, "usDf2Number");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, szDf2Data) == 63, "szDf2Data");
KOV_STATIC_ASSERT(offsetof(KOV_PAGEHEADER, aBarcodes) == 128, "aBarcodes");

KOV_STATIC_ASSERT(sizeof(SCAN_RES) == 18, "SCAN_RES size");
KOV_STATIC_ASSERT(offsetof(SCAN_RES, ulXNum) == 0, "ulXNum");
KOV_STATIC_ASSERT(offsetof(SCAN_RES, ulXDenom) == 4, "ulXDenom");
KOV_STATIC_ASSERT(offsetof(SCAN_RES, ulYNum) == 8, "ulYNum");
KOV_STATIC_ASSERT(offsetof(SCAN_RES, ulYDenom) == 12, "ulYDenom");
KOV_STATIC_ASSERT(offsetof(SCAN_RES, usZero) == 16, "usZero");
KOV_STATIC_ASSERT(sizeof(SCAN_AREA) == 8, "SCAN_AREA size");
KOV_STATIC_ASSERT(offsetof(SCAN_AREA, usX) == 0, "usX");
KOV_STATIC_ASSERT(offsetof(SCAN_AREA, usY) == 2, "usY");
KOV_STATIC_ASSERT(offsetof(SCAN_AREA, usWidth) == 4, "usWidth");
KOV_STATIC_ASSERT(offsetof(SCAN_AREA, usLength) == 6, "usLength");
KOV_STATIC_ASSERT(sizeof(SCAN_QCTRL) == 8, "SCAN_QCTRL size");
KOV_STATIC_ASSERT(offsetof(SCAN_QCTRL, ulIndex) == 0, "ulIndex");
KOV_STATIC_ASSERT(offsetof(SCAN_QCTRL, ulValue) == 4, "ulValue");
KOV_STATIC_ASSERT(sizeof(SCAN_QCTRL_INFO) == 72, "SCAN_QCTRL_INFO size");
KOV_STATIC_ASSERT(offsetof(SCAN_QCTRL_INFO, ulIndex) == 0, "ulIndex");
KOV_STATIC_ASSERT(offsetof(SCAN_QCTRL_INFO, ulValue) == 4, "ulValue");
KOV_STATIC_ASSERT(offsetof(SCAN_QCTRL_INFO, szTitle) == 8, "szTitle");
KOV_STATIC_ASSERT(offsetof(SCAN_QCTRL_INFO, szRange) == 40, "szRange");
KOV_STATIC_ASSERT(sizeof(SCAN_CLT_ENTRY) == 4, "SCAN_CLT_ENTRY size");

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KOVZAFT2_H */
