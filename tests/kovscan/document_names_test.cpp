// Documents' names from barcode texts.
#include "tools/kovscan/document_names.h"

#include <gtest/gtest.h>

namespace {

using kovscan::DocumentNames;
using kovscan::SafeFileName;

TEST(DocumentNames, BarcodeTextsBecomeSafeFileNamesOnAnySystem) {
  EXPECT_EQ(SafeFileName("INV-2026-0001"), "INV-2026-0001");
  EXPECT_EQ(SafeFileName("DOC-3 ORDER/42"), "DOC-3_ORDER_42");
  EXPECT_EQ(SafeFileName("..\\..\\evil"), "_.._evil") << "no way out of the folder";
  EXPECT_EQ(SafeFileName(".hidden."), "hidden");
  EXPECT_EQ(SafeFileName("Gr\xC3\xBC\xC3\x9F"
                         "e"),
            "Gr____e");
  EXPECT_EQ(SafeFileName("con"), "_con");
  EXPECT_EQ(SafeFileName("LPT1.txt"), "_LPT1.txt");
  EXPECT_EQ(SafeFileName("COM0"), "COM0");
  EXPECT_EQ(SafeFileName(std::string(150, 'x')).size(), 100u);
  EXPECT_EQ(SafeFileName("..."), "");
}

TEST(DocumentNames, TheFirstMatchingTextNamesADocumentAndNamesStayUnique) {
  DocumentNames names(std::regex("^INV-"));
  EXPECT_EQ(names.Matching({"KOV39", "INV-1", "INV-2"}), "INV-1");
  EXPECT_EQ(names.Matching({"KOV39"}), std::nullopt);
  EXPECT_EQ(names.NameFor(1, "INV-1"), "INV-1");
  EXPECT_EQ(names.NameFor(2, "inv-1"), "inv-1-2") << "Windows does not tell the case apart";
  EXPECT_EQ(names.NameFor(3, "INV-1"), "INV-1-3");
  EXPECT_EQ(names.NameFor(4, std::nullopt), "document-04");
  EXPECT_EQ(names.NameFor(5, "document-04"), "document-04-2");
  EXPECT_EQ(names.NameFor(6, "..."), "document-06") << "nothing usable left: its number";

  DocumentNames numbered(std::nullopt);
  EXPECT_EQ(numbered.Matching({"INV-1"}), std::nullopt);
}

}  // namespace
