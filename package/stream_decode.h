// Decoding a record piece by piece, never holding its whole block or output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>

#include "base/text.h"
#include "package/codec.h"
#include "package/container.h"
#include "package/format.h"

namespace zv {

// Receives bytes in order; returning false stops the one who hands them out.
using ByteSink = std::function<bool(ByteView)>;

// What a decoder hands its pieces to: a reference to any callable of that shape, neither copied
// nor stored, so it lives as long as the call it is passed to (no allocation, and little code in
// the installer).
class ByteSinkRef {
 public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, ByteSinkRef>>>
  ByteSinkRef(F&& sink)  // NOLINT: converts like the callable it refers to
      : object_(const_cast<void*>(static_cast<const void*>(&sink))),
        call_([](void* object, ByteView piece) -> bool {
          return (*static_cast<std::remove_reference_t<F>*>(object))(piece);
        }) {}
  bool operator()(ByteView piece) const { return call_(object_, piece); }

 private:
  void* object_;
  bool (*call_)(void*, ByteView);
};

struct StreamedBlock {
  BlockStatus Status = BlockStatus::Empty;  // what DecodeBlockChecked would say of the block
  bool Stopped = false;                     // the sink returned false
  std::uint64_t ZeroTail = 0;  // without padding: zero bytes left out at the end (see below)
  // Ok, and the stream ends where its data does: the range coder's code back at 0 or an end
  // mark read, no undecoded byte left, and nothing after it in the block but zero bytes.
  bool EndsCleanly = false;
};
// Decodes the block of record from source piece by piece, reading the block in pieces too:
// sink receives the S decoded bytes in order. Memory: the dictionary, which grows with the
// output up to the stated size but no larger than S or kDictionarySize (what writers state: a
// stream that reaches further back does not decode), the decoder's tables and one input piece;
// never the whole block or file. A stream that ends (with its end mark) before S bytes stands
// for zeros up to S: with padZeros the sink receives them, without it ZeroTail tells how many
// there would be, so that a stated size is never materialised to be judged. A smaller window
// bounds the memory further; a stream that reaches back beyond it is then Corrupt.
StreamedBlock DecodeRecordStream(const PackageSource& source, const RecordSpan& record,
                                 ByteSinkRef sink, bool padZeros = true,
                                 std::uint32_t window = kDictionarySize);
// What a text block (the information block, the file list) may decode to, far above any real
// package (633 files make a list of 40 KB): a larger one is taken as damaged, so that a few
// bytes stating a gigabyte cost little.
// (A fuzzing build lowers both text bounds: reaching them is the same code, and millions of
// inputs each decoding to the full bound would leave no time for anything else.)
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::size_t kMaxTextBlockSize = std::size_t{256} << 10;
#else
inline constexpr std::size_t kMaxTextBlockSize = std::size_t{16} << 20;
#endif
// The decoded bytes of a small block that is read whole (the information block, the file list),
// without the zero tail: ZeroTail tells its length, which out never holds, so a stated size
// costs nothing to judge. Status Corrupt beyond kMaxTextBlockSize or when the stream does not
// end cleanly (a damaged block seldom does), OutOfMemory when out cannot grow; out is empty
// unless Ok.
StreamedBlock DecodeRecordText(const PackageSource& source, const RecordSpan& record, Bytes& out);

}  // namespace zv
