// The one owner for system resources: move-only, released by its Traits. Portable; the Win32
// traits and their aliases are in win/handles.h.
#pragma once

#include <utility>

namespace zv {

// Owns one value of type T and releases it with Traits::Release unless it equals
// Traits::Invalid(). Traits may name an ErrorKeeper: an object that saves the thread's last
// error in its constructor and restores it in its destructor, so that the cleanup after a
// failed call does not overwrite the reason for the failure.
template <typename Traits>
class Owned {
 public:
  using Value = typename Traits::Value;

  Owned() noexcept = default;
  explicit Owned(Value v) noexcept : value_(v) {}
  Owned(Owned&& other) noexcept : value_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  Value get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

  // Releases the current value (if any) and takes v.
  void reset(Value v = Traits::Invalid()) noexcept {
    Value old = std::exchange(value_, v);
    if (old != Traits::Invalid()) ReleaseValue(old);
  }
  // Gives up ownership without releasing.
  Value release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  // Releases the current value and gives the address of the empty slot, for a call that
  // returns a new value through an out-parameter.
  Value* put() noexcept {
    reset();
    return &value_;
  }

 private:
  // One copy per kind of value, not one per call site: the installer counts its bytes.
  [[gnu::noinline]] static void ReleaseValue(Value v) noexcept {
    if constexpr (requires { typename Traits::ErrorKeeper; }) {
      const typename Traits::ErrorKeeper keep;
      Traits::Release(v);
    } else {
      Traits::Release(v);
    }
  }

  Value value_ = Traits::Invalid();
};

}  // namespace zv
