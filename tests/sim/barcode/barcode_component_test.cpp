// The stand-in barcode component through its creation entry and interface, with strings
// made and read by the library's platform layer, as the library will use it.
#include "sim/barcode/barcode_component.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/barcode.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/switches.h"

namespace {

using sim::Op;

constexpr const char* kDefaultState =
    "symbologies=Code39,Code128,EAN13,ITF,QRCode;tryharder=1;maxresults=5";

IBarcodeReader* NewReader() {
  IBarcodeReader* reader = nullptr;
  EXPECT_EQ(QelIpCreateInstance(&reader), 0);
  return reader;
}

std::string StateOf(IBarcodeReader* reader) {
  platform::ComString state = nullptr;
  EXPECT_EQ(reader->GetState(&state), 0);
  char text[4080];
  const std::size_t length = platform::ComStringToAnsi(state, text, sizeof text);
  platform::FreeComString(state);
  EXPECT_LT(length, sizeof text);
  return text;
}

std::int32_t PutState(IBarcodeReader* reader, const char* text) {
  platform::ComString state = platform::AnsiToComString(text);
  const std::int32_t result = reader->PutState(state);
  platform::FreeComString(state);
  return result;
}

// A virtual method's table slot, read from its member pointer: under the Itanium C++ ABI the
// first word holds 1 + the method's byte offset in the table.
template <class Method>
std::size_t SlotOf(Method method) {
  static_assert(sizeof(Method) == 2 * sizeof(std::uintptr_t));
  std::uintptr_t words[2];
  std::memcpy(words, &method, sizeof words);
  EXPECT_EQ(words[0] % sizeof(void*), 1u) << "not a virtual method";
  return (words[0] - 1) / sizeof(void*);
}

TEST(BarcodeInterfaces, MethodsSitInTheirSlots) {
  EXPECT_EQ(SlotOf(&IBarcodeReader::QueryInterface), 0u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::AddRef), 1u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::Release), 2u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::ShowPropertySheet), 9u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::GetState), 10u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::PutState), 11u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::ZAFTPipePull), 14u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::get_Result), 18u);
  EXPECT_EQ(SlotOf(&IBarcodeReader::get_barcoderesultcount), 19u);

  EXPECT_EQ(SlotOf(&IBarcodeResult::QueryInterface), 0u);
  EXPECT_EQ(SlotOf(&IBarcodeResult::Release), 2u);
  EXPECT_EQ(SlotOf(&IBarcodeResult::get_Text), 7u);
}

class BarcodeReader : public ::testing::Test {
 protected:
  void SetUp() override { sim::ResetSwitches(); }
  void TearDown() override {
    sim::ResetSwitches();
    EXPECT_EQ(sim::LiveBarcodeReaders(), 0u) << "a reader was not released";
  }
};

// Calls through the object's function table by slot number, as a caller that knows only
// the table does.
TEST_F(BarcodeReader, AnswersThroughItsTableBySlotNumber) {
  IBarcodeReader* reader = NewReader();
  ASSERT_NE(reader, nullptr);
  const auto* table = *reinterpret_cast<void* const* const*>(reader);
  using Count = std::uint32_t(QELCALLBACK*)(IBarcodeReader*);
  using GetState = std::int32_t(QELCALLBACK*)(IBarcodeReader*, platform::ComString*);
  using ResultCount = std::int32_t(QELCALLBACK*)(IBarcodeReader*, std::int32_t*);

  EXPECT_EQ(reinterpret_cast<Count>(table[1])(reader), 2u);
  platform::ComString state = nullptr;
  EXPECT_EQ(reinterpret_cast<GetState>(table[10])(reader, &state), 0);
  char text[128];
  platform::ComStringToAnsi(state, text, sizeof text);
  platform::FreeComString(state);
  EXPECT_STREQ(text, kDefaultState);
  std::int32_t count = -1;
  EXPECT_LT(reinterpret_cast<ResultCount>(table[19])(reader, &count), 0) << "no page read";
  EXPECT_EQ(count, 0);
  EXPECT_EQ(reinterpret_cast<Count>(table[2])(reader), 1u);
  EXPECT_EQ(reinterpret_cast<Count>(table[2])(reader), 0u);
}

TEST_F(BarcodeReader, LivesUntilItsLastRelease) {
  IBarcodeReader* reader = NewReader();
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(sim::LiveBarcodeReaders(), 1u);
  EXPECT_EQ(reader->AddRef(), 2u);

  void* unknown = nullptr;
  EXPECT_EQ(reader->QueryInterface(kIidUnknown, &unknown), 0);
  EXPECT_EQ(unknown, reader);
  void* same = nullptr;
  EXPECT_EQ(reader->QueryInterface(kIidBarcodeReader, &same), 0);
  EXPECT_EQ(same, reader);
  void* result = reader;
  EXPECT_EQ(reader->QueryInterface(kIidBarcodeResult, &result), kComNoInterface);
  EXPECT_EQ(result, nullptr);

  EXPECT_EQ(reader->Release(), 3u);
  EXPECT_EQ(reader->Release(), 2u);
  EXPECT_EQ(reader->Release(), 1u);
  EXPECT_EQ(sim::LiveBarcodeReaders(), 1u);
  EXPECT_EQ(reader->Release(), 0u);
  EXPECT_EQ(sim::LiveBarcodeReaders(), 0u);
  EXPECT_EQ(sim::CurrentBarcodeState(), std::nullopt);
}

TEST_F(BarcodeReader, EachReaderHasItsOwnStateAndTestsSeeTheNewest) {
  IBarcodeReader* first = NewReader();
  IBarcodeReader* second = NewReader();
  ASSERT_TRUE(first != nullptr && second != nullptr);
  EXPECT_EQ(StateOf(first), kDefaultState);
  EXPECT_EQ(sim::CurrentBarcodeState(), kDefaultState);

  EXPECT_EQ(PutState(first, "symbologies=Aztec;tryharder=0;maxresults=2"), 0);
  EXPECT_EQ(StateOf(second), kDefaultState);
  EXPECT_EQ(sim::CurrentBarcodeState(), kDefaultState);
  EXPECT_EQ(PutState(second, "symbologies=PDF417;tryharder=1;maxresults=3"), 0);
  EXPECT_EQ(sim::CurrentBarcodeState(), "symbologies=PDF417;tryharder=1;maxresults=3");

  second->Release();
  EXPECT_EQ(sim::CurrentBarcodeState(), "symbologies=Aztec;tryharder=0;maxresults=2");
  first->Release();
}

TEST_F(BarcodeReader, StateIsAcceptedInAnyOrderAndGivenBackInOne) {
  IBarcodeReader* reader = NewReader();
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(PutState(reader, "maxresults=012;tryharder=0;symbologies=QRCode,Code39,Code39"), 0);
  EXPECT_EQ(StateOf(reader), "symbologies=Code39,QRCode;tryharder=0;maxresults=12");

  const char* every =
      "symbologies=Aztec,Codabar,Code39,Code93,Code128,DataBar,DataBarExpanded,DataMatrix,"
      "EAN8,EAN13,ITF,PDF417,QRCode,UPCA,UPCE;tryharder=1;maxresults=100";
  EXPECT_EQ(PutState(reader, every), 0);
  EXPECT_EQ(StateOf(reader), every);
  reader->Release();
}

TEST_F(BarcodeReader, RefusesABadStateAndKeepsItsOwn) {
  IBarcodeReader* reader = NewReader();
  ASSERT_NE(reader, nullptr);
  const char* kept = "symbologies=DataMatrix;tryharder=0;maxresults=7";
  ASSERT_EQ(PutState(reader, kept), 0);

  for (const char* bad : {
           "",
           "symbologies=Code39;tryharder=1",
           "symbologies=Code39;tryharder=1;maxresults=5;",
           "symbologies=Code39;tryharder=1;maxresults=5;maxresults=5",
           "symbologies=Code39;tryharder=1;maxresults=5;colour=1",
           "symbologies=Code39;tryharder=1;maxresults",
           "symbologies=Code39; tryharder=1;maxresults=5",
           "symbologies=;tryharder=1;maxresults=5",
           "symbologies=code39;tryharder=1;maxresults=5",
           "symbologies=C\366de39;tryharder=1;maxresults=5",
           "symbologies=Code39;tryharder=2;maxresults=5",
           "symbologies=Code39;tryharder=1;maxresults=0",
           "symbologies=Code39;tryharder=1;maxresults=101",
           "symbologies=Code39;tryharder=1;maxresults=5x",
       }) {
    EXPECT_EQ(PutState(reader, bad), sim::error::kInvalidArgument) << bad;
    EXPECT_EQ(StateOf(reader), kept) << bad;
  }
  EXPECT_EQ(reader->PutState(nullptr), sim::error::kInvalidArgument);
  EXPECT_EQ(StateOf(reader), kept);
  reader->Release();
}

TEST_F(BarcodeReader, HasNoResultsUntilAPageWasRead) {
  IBarcodeReader* reader = NewReader();
  ASSERT_NE(reader, nullptr);
  DriverRecord source{};
  EXPECT_EQ(reader->ZAFTPipePull(&source), sim::error::kDriverNotFound) << "no source loaded";

  std::int32_t count = -1;
  EXPECT_LT(reader->get_barcoderesultcount(&count), 0) << "no page was read";
  EXPECT_EQ(count, 0);
  auto* result = reinterpret_cast<IBarcodeResult*>(reader);
  EXPECT_LT(reader->get_Result(1, &result), 0);
  EXPECT_EQ(result, nullptr);
  reader->Release();
}

TEST_F(BarcodeReader, SwitchedFailuresLeaveNothingBehind) {
  IBarcodeReader* reader = reinterpret_cast<IBarcodeReader*>(&reader);
  sim::FailNext(Op::BarcodeCreate);
  EXPECT_EQ(QelIpCreateInstance(&reader), sim::FailureValue(Op::BarcodeCreate));
  EXPECT_EQ(reader, nullptr);
  EXPECT_EQ(sim::LiveBarcodeReaders(), 0u);
  EXPECT_LT(QelIpCreateInstance(nullptr), 0);

  reader = NewReader();
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(sim::CallCount(Op::BarcodeCreate), 3u);

  sim::FailNext(Op::BarcodeGetState);
  platform::ComString state = platform::AnsiToComString("left over");
  platform::ComString mine = state;
  EXPECT_EQ(reader->GetState(&state), sim::FailureValue(Op::BarcodeGetState));
  EXPECT_EQ(state, nullptr);
  platform::FreeComString(mine);
  EXPECT_LT(reader->GetState(nullptr), 0);

  sim::FailNext(Op::BarcodePutState);
  EXPECT_EQ(PutState(reader, "symbologies=EAN8;tryharder=0;maxresults=1"),
            sim::FailureValue(Op::BarcodePutState));
  EXPECT_EQ(StateOf(reader), kDefaultState);
  EXPECT_EQ(sim::CallCount(Op::BarcodePutState), 1u);
  reader->Release();
}

}  // namespace
