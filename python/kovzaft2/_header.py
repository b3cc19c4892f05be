"""What the library's C header defines, for ctypes: records, return codes, identifiers.

The names are the header's own. tests/test_header.py reads include/kovzaft2.h and checks
every structure, field, offset and constant here against it, so the two cannot drift.
"""

import ctypes

PARM_RECORD_SIZE = 57546
PARM_SETTINGS_SIZE = 53248
PARM_OLD_ENTRY_SIZE = 71
PARM_OLD_NAME_SIZE = 19
PAGE_HEADER_SIZE = 253
BARCODE_ENTRY_COUNT = 5
BARCODE_TEXT_SIZE = 21

SCAN_HANDLE_OPEN = 1
SCAN_HANDLE_NONE = 9999999

RC_SCAN_OK = 0x0000
# The failure codes, in the order of their values.
RC_SCAN_ALREADY_BUSY = 0x6100
RC_SCAN_ALREADY_INITIALIZED = 0x6101
RC_SCAN_DEVICE_ERROR = 0x6102
RC_SCAN_DLG_CANCEL = 0x6103
RC_SCAN_ERROR_TRUNC = 0x6104
RC_SCAN_FUNC_NOT_SUPPORTED = 0x6105
RC_SCAN_HEADER_TOO_SHORT = 0x6106
RC_SCAN_INVALID_DEVICE_NAME = 0x6107
RC_SCAN_INVALID_HANDLE = 0x6108
RC_SCAN_INVALID_IDENTIFIER = 0x6109
RC_SCAN_INVALID_PARM = 0x610A
RC_SCAN_LENGTH_TOO_SHORT = 0x610B
RC_SCAN_MORE_DATA = 0x610C
RC_SCAN_NOT_ENOUGH_MEMORY = 0x610D
RC_SCAN_NOT_INITIALIZED = 0x610E
RC_SCAN_NO_DATA = 0x610F
RC_SCAN_NO_ERROR_MESSAGE = 0x6110
RC_SCAN_NO_ERROR_STORED = 0x6111
RC_SCAN_OPEN_VIOLATION = 0x6112
RC_SCAN_PARM_CANNOT_BE_MODIFIED = 0x6113
RC_SCAN_POWER_OFF = 0x6114
RC_SCAN_TIMEOUT = 0x6115
RC_SCAN_ADF_EMPTY = 0x6116
RC_SCAN_ATT_REQ = 0x6117
RC_SCAN_DLG_SAVEAS = 0x611A
RC_SCAN_ZAFT_ERROR = 0x6120
RC_SCAN_CANT_FIND_DSC = 0x6121
RC_SCAN_CANT_OPEN_DSC = 0x6122
RC_SCAN_CANT_READ_DSC = 0x6123
RC_SCAN_NO_DRIVER = 0x6124
RETURN_CODES = {value: name for name, value in dict(globals()).items()
                if name.startswith("RC_SCAN_") and value != RC_SCAN_OK}

SCAN_PARM_INIT = 0
SCAN_PARM_VERSION = 0
SCAN_PARM_RES = 1
SCAN_PARM_BPP = 2
SCAN_PARM_AREA = 3
SCAN_PARM_COMP = 4
SCAN_PARM_ADF = 5
SCAN_PARM_QCTRL = 6

SCAN_ENV_SAVEAS = 2

SCAN_INFO_PARM_SIZE = 0
SCAN_INFO_DEVNAMES_SIZE = 1
SCAN_INFO_QCTRL_COUNT = 4
SCAN_INFO_QCTRL = 5

SCAN_COMP_NONE = 3
SCAN_COMP_G3_1D = 0x80
SCAN_COMP_G3_2D = 0x81
SCAN_COMP_G4 = 0x82
SCAN_COMP_JPEG = 0xCA83


class ParmRecord(ctypes.Structure):
    _pack_ = 1
    _fields_ = [
        ("usSize", ctypes.c_uint16),
        ("szDriver", ctypes.c_char * 60),
        ("szID", ctypes.c_char * 128),
        ("sOldCount", ctypes.c_int16),
        ("achSettings", ctypes.c_char * PARM_SETTINGS_SIZE),
        ("sSettingsLen", ctypes.c_uint16),
        ("lFeeder", ctypes.c_int32),
        ("lDiscardState", ctypes.c_int32),
        ("abReserved", ctypes.c_uint8 * 4),
        ("p2", ctypes.c_uint8),
        ("p3", ctypes.c_uint8),
        ("pt", ctypes.c_uint8),
        ("bro", ctypes.c_uint8),
        ("szBarcodeState", ctypes.c_char * 4080),
        ("lCompression", ctypes.c_int32),
        ("lT4Options", ctypes.c_int32),
    ]


class KOV_BARCODE(ctypes.Structure):
    _pack_ = 1
    _fields_ = [
        ("usLength", ctypes.c_uint16),
        ("usNumber", ctypes.c_uint16),
        ("szText", ctypes.c_char * BARCODE_TEXT_SIZE),
    ]


class KOV_PAGEHEADER(ctypes.Structure):
    _pack_ = 1
    _fields_ = [
        ("usHeaderLength", ctypes.c_uint16),
        ("abZero1", ctypes.c_uint8 * 8),
        ("ulXResNum", ctypes.c_uint32),
        ("ulXResDenom", ctypes.c_uint32),
        ("ulYResNum", ctypes.c_uint32),
        ("ulYResDenom", ctypes.c_uint32),
        ("usZero2", ctypes.c_uint16),
        ("usLines", ctypes.c_uint16),
        ("usBytesPerLine", ctypes.c_uint16),
        ("usBpp", ctypes.c_uint16),
        ("usCompression", ctypes.c_uint16),
        ("ucSide", ctypes.c_uint8),
        ("lSeqNumber", ctypes.c_int32),
        ("ucLevel", ctypes.c_uint8),
        ("abUnused", ctypes.c_uint8 * 2),
        ("usDf1Length", ctypes.c_uint16),
        ("usDf1Number", ctypes.c_uint16),
        ("szDf1Data", ctypes.c_char * 11),
        ("usDf2Length", ctypes.c_uint16),
        ("usDf2Number", ctypes.c_uint16),
        ("szDf2Data", ctypes.c_char * 65),
        ("aBarcodes", KOV_BARCODE * BARCODE_ENTRY_COUNT),
    ]


class SCAN_RES(ctypes.Structure):
    _pack_ = 1
    _fields_ = [
        ("ulXNum", ctypes.c_uint32),
        ("ulXDenom", ctypes.c_uint32),
        ("ulYNum", ctypes.c_uint32),
        ("ulYDenom", ctypes.c_uint32),
        ("usZero", ctypes.c_uint16),
    ]


class SCAN_AREA(ctypes.Structure):
    _pack_ = 1
    _fields_ = [
        ("usX", ctypes.c_uint16),
        ("usY", ctypes.c_uint16),
        ("usWidth", ctypes.c_uint16),
        ("usLength", ctypes.c_uint16),
    ]


class SCAN_QCTRL(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("ulIndex", ctypes.c_uint32), ("ulValue", ctypes.c_uint32)]


class SCAN_QCTRL_INFO(ctypes.Structure):
    _pack_ = 1
    _fields_ = [
        ("ulIndex", ctypes.c_uint32),
        ("ulValue", ctypes.c_uint32),
        ("szTitle", ctypes.c_char * 32),
        ("szRange", ctypes.c_char * 32),
    ]


class SCAN_CLT_ENTRY(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("abValue", ctypes.c_uint8 * 3), ("ucReserved", ctypes.c_uint8)]


STRUCTURES = (ParmRecord, KOV_BARCODE, KOV_PAGEHEADER, SCAN_RES, SCAN_AREA, SCAN_QCTRL,
              SCAN_QCTRL_INFO, SCAN_CLT_ENTRY)

__all__ = [name for name in dict(globals()) if not name.startswith("_") and name != "ctypes"]
