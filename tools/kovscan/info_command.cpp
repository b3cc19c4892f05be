#include "tools/kovscan/info_command.h"

#include <cstdio>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/scan_command.h"
#include "tools/kovscan/scan_session.h"

namespace kovscan {

namespace {

constexpr std::size_t kColourEntries = 256;

void PrintQuickControls() {
  std::uint16_t count = 0;
  if (SCANQUERYINFO("ZAFT Drivers", SCAN_INFO_QCTRL_COUNT, &count) != 0) return;
  std::printf("quick controls: %u\n", count);
  for (std::uint32_t index = 0; index < count; ++index) {
    SCAN_QCTRL_INFO control{};
    control.ulIndex = index;
    if (SCANQUERYINFO("ZAFT Drivers", SCAN_INFO_QCTRL, &control) != 0) continue;
    std::printf("quick control %u: %s = %u (%s)\n", index, control.szTitle, control.ulValue,
                control.szRange);
  }
}

void PrintParameters(ParmRecord& record) {
  SCAN_RES res{};
  if (SCANQUERYPARM(&record, SCAN_PARM_RES, &res) == 0) {
    std::printf("resolution:  %u/%u x %u/%u dpi\n", res.ulXNum, res.ulXDenom, res.ulYNum,
                res.ulYDenom);
  }
  std::uint16_t bpp = 0;
  if (SCANQUERYPARM(&record, SCAN_PARM_BPP, &bpp) == 0) std::printf("bits per dot: %u\n", bpp);
  SCAN_AREA area{};
  if (SCANQUERYPARM(&record, SCAN_PARM_AREA, &area) == 0) {
    std::printf("area:        %u, %u, %u x %u dots\n", area.usX, area.usY, area.usWidth,
                area.usLength);
  }
  std::uint16_t compression = 0;
  if (SCANQUERYPARM(&record, SCAN_PARM_COMP, &compression) == 0) {
    std::printf("scanner compression: %s\n", CompressionName(compression).c_str());
  }
  std::int16_t feeder = 0;
  if (SCANQUERYPARM(&record, SCAN_PARM_ADF, &feeder) == 0) {
    std::printf("feeder:      %s\n", feeder < 0 ? "flatbed" : "feeder");
  }
}

void PrintColourTable(ParmRecord& record) {
  SCAN_CLT_ENTRY table[kColourEntries] = {};
  if (SCANQUERYCLT(&record, table) != 0) {
    std::printf("colour table: none for this depth\n");
    return;
  }
  std::printf("colour table: 0 = %u,%u,%u ... 255 = %u,%u,%u\n", table[0].abValue[0],
              table[0].abValue[1], table[0].abValue[2], table[255].abValue[0],
              table[255].abValue[1], table[255].abValue[2]);
}

}  // namespace

int RunInfo(ParmRecord& record) {
  ScanSession session;
  char names[256] = {};
  if (SCANQUERYDEVNAMES(names, sizeof names) == 0) std::printf("devices:     %s\n", names);
  std::uint16_t size = 0;
  if (SCANQUERYINFO("ZAFT Drivers", SCAN_INFO_PARM_SIZE, &size) == 0) {
    std::printf("record size: %u bytes\n", size);
  }
  PrintQuickControls();
  session.CompleteRecord(record);
  PrintParameters(record);
  PrintColourTable(record);
  return kSuccess;
}

}  // namespace kovscan
