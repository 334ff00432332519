// The installer's three page pictures, in the vector picture notation (paint/vector_picture.h).
#pragma once

#include <string_view>

namespace zv {

// Slot 1, welcome page top left (110 x 110): an opened software box with a green leaf growing
// out of it: portable, unpack-only ("green") software.
extern const std::string_view kPagePicture1;
// Slot 2, welcome page lower left (110 x 110): a shield with a check badge, "safe, no traces".
// The slot 3 mark is painted on top of its left part.
extern const std::string_view kPagePicture2;
// Slot 3, the maker's mark (50 x 50): a stylised turtle in palette entry 1 (green by its own
// colour list; the header band recolours it dark blue with the override "FF00008B").
extern const std::string_view kPagePicture3;

}  // namespace zv
