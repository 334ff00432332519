// Block encoding with the LZMA SDK's encoder.
#include <LzmaEnc.h>

#include <algorithm>
#include <new>

#include "package/lzma_alloc.h"
#include "package/writer.h"
#include "base/try_alloc.h"

namespace zv {
namespace {

// The SDK's stream interfaces over our buffers. The SDK passes back the address of the
// interface, which is the first member.
struct InStream {
  ISeqInStream Base;
  ByteView Data;
  std::size_t Position = 0;
};
SRes ReadIn(void* p, void* buffer, size_t* size) {
  auto* in = static_cast<InStream*>(p);
  const ByteView chunk = in->Data.substr(in->Position, *size);
  std::copy(chunk.begin(), chunk.end(), static_cast<char*>(buffer));
  in->Position += chunk.size();
  *size = chunk.size();
  return SZ_OK;
}

struct OutStream {
  ISeqOutStream Base;
  Bytes* Out;
};
size_t WriteOut(void* p, const void* data, size_t size) {
  auto* out = static_cast<OutStream*>(p);
  // A short write makes the encoder fail with SZ_ERROR_WRITE.
  return TryAppend(*out->Out, static_cast<const char*>(data), size) ? size : 0;
}

struct ProgressReport {
  ICompressProgress Base;
  const EncodeOptions* Options;
};
SRes ReportProgress(void* p, UInt64 inSize, UInt64) {
  const auto* report = static_cast<ProgressReport*>(p);
  if (inSize == static_cast<UInt64>(-1)) return SZ_OK;  // "size unknown" calls
  return report->Options->Progress(inSize) ? SZ_OK : SZ_ERROR_PROGRESS;
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

}  // namespace

std::uint32_t EncoderWindow(std::uint64_t size, std::uint32_t requested) {
  constexpr std::uint32_t kMin = 4096;
  std::uint32_t window = kMin;
  while (window < size && window < kDictionarySize) window <<= 1;
  if (requested != 0 && requested < window) window = requested < kMin ? kMin : requested;
  return window;
}

Bytes EncodeBlock(ByteView data, const EncodeOptions& options) {
  if (data.empty() || data.size() > kMaxBlockDataSize) return {};
  const auto size = static_cast<std::uint32_t>(data.size());

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
  props.numThreads = 1;

  const EncoderDeleter encoder{LzmaEnc_Create(&gLzmaAllocator)};
  if (!encoder.Handle || LzmaEnc_SetProps(encoder.Handle, &props) != SZ_OK) return {};

  Bytes block;  // a few header bytes: short strings need no allocation
  const std::size_t fieldBytes = SizeFieldBytes(size);
  AppendLittleEndian(block, (size << 2) | static_cast<std::uint32_t>(fieldBytes - 1), fieldBytes);
  block += static_cast<char>(kPropertyByte);
  AppendLittleEndian(block, kDictionarySize, 4);

  InStream in{{ReadIn}, data};
  OutStream out{{WriteOut}, &block};
  ProgressReport progress{{ReportProgress}, &options};
  const SRes result = LzmaEnc_Encode(encoder.Handle, &out.Base, &in.Base,
                                     options.Progress ? &progress.Base : nullptr,
                                     &gLzmaAllocator, &gLzmaAllocator);
  if (result != SZ_OK) return {};
  return block;
}

}  // namespace zv
