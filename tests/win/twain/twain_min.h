/* The few TWAIN types and constants the tests need to talk to a data source manager, as
 * TWAIN defines them: structures packed to 2 bytes, strings of 34 bytes. */
#ifndef KOV_TESTS_TWAIN_MIN_H
#define KOV_TESTS_TWAIN_MIN_H

#include <assert.h>
#include <stddef.h>
#include <windows.h>

typedef unsigned short TW_UINT16;
typedef unsigned long TW_UINT32;
typedef void *TW_MEMREF;
typedef char TW_STR32[34];

#pragma pack(push, 2)

typedef struct {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
} TW_VERSION;

typedef struct {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
} TW_IDENTITY;

typedef struct {
  TW_UINT16 ConditionCode;
  TW_UINT16 Reserved;
} TW_STATUS;

#pragma pack(pop)

/* Managers and sources read these by offset: a layout off by a byte fails silently. */
static_assert(sizeof(TW_UINT32) == 4, "TW_UINT32 is 4 bytes");
static_assert(sizeof(TW_VERSION) == 42, "TW_VERSION is 42 bytes");
static_assert(sizeof(TW_IDENTITY) == 156, "TW_IDENTITY is 156 bytes");
static_assert(offsetof(TW_IDENTITY, ProductName) == 122, "ProductName at 122");
static_assert(sizeof(TW_STATUS) == 4, "TW_STATUS is 4 bytes");

typedef TW_UINT16(WINAPI *DSMENTRYPROC)(TW_IDENTITY *origin, TW_IDENTITY *dest, TW_UINT32 dg,
                                        TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

#define DG_CONTROL 0x0001UL
#define DG_IMAGE 0x0002UL

#define DAT_IDENTITY 0x0003
#define DAT_PARENT 0x0004
#define DAT_STATUS 0x0008

#define MSG_GET 0x0001
#define MSG_GETFIRST 0x0004
#define MSG_GETNEXT 0x0005
#define MSG_OPENDSM 0x0301
#define MSG_CLOSEDSM 0x0302

#define TWRC_SUCCESS 0
#define TWRC_FAILURE 1
#define TWRC_ENDOFLIST 7

#define TWLG_USA 13
#define TWCY_USA 1

#endif
