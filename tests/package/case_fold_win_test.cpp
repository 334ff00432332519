// The installer folds names by the system's upper-casing, the packer by the table it carries:
// both must be the fold of the system's case-blind comparison of file names, for every unit.
#include <windows.h>

#include <gtest/gtest.h>

#include "package/case_fold.h"

extern "C" __declspec(dllimport) WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

namespace zv {
namespace {

int Order(wchar_t a, wchar_t b) { return a < b ? CSTR_LESS_THAN : a == b ? CSTR_EQUAL : CSTR_GREATER_THAN; }

TEST(CaseFold, TableSystemAndCaseBlindComparisonAgreeOverTheBmp) {
  int folded = 0;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const auto c = static_cast<wchar_t>(unit);
    const wchar_t fold = FoldCaseByTable(c);
    ASSERT_EQ(fold, FoldCaseBySystem(c)) << std::hex << unit;
    ASSERT_EQ(fold, RtlUpcaseUnicodeChar(c)) << std::hex << unit;
    // The comparison takes a unit and its fold as one name, and orders two units as their folds.
    ASSERT_EQ(CompareStringOrdinal(&c, 1, &fold, 1, TRUE), CSTR_EQUAL) << std::hex << unit;
    if (unit < 0xFFFF) {
      const auto next = static_cast<wchar_t>(unit + 1);
      ASSERT_EQ(CompareStringOrdinal(&c, 1, &next, 1, TRUE), Order(fold, FoldCaseByTable(next)))
          << std::hex << unit;
    }
    folded += fold != c;
  }
  RecordProperty("FoldedUnits", folded);
  EXPECT_EQ(FoldCaseBySystem(L'ж'), L'Ж');  // the comparison above cannot fail by folding nothing
}

}  // namespace
}  // namespace zv
