#include <gtest/gtest.h>

#include <string>

#include "app/page_pictures.h"
#include "paint/vector_picture.h"
#include "tests/picture/recording_sink.h"

namespace zv::test {
namespace {

struct Slot {
  std::string_view picture;
  float x, y, size;
  std::size_t length;  // the size the page layout was planned around
};

const Slot kSlots[] = {{kPagePicture1, 5, 5, 110, 1476},
                       {kPagePicture2, 5, 150, 110, 168},
                       {kPagePicture3, 265, 0, 50, 175}};

TEST(PagePictures, ReadCleanlyInTheirBoxes) {
  for (const Slot& slot : kSlots) {
    SCOPED_TRACE(std::string(slot.picture.substr(0, 20)));
    EXPECT_NEAR(static_cast<double>(slot.picture.size()), static_cast<double>(slot.length),
                slot.length * 0.15);
    RecordingSink sink;
    ASSERT_EQ(ReadVectorPicture(slot.picture, slot.x, slot.y, slot.size, slot.size, "", sink),
              PictureStatus::kDrawn);
    EXPECT_GT(sink.calls.size(), 6u);
    // Every command is a known figure.
    std::string_view commands;
    ReadPicturePalette(slot.picture, "", &commands);
    for (std::size_t start = 0; start <= commands.size();) {
      std::size_t plus = commands.find('+', start);
      std::string_view command = commands.substr(start, plus - start);
      ASSERT_FALSE(command.empty());
      EXPECT_NE(std::string_view("abcdefghi").find(command[0]), std::string_view::npos)
          << command;
      if (plus == std::string_view::npos) break;
      start = plus + 1;
    }
    // Polygons, lines and curves stay inside the box.
    for (const auto& points : sink.pointLists)
      for (const PicturePoint& p : points) {
        EXPECT_GE(p.x, slot.x - 0.01f);
        EXPECT_LE(p.x, slot.x + slot.size + 0.01f);
        EXPECT_GE(p.y, slot.y - 0.01f);
        EXPECT_LE(p.y, slot.y + slot.size + 0.01f);
      }
  }
  EXPECT_EQ(kPagePicture1.front(), '(');
}

TEST(PagePictures, HeaderOverrideTurnsTheMarkDarkBlue) {
  auto uses = [](const RecordingSink& sink, const std::string& colour) {
    for (const std::string& call : sink.calls)
      if (call.find(colour) != std::string::npos) return true;
    return false;
  };
  RecordingSink own, header;
  ReadVectorPicture(kPagePicture3, 23, 180, 50, 50, "", own);
  ReadVectorPicture(kPagePicture3, 265, 0, 50, 50, "FF00008B", header);
  EXPECT_FALSE(uses(own, "FF00008B"));
  EXPECT_TRUE(uses(header, "SetSmoothBrush(FF00008B)"));
}

}  // namespace
}  // namespace zv::test
