// Moving a parameter command's arguments between the host's memory and the command: in
// before the post, back out only when the command completed while its caller waited. Only the
// bytes a call reads are read and only those it changes are written, so a host may keep a
// record or a value it does not expect to change in read-only memory.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/command.h"
#include "kovzaft2.h"
#include "parms/parm_record.h"

// Copies the record into the command, and the value bytes the call reads (none for a null
// value).
inline void TakeRecordAndValue(Command& command, const ParmRecord& record, std::uint16_t usParm,
                               const void* pValue, const ParmValueUse& use) {
  command.Parms = record;
  command.usParm = usParm;
  command.bHasValue = pValue != nullptr;
  if (pValue != nullptr) {
    std::memcpy(command.Value.data() + use.read.offset,
                static_cast<const std::uint8_t*>(pValue) + use.read.offset, use.read.size);
  }
}

// Writes the runs of the record's bytes that the command changed, and nothing else.
inline void GiveRecordChanges(const ParmRecord& changed, ParmRecord& record) {
  const auto* from = reinterpret_cast<const std::uint8_t*>(&changed);
  auto* to = reinterpret_cast<std::uint8_t*>(&record);
  for (std::size_t at = 0; at < sizeof record;) {
    if (from[at] == to[at]) {
      ++at;
      continue;
    }
    std::size_t end = at + 1;
    while (end < sizeof record && from[end] != to[end]) ++end;
    std::memcpy(to + at, from + at, end - at);
    at = end;
  }
}

// The record's changes, and the value bytes the call answers once it succeeded.
inline void GiveRecordAndValue(const Command& command, ParmRecord& record, void* pValue,
                               const ParmValueUse& use, std::uint16_t rc) {
  GiveRecordChanges(command.Parms, record);
  if (pValue != nullptr && rc == 0) {
    std::memcpy(static_cast<std::uint8_t*>(pValue) + use.written.offset,
                command.Value.data() + use.written.offset, use.written.size);
  }
}
