// Block encoding with the LZMA SDK's encoder.
#include <LzmaEnc.h>

#include <algorithm>
#include <new>

#include "package/lzma_alloc.h"
#include "package/writer.h"
#include "base/try_alloc.h"

namespace zv {
namespace {

// Quick runs over samples of this size decide whether data is worth the normal settings; data
// up to two samples long is tried whole, so that the quick run's block can be kept.
constexpr std::size_t kSampleSize = std::size_t{256} << 10;

// A sample counts as incompressible unless the quick run gets ahead of it by more than 1/50
// (2 %). Compressed or encrypted data stays behind it; executables and text are far ahead
// after the first 32 KiB, where the encoder first reports and the run stops.
constexpr std::uint64_t kWorthwhileShare = 50;

// For data LZMA cannot shrink: 14 MB/s and 1.36 % growth on random bytes (the packer's own
// settings: 1 MB/s). The normal parser prices literals exactly (the fast one grows 1.37 %); a
// 4 KiB window keeps the match finder's tables in the cache (64 KiB: 10 MB/s).
EncodeOptions IncompressibleOptions() {
  return {.Level = 0, .Algo = 1, .FastBytes = 5, .BtMode = 1, .NumHashBytes = 2, .MatchCycles = 1,
          .Window = 4096, .FastIfIncompressible = false, .Progress = nullptr};
}

class MemoryData final : public BlockSource {
 public:
  explicit MemoryData(ByteView data) : data_(data) {}
  std::uint64_t Size() const override { return data_.size(); }
  bool ReadAt(std::uint64_t offset, char* data, std::size_t length,
              std::size_t* got) const override {
    const ByteView piece = offset < data_.size() ? data_.substr(offset, length) : ByteView();
    std::copy(piece.begin(), piece.end(), data);
    *got = piece.size();
    return true;
  }

 private:
  ByteView data_;
};

// The SDK's stream interfaces. The SDK passes back the address of the interface, which is the
// first member.
struct InStream {
  ISeqInStream Base;
  const BlockSource* Source;
  std::uint64_t Position;
  std::uint64_t End;
};
SRes ReadIn(void* p, void* buffer, size_t* size) {
  auto* in = static_cast<InStream*>(p);
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(*size, in->End - in->Position));
  std::size_t got = 0;
  if (want > 0 && !in->Source->ReadAt(in->Position, static_cast<char*>(buffer), want, &got)) {
    *size = 0;
    return SZ_ERROR_READ;
  }
  in->Position += got;
  *size = got;
  return SZ_OK;
}

struct OutStream {
  ISeqOutStream Base;
  const ByteSink* Sink;
  std::uint64_t Written = 0;
};
size_t WriteOut(void* p, const void* data, size_t size) {
  auto* out = static_cast<OutStream*>(p);
  // A short write makes the encoder fail with SZ_ERROR_WRITE.
  if (!(*out->Sink)(ByteView(static_cast<const char*>(data), size))) return 0;
  out->Written += size;
  return size;
}

// Called with the bytes read and written so far; false stops the encoder.
using ProgressCheck = std::function<bool(std::uint64_t read, std::uint64_t written)>;
struct ProgressReport {
  ICompressProgress Base;
  const ProgressCheck* Check;
};
SRes ReportProgress(void* p, UInt64 inSize, UInt64 outSize) {
  const auto* report = static_cast<ProgressReport*>(p);
  if (inSize == static_cast<UInt64>(-1)) return SZ_OK;  // "size unknown" calls
  return (*report->Check)(inSize, outSize) ? SZ_OK : SZ_ERROR_PROGRESS;
}

struct EncoderDeleter {
  CLzmaEncHandle Handle;
  ~EncoderDeleter() {
    if (Handle) LzmaEnc_Destroy(Handle, &gLzmaAllocator, &gLzmaAllocator);
  }
};

void AppendLittleEndian(Bytes& out, std::uint32_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Encodes size bytes of source from offset as a raw LZMA stream into out. False on any
// failure, also when the source ends early.
bool EncodeStream(const BlockSource& source, std::uint64_t offset, std::uint32_t size,
                  OutStream& out, const EncodeOptions& options, const ProgressCheck& check) {
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = options.Level;
  props.dictSize = EncoderWindow(size, options.Window);
  props.lc = 3;  // with lp 0 and pb 2: the property byte 0x5D every header states
  props.lp = 0;
  props.pb = 2;
  props.algo = options.Algo;
  props.fb = options.FastBytes;
  props.btMode = options.BtMode;
  props.numHashBytes = options.NumHashBytes;
  props.mc = options.MatchCycles;
  props.writeEndMark = 0;  // the decoder stops after S bytes
  props.numThreads = options.Threads;

  const EncoderDeleter encoder{LzmaEnc_Create(&gLzmaAllocator)};
  if (!encoder.Handle || LzmaEnc_SetProps(encoder.Handle, &props) != SZ_OK) return false;
  InStream in{{ReadIn}, &source, offset, offset + size};
  ProgressReport progress{{ReportProgress}, &check};
  const SRes result = LzmaEnc_Encode(encoder.Handle, &out.Base, &in.Base,
                                     check ? &progress.Base : nullptr, &gLzmaAllocator,
                                     &gLzmaAllocator);
  return result == SZ_OK && in.Position == in.End;
}

// The whole source as a block, header first. Returns the length of the stream behind the
// header.
std::optional<std::uint64_t> EncodeWhole(const BlockSource& source, std::uint32_t size,
                                         const ByteSink& sink, const EncodeOptions& options,
                                         const ProgressCheck& check) {
  Bytes header;  // a few bytes: short strings need no allocation
  const std::size_t fieldBytes = SizeFieldBytes(size);
  AppendLittleEndian(header, (size << 2) | static_cast<std::uint32_t>(fieldBytes - 1), fieldBytes);
  header += static_cast<char>(kPropertyByte);
  AppendLittleEndian(header, kDictionarySize, 4);
  if (!sink(header)) return std::nullopt;
  OutStream out{{WriteOut}, &sink};
  if (!EncodeStream(source, 0, size, out, options, check)) return std::nullopt;
  return out.Written;
}

// Stops a quick run as soon as it has got ahead of the sample by the worthwhile share.
ProgressCheck StopWhenWorthwhile(std::uint64_t sampleSize) {
  return [sampleSize](std::uint64_t read, std::uint64_t written) {
    return read <= written || (read - written) * kWorthwhileShare <= sampleSize;
  };
}

// A quick run over size bytes at offset; false also when the sample cannot be read (the real
// run will say so).
bool SampleIsIncompressible(const BlockSource& source, std::uint64_t offset, std::uint32_t size) {
  const ByteSink discard = [](ByteView) { return true; };
  OutStream out{{WriteOut}, &discard};
  const ProgressCheck check = StopWhenWorthwhile(size);
  return EncodeStream(source, offset, size, out, IncompressibleOptions(), check) &&
         check(size, out.Written);
}

}  // namespace

std::uint32_t EncoderWindow(std::uint64_t size, std::uint32_t requested) {
  constexpr std::uint32_t kMin = 4096;
  std::uint32_t window = kMin;
  while (window < size && window < kDictionarySize) window <<= 1;
  if (requested != 0 && requested < window) window = requested < kMin ? kMin : requested;
  return window;
}

std::optional<std::uint64_t> EncodeBlockTo(const BlockSource& source, const ByteSink& sink,
                                           const EncodeOptions& options) {
  const std::uint64_t total = source.Size();
  if (total == 0) return 0;
  if (total > kMaxBlockDataSize) return std::nullopt;
  const auto size = static_cast<std::uint32_t>(total);

  std::uint64_t written = 0;
  const ByteSink counted = [&](ByteView piece) {
    written += piece.size();
    return sink(piece);
  };
  ProgressCheck check;
  if (options.Progress) {
    check = [&options](std::uint64_t read, std::uint64_t) { return options.Progress(read); };
  }
  const auto finish = [&](const BlockSource& data, const EncodeOptions& chosen) {
    return EncodeWhole(data, size, counted, chosen, check) ? std::optional(written) : std::nullopt;
  };
  if (!options.FastIfIncompressible) return finish(source, options);

  if (size <= 2 * kSampleSize) {
    // Small enough to try whole: the quick run's block is kept when it is the one to use.
    Bytes data(size, '\0');
    for (std::size_t done = 0, got = 0; done < size; done += got) {
      if (!source.ReadAt(done, &data[done], size - done, &got) || got == 0) return std::nullopt;
    }
    const MemoryData memory(data);
    Bytes quick;
    const ByteSink keep = [&quick](ByteView piece) {
      return TryAppend(quick, piece.data(), piece.size());
    };
    const ProgressCheck stop = StopWhenWorthwhile(size);
    const auto stream = EncodeWhole(memory, size, keep, IncompressibleOptions(), stop);
    if (!stream || !stop(size, *stream)) return finish(memory, options);
    return counted(quick) ? std::optional(written) : std::nullopt;
  }

  const std::uint64_t middle = (size - kSampleSize) / 2;
  const bool incompressible = SampleIsIncompressible(source, 0, kSampleSize) &&
                              SampleIsIncompressible(source, middle, kSampleSize);
  return finish(source, incompressible ? IncompressibleOptions() : options);
}

Bytes EncodeBlock(ByteView data, const EncodeOptions& options) {
  if (data.empty() || data.size() > kMaxBlockDataSize) return {};
  Bytes block;
  const ByteSink append = [&block](ByteView piece) {
    return TryAppend(block, piece.data(), piece.size());
  };
  if (!EncodeBlockTo(MemoryData(data), append, options)) return {};
  return block;
}

}  // namespace zv
