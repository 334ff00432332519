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

// Text safe to print: invalid UTF-8 bytes and control characters become \xNN, and what
// follows the first limit UTF-16 units (an escape counting 4) becomes "…", so that a name or
// value from a package never makes a message larger than a screen.
inline constexpr std::size_t kShownUnits = 260;
std::string Printable(std::string_view text, std::size_t limit = kShownUnits);

}  // namespace zv::pack
