// The allocator the LZMA SDK's encoder and decoder call back into.
#pragma once

#include <Types.h>

#include <cstdlib>

namespace zv {

inline constinit ISzAlloc gLzmaAllocator = {
    [](void*, size_t size) { return size ? std::malloc(size) : nullptr; },
    [](void*, void* address) { std::free(address); }};

}  // namespace zv
