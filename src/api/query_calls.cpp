// Query calls: device names and fixed information on the calling thread; the colour table
// on the worker.
#include <cstddef>
#include <cstring>

#include "api/api_call.h"
#include "api/host_arguments.h"
#include "api/thread.h"
#include "core/control_block.h"
#include "core/host_value.h"
#include "core/trace_log.h"
#include "framework/qel.h"
#include "kovzaft2.h"
#include "parms/parm_record.h"
#include "resources/strings.h"

namespace {

constexpr std::size_t kDeviceNameSize = 256;
constexpr std::uint32_t kQuickControlValue = 100;
constexpr std::uint32_t kColourTableLimitMs = 20000;
constexpr std::uint32_t kQueryParmLimitMs = 20000;

// The one device name, from the library's string table.
std::size_t LoadDeviceName(char (&name)[kDeviceNameSize]) {
  name[0] = '\0';
  QelLoadString(hModuleInstance, -IDS_DEVICE_NAME, name, kDeviceNameSize);
  name[kDeviceNameSize - 1] = '\0';
  return std::strlen(name);
}

// The list holds the name, its zero and the closing empty name.
std::uint16_t DeviceListSize(std::size_t nameLength) {
  return static_cast<std::uint16_t>(nameLength + 2);
}

void StoreText(char* destination, const char* text) {
  std::memcpy(destination, text, std::strlen(text) + 1);
}

}  // namespace

extern "C" std::uint16_t KOVAPI SCANQUERYDEVNAMES(char* pszDevNames,
                                                  std::uint16_t usLength) noexcept {
  ApiLockGuard lock;
  TraceLogInt("ScanQueryDevNames called with usLength: %d", usLength);
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (pszDevNames == nullptr) return Refuse(RC_SCAN_INVALID_PARM);

  char name[kDeviceNameSize];
  const std::size_t length = LoadDeviceName(name);
  if (usLength < DeviceListSize(length)) return Refuse(RC_SCAN_LENGTH_TOO_SHORT);
  std::memcpy(pszDevNames, name, length + 1);
  pszDevNames[length + 1] = '\0';
  return 0;
}

extern "C" std::uint16_t KOVAPI SCANQUERYINFO(const char* pszDevName, std::uint16_t usInfoType,
                                              void* pValue) noexcept {
  ApiLockGuard lock;
  TraceLogStr("ScanQueryInfo called with DevName %s:", pszDevName);
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (pValue == nullptr) return Refuse(RC_SCAN_INVALID_PARM);

  switch (usInfoType) {
    case SCAN_INFO_PARM_SIZE:
      StoreHostValue<std::uint16_t>(pValue, PARM_RECORD_SIZE);
      TraceLogInt("  Querying size of parameter structure.  returning %d  ", PARM_RECORD_SIZE);
      return 0;
    case SCAN_INFO_DEVNAMES_SIZE: {
      if (pszDevName != nullptr) return Refuse(RC_SCAN_INVALID_PARM);
      char name[kDeviceNameSize];
      const std::uint16_t size = DeviceListSize(LoadDeviceName(name));
      StoreHostValue(pValue, size);
      TraceLogInt("  Querying devnamesize.  returning %d  ", size);
      return 0;
    }
    case SCAN_INFO_QCTRL_COUNT:
      StoreHostValue<std::uint16_t>(pValue, 0);
      TraceLogInt("  Querying number of quick-ctrls.  returning %d  ", 0);
      return 0;
    case SCAN_INFO_QCTRL: {
      // Only the value and the two texts with their zeros are written: older hosts keep a
      // range field of just 17 bytes.
      std::uint32_t index;
      std::memcpy(&index, pValue, sizeof index);
      TraceLogInt("  Querying quick-ctrl-info #%d  ", static_cast<std::int32_t>(index));
      auto* info = static_cast<char*>(pValue);
      StoreHostValue(info + offsetof(SCAN_QCTRL_INFO, ulValue), kQuickControlValue);
      StoreText(info + offsetof(SCAN_QCTRL_INFO, szTitle), index == 0 ? "Title 1" : "Title 2");
      StoreText(info + offsetof(SCAN_QCTRL_INFO, szRange),
                index == 0 ? "1,0;99,100" : "1,0;50,50;99,100");
      return 0;
    }
    default:
      return Refuse(RC_SCAN_INVALID_IDENTIFIER);
  }
}

extern "C" std::uint16_t KOVAPI SCANQUERYCLT(ParmRecord* pParms, SCAN_CLT_ENTRY* pClt) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanQueryCLT called");
  if (pParms != nullptr) TraceRecord(*pParms);
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (pParms == nullptr || pClt == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  const auto command = NewCommand(CMD_COLOUR_TABLE);
  if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
  command->Parms = *pParms;
  const CommandOutcome outcome = PostCommand(command, CallDeadline(kColourTableLimitMs));
  // Only the three colour bytes of each entry are the library's; the fourth stays the host's.
  if (outcome.bCompleted) {
    for (std::size_t i = 0; i < command->cltEntries; ++i) {
      std::memcpy(pClt[i].abValue, command->Clt[i].abValue, sizeof pClt[i].abValue);
    }
  }
  return outcome.rc;
}

extern "C" std::uint16_t KOVAPI SCANQUERYPARM(ParmRecord* pParms, std::uint16_t usParm,
                                              void* pValue) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanQueryParm called");
  if (const char* line = ParmIdentifierLine(usParm, true)) TraceLog(line);
  if (pParms != nullptr) TraceRecord(*pParms);
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (pValue == nullptr || pParms == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  if (pParms->szDriver[0] != '\0') {
    const auto command = NewCommand(CMD_QUERY_PARM);
    if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
    const ParmValueUse use = QueryValueUse(usParm);
    TakeRecordAndValue(*command, *pParms, usParm, pValue, use);
    const CommandOutcome outcome = PostCommand(command, CallDeadline(kQueryParmLimitMs));
    if (outcome.bCompleted) GiveRecordAndValue(*command, *pParms, pValue, use, outcome.rc);
    return outcome.rc;
  }
  // A record without a driver gets the answers of a typical scanner.
  TraceLog("invalid parameters sent to query parm - simulating decent response");
  switch (usParm) {
    case SCAN_PARM_VERSION:
      StoreHostValue<std::uint32_t>(pValue, 1);
      return 0;
    case SCAN_PARM_RES:
      StoreHostValue(pValue, SCAN_RES{300, 1, 300, 1, 0});
      return 0;
    case SCAN_PARM_BPP:
      StoreHostValue<std::uint16_t>(pValue, 1);
      return 0;
    case SCAN_PARM_AREA:
      StoreHostValue(pValue, SCAN_AREA{0, 0, 2548, 3300});
      return 0;
    case SCAN_PARM_COMP:
      StoreHostValue<std::uint16_t>(pValue, SCAN_COMP_NONE);
      return 0;
    case SCAN_PARM_ADF:
      StoreHostValue<std::int16_t>(pValue, -1);
      return 0;
    case SCAN_PARM_QCTRL:
      return 0;
    default:
      return Refuse(RC_SCAN_INVALID_IDENTIFIER);
  }
}
