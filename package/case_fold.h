// Folding case as Windows does when it compares file names.
#pragma once

#include "base/text.h"

namespace zv {

// The unit Windows compares in place of c when it compares file names without case: c by its
// upper-case table, which covers the Basic Multilingual Plane (surrogates fold to themselves,
// so nothing beyond the BMP folds). FindClashingEntry and PathKey fold by it.
TextUnit FoldCase(TextUnit c);
// Its two sources. The table is carried here (case_fold.cpp), and FoldCase folds by it: the
// packer and zvpack's readers judge names alike on every system. The installer stub has no
// room for the table: its own FoldCase, which replaces this library's, asks the system
// (case_fold_win.cpp). A test under Wine holds the two, and the system's case-blind
// comparison, to each other over the whole BMP.
TextUnit FoldCaseByTable(TextUnit c);
#if defined(_WIN32)
TextUnit FoldCaseBySystem(TextUnit c);
#endif

}  // namespace zv
