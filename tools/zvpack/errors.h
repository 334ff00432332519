// How the packer's operations fail: one exception type carrying the exit code and a one-line
// message that names the file and the reason. It never leaves the packer's entry points
// (RunZvpack and the verb functions catch it) nor a worker thread.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zv::pack {

inline constexpr int kExitOk = 0;
inline constexpr int kExitInput = 1;    // usage or input error
inline constexpr int kExitDamaged = 2;  // the installer or package is damaged or unsafe

class PackError : public std::runtime_error {
 public:
  PackError(int exitCode, const std::string& message)
      : std::runtime_error(message), exitCode_(exitCode) {}
  int ExitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

// "what: reason", what as Printable shows it (cut at four times kShownUnits: it may name an
// installer and a path inside it).
std::string Describe(std::string_view what, std::string_view reason);

[[noreturn]] inline void Refuse(std::string_view what, std::string_view reason) {
  throw PackError(kExitInput, Describe(what, reason));
}
[[noreturn]] inline void Damaged(std::string_view what, std::string_view reason) {
  throw PackError(kExitDamaged, Describe(what, reason));
}

// Text safe to print: invalid UTF-8 bytes and C0 controls (and DEL) become \xNN; C1 controls
// (U+0080-U+009F, which terminals take as CSI, OSC and the like) and the bidirectional
// overrides and isolates (U+202A-U+202E, U+2066-U+2069, which reorder what follows them and so
// disguise a name's ending) become \uNNNN. What follows the first limit UTF-16 units (an escape
// counting as many as it has characters) becomes "…", so that a name or value from a package
// never makes a message larger than a screen.
inline constexpr std::size_t kShownUnits = 260;
std::string Printable(std::string_view text, std::size_t limit = kShownUnits);

// The start of UTF-8 text that holds at most limit UTF-16 units (an invalid byte counting one),
// never ending inside a sequence: a value cut for a JSON listing as Printable cuts it.
std::string_view CutToUnits(std::string_view text, std::size_t limit = kShownUnits);

// A JSON document (valid UTF-8) with the code points Printable escapes as \uNNNN, and DEL,
// written as JSON's \u escapes, which a JSON reader decodes to the same text: printed on a
// terminal, the document cannot drive it.
std::string EscapeTerminalControls(std::string_view json);

}  // namespace zv::pack
