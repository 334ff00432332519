// Folding case by the system's own upper-casing. The installer stub folds by it
// (app/stub_runtime_win.cpp): the table of case_fold.cpp would not fit there.
#include <windows.h>

#include "package/case_fold.h"

namespace zv {

// CharUpperBuffW maps by the system's non-linguistic table, the file system's, in every
// language (it maps "i" to "I" even for Turkish); user32 is loaded anyway. Under Wine it agrees
// with RtlUpcaseUnicodeChar and CompareStringOrdinal over the whole BMP (package_test), and
// importing either would take the stub over its size.
TextUnit FoldCaseBySystem(TextUnit c) {
  CharUpperBuffW(&c, 1);
  return c;
}

}  // namespace zv
