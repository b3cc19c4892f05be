// The settings text of a record as drivers write and read it through the callbacks.
#include "parms/settings_callbacks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "kovzaft2.h"

namespace {

constexpr std::int32_t kNoRoom = -4500;

std::unique_ptr<ParmRecord> EmptyRecord() {
  return std::make_unique<ParmRecord>();
}

std::string Restore(ParmRecord& record, const char* name, std::int32_t size = 64,
                    std::int32_t* length = nullptr) {
  std::string buffer(static_cast<std::size_t>(size), 'x');
  const std::int32_t found = RestoreCallback(0, name, "dflt", buffer.data(), size, &record);
  if (length != nullptr) *length = found;
  return buffer.substr(0, buffer.find('\0'));
}

void PutOldEntry(ParmRecord& record, int index, const char* name, const char* value) {
  char* entry = record.achSettings + index * PARM_OLD_ENTRY_SIZE;
  std::strncpy(entry, name, PARM_OLD_NAME_SIZE);
  std::strncpy(entry + PARM_OLD_NAME_SIZE, value, PARM_OLD_ENTRY_SIZE - PARM_OLD_NAME_SIZE);
}

TEST(SaveCallback, AppendsNameAndValueUpToTheSpaceLimit) {
  auto record = EmptyRecord();
  ASSERT_EQ(SaveCallback(0, "Res", "300", record.get()), 0);
  EXPECT_EQ(+record->sSettingsLen, 8);
  EXPECT_EQ(std::string(record->achSettings, 8), std::string("Res\0"
                                                             "300\0",
                                                             8));

  record->sSettingsLen = 53130;  // 5 + 53130 + 10 + 3 = 53148: fits exactly
  EXPECT_EQ(SaveCallback(0, "0123456789", "abcde", record.get()), 0);
  EXPECT_EQ(+record->sSettingsLen, 53147);

  record->sSettingsLen = 53132;
  EXPECT_EQ(SaveCallback(0, "0123456789", "abcde", record.get()), kNoRoom);
  EXPECT_EQ(+record->sSettingsLen, 53132);

  record->sSettingsLen = 40000;  // above 32767: still a count, not negative
  EXPECT_EQ(SaveCallback(0, "n", "v", record.get()), 0);
  EXPECT_EQ(+record->sSettingsLen, 40004);

  record->sSettingsLen = 0xFFFF;  // garbage from a host: refused, nothing written past
  EXPECT_EQ(SaveCallback(0, "n", "v", record.get()), kNoRoom);
  EXPECT_EQ(SaveCallback(0, nullptr, "v", nullptr), kNoRoom);
}

TEST(RestoreCallback, FindsTheFirstEntryOrGivesTheDefault) {
  auto record = EmptyRecord();
  SaveCallback(0, "Mode", "first", record.get());
  SaveCallback(0, "Mode", "second", record.get());
  SaveCallback(0, "Empty", "", record.get());
  std::int32_t length = -1;
  EXPECT_EQ(Restore(*record, "Mode", 64, &length), "first");
  EXPECT_EQ(length, 5);
  EXPECT_EQ(Restore(*record, "mode", 64, &length), "dflt");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Restore(*record, "Empty", 64, &length), "");
  EXPECT_EQ(length, 0);
}

TEST(RestoreCallback, CutsToTheBufferIncludingTheDefault) {
  auto record = EmptyRecord();
  SaveCallback(0, "Long", "12345678", record.get());
  std::int32_t length = -1;
  EXPECT_EQ(Restore(*record, "Long", 5, &length), "1234");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(Restore(*record, "Missing", 3, &length), "df") << "the default is bounded too";
}

TEST(RestoreCallback, EmptyTextAndTextWithoutEndMarkStayInsideTheArea) {
  auto record = EmptyRecord();
  EXPECT_EQ(Restore(*record, "Any"), "dflt");
  // A host's record full of non-zero bytes: the walk must stop at the area's end.
  std::memset(record->achSettings, 'a', sizeof record->achSettings);
  EXPECT_EQ(Restore(*record, "Any"), "dflt");
  // A name whose value runs to the end of the area is not an entry.
  record->achSettings[0] = 'K';
  record->achSettings[1] = '\0';
  EXPECT_EQ(Restore(*record, "K"), "dflt");
}

TEST(OldRestoreCallback, ReadsFixedWidthEntriesWithinTheArea) {
  auto record = EmptyRecord();
  PutOldEntry(*record, 0, "Brightness", "128");
  PutOldEntry(*record, 1, "Contrast", "64");
  record->sOldCount = 2;
  char buffer[64];
  EXPECT_EQ(OldRestoreCallback(0, "Contrast", "0", buffer, sizeof buffer, record.get()), 2);
  EXPECT_STREQ(buffer, "64");
  EXPECT_EQ(OldRestoreCallback(0, "Gamma", "1.0", buffer, sizeof buffer, record.get()), 0);
  EXPECT_STREQ(buffer, "1.0");
  EXPECT_EQ(OldRestoreCallback(0, "Brightness", "0", buffer, 3, record.get()), 2)
      << "cut to a short buffer";
  EXPECT_STREQ(buffer, "12");

  record->sOldCount = 32767;  // more than the area holds: read only what it holds
  std::memset(record->achSettings, 'b', sizeof record->achSettings);
  EXPECT_EQ(OldRestoreCallback(0, "Gamma", "1.0", buffer, sizeof buffer, record.get()), 0);
}

TEST(OldRestoreCallback, LongNamesAreShortenedWithTheSumOfTheirTail) {
  char room[PARM_OLD_NAME_SIZE];
  const std::string head = "ABCDEFGHIJKLMNO";
  // 'z' * 5 + '{' = 610 + 123 = 733 = 0x2DD
  EXPECT_EQ(ShortenOldName(head + "zzzzz{", room), head + "2DD");
  EXPECT_EQ(ShortenOldName("EighteenCharsLong!", room), "EighteenCharsLong!");
  // A tail with bytes above 127 counts them as negative.
  EXPECT_EQ(ShortenOldName(head + "\xff\x01\x01\x01", room), head + "002");

  auto record = EmptyRecord();
  PutOldEntry(*record, 0, (head + "2DD").c_str(), "found");
  record->sOldCount = 1;
  char buffer[64];
  EXPECT_EQ(
      OldRestoreCallback(0, (head + "zzzzz{").c_str(), "no", buffer, sizeof buffer, record.get()),
      5);
  EXPECT_STREQ(buffer, "found");
}

}  // namespace
