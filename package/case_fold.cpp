// The upper-case table by which Windows compares file names without case, carried for the
// packer, which judges names alike on every system. (The installer stub replaces FoldCase with
// the system's own, case_fold_win.cpp; package_test holds the two to each other over the BMP.)
#include "package/case_fold.h"

#include <algorithm>
#include <iterator>

namespace zv {
namespace {

// Code points First, First + Step, ... up to Last fold to themselves + Delta (modulo 2^16).
// Step 2 is for scripts whose upper- and lower-case letters take turns (Ā ā Ă ă ...).
struct CaseRun {
  std::uint16_t First;
  std::uint16_t Last;
  std::uint16_t Step;
  std::uint16_t Delta;
};

// Read off the system's own upper-casing under Wine, the system the tests run on
// (scripts/gen-case-fold writes the runs).
constexpr CaseRun kCaseRuns[] = {
#include "package/case_fold_runs.inc"
};

}  // namespace

TextUnit FoldCaseByTable(TextUnit c) {
  // The last run that starts at or before c.
  const CaseRun* run = std::upper_bound(std::begin(kCaseRuns), std::end(kCaseRuns), c,
                                        [](TextUnit unit, const CaseRun& r) { return unit < r.First; });
  if (run == std::begin(kCaseRuns)) return c;
  --run;
  if (c > run->Last || (c - run->First) % run->Step != 0) return c;
  return static_cast<TextUnit>(c + run->Delta);
}

TextUnit FoldCase(TextUnit c) { return FoldCaseByTable(c); }

}  // namespace zv
