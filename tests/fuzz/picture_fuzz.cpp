// libFuzzer target: the vector picture reader. The input is a picture, optionally followed by a
// line break and an override list.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "paint/vector_picture.h"
#include "tests/picture/recording_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view overrides;
  if (const std::size_t cut = input.find('\n'); cut != std::string_view::npos) {
    overrides = input.substr(cut + 1);
    input = input.substr(0, cut);
  }
  zv::test::RecordingSink sink;
  zv::ReadVectorPicture(input, 5, 5, 110, 110, overrides, sink);
  return 0;
}
