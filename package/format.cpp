#include "package/format.h"

namespace zv {

Bytes AssembleMarker() {
  // Byte-wise reads through volatile pointers: the compiler has to load every byte at run time
  // and cannot merge the two parts into one 22-byte constant of the image.
  Bytes marker(kMarkerSize, '\0');
  const volatile char* head = kMarkerHead.data();
  const volatile char* tail = kMarkerTail.data();
  for (std::size_t i = 0; i < kMarkerHead.size(); ++i) marker[i] = head[i];
  for (std::size_t i = 0; i < kMarkerTail.size(); ++i) marker[kMarkerHead.size() + i] = tail[i];
  return marker;
}

}  // namespace zv
