// Moving a parameter command's arguments between the host's memory and the command: in
// before the post, back out only when the command completed while its caller waited.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/command.h"
#include "kovzaft2.h"
#include "parms/parm_record.h"

// Copies the record into the command, and the value bytes its identifier's layout has (none
// for a null value).
inline void TakeRecordAndValue(Command& command, const ParmRecord& record, std::uint16_t usParm,
                               const void* pValue) {
  command.Parms = record;
  command.usParm = usParm;
  command.bHasValue = pValue != nullptr;
  if (pValue != nullptr) std::memcpy(command.Value.data(), pValue, ParmValueSize(usParm));
}

inline void GiveRecordAndValue(const Command& command, ParmRecord& record, void* pValue) {
  record = command.Parms;
  if (pValue != nullptr) std::memcpy(pValue, command.Value.data(), ParmValueSize(command.usParm));
}
