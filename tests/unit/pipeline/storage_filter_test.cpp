// The storage filter as the framework drives it: the page's data kept in blocks and passed
// on to the context's data handler as they came.
#include "pipeline/storage_filter.h"

#include <vector>

#include "core/control_block.h"
#include "framework/driver_calls.h"
#include "kovzaft2.h"
#include "pipeline/page_store.h"
#include "tests/unit/scanner_fixture.h"

namespace {

struct HandledMessage {
  std::uint32_t code;
  std::int32_t count;
  const void* bytes;
};

std::int32_t QELCALLBACK RecordingHandler(void* instance, std::uint32_t code, std::int32_t count,
                                          void* bytes) {
  static_cast<std::vector<HandledMessage>*>(instance)->push_back({code, count, bytes});
  return 0;
}

class StorageFilter : public ScannerTest {
 protected:
  void SetUp() override {
    ScannerTest::SetUp();
    ASSERT_EQ(DrvLoadFromEntry(MyStore, SCB.StorageDriver), 0);
    SCB.bPageHeld = 1;
  }
  void TearDown() override {
    ReleasePage();
    ScannerTest::TearDown();
  }
  DriverContext& Context() { return *static_cast<DriverContext*>(SCB.StorageDriver.pInstance); }
};

TEST_F(StorageFilter, TheDataHandlerGetsEachDataMessageAsItCame) {
  std::vector<HandledMessage> handled;
  Context().pfnDataHandler = RecordingHandler;
  Context().pDataHandlerInstance = &handled;
  const std::uint8_t bytes[3] = {1, 2, 3};
  const std::uint32_t message = QelDrvData | 0x20000u;  // high bits the filter does not compare
  ASSERT_EQ(QelDrvMessage(SCB.StorageDriver, QelDrvStartPage, 0, nullptr), 0);
  ASSERT_EQ(QelDrvMessage(SCB.StorageDriver, message, 3, const_cast<std::uint8_t*>(bytes)), 0);
  ASSERT_EQ(handled.size(), 1u);
  EXPECT_EQ(handled[0].code, message);
  EXPECT_EQ(handled[0].count, 3);
  EXPECT_EQ(handled[0].bytes, bytes);
  EXPECT_EQ(SCB.StoreSize, 3u) << "and kept";
}

TEST_F(StorageFilter, EverySetUpSetsTheStartingTagsEvenAfterAnEzone) {
  ASSERT_EQ(QelDrvMessage(SCB.StorageDriver, QelDrvSetupTags, 0, nullptr), 0);
  ASSERT_EQ(DrvSetTag(SCB.StorageDriver, kTagImageWidth, 1000), 0);
  ASSERT_EQ(QelDrvMessage(SCB.StorageDriver, QelDrvEzone, 0, nullptr), 0);
  ASSERT_EQ(QelDrvMessage(SCB.StorageDriver, QelDrvSetupTags, 0, nullptr), 0);
  std::int32_t width = 0;
  ASSERT_EQ(DrvGetTag(SCB.StorageDriver, kTagImageWidth, width), 0);
  EXPECT_EQ(width, 2544) << "the next page starts as the first did";
}

}  // namespace
