// Bits per dot from the settings text, and the host's compression codes.
#include "parms/parm_record.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/compression_code.h"
#include "kovzaft2.h"

namespace {

std::unique_ptr<ParmRecord> RecordWith(
    std::initializer_list<std::pair<const char*, const char*>> settings) {
  auto record = std::make_unique<ParmRecord>();
  for (const auto& [name, value] : settings) SaveCallback(0, name, value, record.get());
  return record;
}

TEST(Getbpp, ProductOfSamplesAndBitsFromTheSettingsText) {
  EXPECT_EQ(getbpp(*RecordWith({{"SamplesPerPixel", "3"}, {"BitsPerSample", "8"}})), 24);
  EXPECT_EQ(getbpp(*RecordWith({{"BitsPerSample", "8"}, {"SamplesPerPixelX", "1"}})), 8)
      << "names are compared on their first characters";
  EXPECT_EQ(getbpp(*RecordWith(
                {{"SamplesPerPixel", "1"}, {"BitsPerSample", "4"}, {"BitsPerSample", "8"}})),
            4);
}

TEST(Getbpp, OneWhenTheTextDoesNotTell) {
  EXPECT_EQ(getbpp(*RecordWith({})), 1);
  EXPECT_EQ(getbpp(*RecordWith({{"BitsPerSample", "8"}})), 1);
  EXPECT_EQ(getbpp(*RecordWith({{"SamplesPerPixel", "x"}, {"BitsPerSample", "8"}})), 1);
  auto old = RecordWith({{"SamplesPerPixel", "1"}, {"BitsPerSample", "8"}});
  old->sOldCount = 3;
  EXPECT_EQ(getbpp(*old), 1);
}

TEST(HostCompressionCode, FromCompressionAndT4Options) {
  EXPECT_EQ(HostCompressionCode(3, 3), 0x81);
  EXPECT_EQ(HostCompressionCode(3, 2), 0x80);
  EXPECT_EQ(HostCompressionCode(4, 1), 0x82);
  EXPECT_EQ(HostCompressionCode(6, 0), 0xCA83);
  EXPECT_EQ(HostCompressionCode(1, 0), 3);
  EXPECT_EQ(HostCompressionCode(5, 0), 3);
}

}  // namespace
