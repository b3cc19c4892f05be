// The parameter calls touch only the host memory they must: values and records are placed
// against a page no access is allowed to, or on pages made read-only, so one byte too many
// read or written ends the test process.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "host_library.h"
#include "sim/kit/kit.h"

namespace {

// Pages of the host's memory followed by a guard page that faults on any touch.
class GuardedPages {
 public:
  explicit GuardedPages(std::size_t bytes)
      : page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))),
        data_((bytes + page_ - 1) / page_ * page_) {
    void* memory =
        mmap(nullptr, data_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(memory, MAP_FAILED);
    base_ = static_cast<std::uint8_t*>(memory);
    EXPECT_EQ(mprotect(base_ + data_, page_, PROT_NONE), 0);
  }
  ~GuardedPages() { munmap(base_, data_ + page_); }
  GuardedPages(const GuardedPages&) = delete;
  GuardedPages& operator=(const GuardedPages&) = delete;

  // An object whose last byte is the last before the guard. The host structures are packed.
  template <typename T>
  T* AtEnd() {
    return reinterpret_cast<T*>(base_ + data_ - sizeof(T));
  }
  void* Guard() { return base_ + data_; }
  void ReadOnly() { EXPECT_EQ(mprotect(base_, data_, PROT_READ), 0); }

 private:
  std::size_t page_;
  std::size_t data_;
  std::uint8_t* base_ = nullptr;
};

class HostMemory : public ::testing::Test {
 protected:
  HostMemory() : lib(ProfileWithDebug() + "[ZAFT]\nScanner=VSCAN\n") {}
  void SetUp() override {
    sim::ResetDrivers();
    ASSERT_EQ(lib.SCANINIT(), 0);
    ASSERT_EQ(lib.SCANSETPARM("dev", &Record(), SCAN_PARM_INIT, nullptr), 0);
  }
  void TearDown() override { sim::ResetDrivers(); }
  ParmRecord& Record() { return *recordPages.AtEnd<ParmRecord>(); }

  HostLibrary lib;
  GuardedPages recordPages{sizeof(ParmRecord)};
};

TEST_F(HostMemory, SetsReadOnlyTheValueTheirIdentifierTakes) {
  // INIT takes no value: one the host cannot give is never looked at.
  GuardedPages nothing(1);
  EXPECT_EQ(lib.SCANSETPARM("dev", &Record(), SCAN_PARM_INIT, nothing.Guard()), 0);
  EXPECT_EQ(lib.SCANSETPARM("dev", &Record(), 7, nothing.Guard()), RC_SCAN_PARM_CANNOT_BE_MODIFIED);

  // Each value at the end of its memory, read-only, as a host's constants are.
  GuardedPages bpp(sizeof(std::uint16_t));
  *bpp.AtEnd<std::uint16_t>() = 8;
  bpp.ReadOnly();
  EXPECT_EQ(lib.SCANSETPARM("dev", &Record(), SCAN_PARM_BPP, bpp.AtEnd<std::uint16_t>()), 0);
  GuardedPages res(sizeof(SCAN_RES));
  *res.AtEnd<SCAN_RES>() = SCAN_RES{200, 1, 200, 1, 0};
  res.ReadOnly();
  EXPECT_EQ(lib.SCANSETPARM("dev", &Record(), SCAN_PARM_RES, res.AtEnd<SCAN_RES>()), 0);
  EXPECT_EQ(RecordSetting(Record(), "XResolution"), "200/1");
  GuardedPages refused(sizeof(std::uint16_t));
  *refused.AtEnd<std::uint16_t>() = 7;
  refused.ReadOnly();
  EXPECT_EQ(lib.SCANSETPARM("dev", &Record(), SCAN_PARM_BPP, refused.AtEnd<std::uint16_t>()),
            RC_SCAN_INVALID_PARM);
}

TEST_F(HostMemory, QueriesWriteOnlyTheirAnswer) {
  GuardedPages version(sizeof(std::uint32_t));
  EXPECT_EQ(lib.SCANQUERYPARM(&Record(), SCAN_PARM_VERSION, version.AtEnd<std::uint32_t>()), 0);
  GuardedPages bpp(sizeof(std::uint16_t));
  EXPECT_EQ(lib.SCANQUERYPARM(&Record(), SCAN_PARM_BPP, bpp.AtEnd<std::uint16_t>()), 0);
  EXPECT_EQ(*bpp.AtEnd<std::uint16_t>(), 1);

  // QCTRL reads its index and answers in the second field.
  GuardedPages quick(sizeof(SCAN_QCTRL));
  *quick.AtEnd<SCAN_QCTRL>() = SCAN_QCTRL{1, 0};
  EXPECT_EQ(lib.SCANQUERYPARM(&Record(), SCAN_PARM_QCTRL, quick.AtEnd<SCAN_QCTRL>()), 0);
  EXPECT_EQ(quick.AtEnd<SCAN_QCTRL>()->ulValue, 25u);

  // A query that fails answers nothing: a read-only value stays as it was.
  Record().szID[0] = 'k';
  GuardedPages failed(sizeof(std::uint16_t));
  *failed.AtEnd<std::uint16_t>() = 0x5A5A;
  failed.ReadOnly();
  EXPECT_EQ(lib.SCANQUERYPARM(&Record(), SCAN_PARM_BPP, failed.AtEnd<std::uint16_t>()),
            RC_SCAN_INVALID_PARM);
  EXPECT_EQ(*failed.AtEnd<std::uint16_t>(), 0x5A5A);
}

TEST_F(HostMemory, ARecordOnlyQueriedSentOrRefusedIsNeverWritten) {
  recordPages.ReadOnly();
  std::uint16_t bpp = 0;
  EXPECT_EQ(lib.SCANQUERYPARM(&Record(), SCAN_PARM_BPP, &bpp), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_EQ(lib.SCANSETSTATE(handle, &Record()), 0);
  bpp = 7;
  EXPECT_EQ(lib.SCANSETPARM("dev", &Record(), SCAN_PARM_BPP, &bpp), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.SCANCLOSE(handle), 0);
}

}  // namespace
