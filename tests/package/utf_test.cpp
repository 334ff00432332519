// UTF-8 to UTF-16 as the platform converts it, and back.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "win/wide.h"
#endif

#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::Hex;

struct Case {
  const char* input;  // hex
  Text expected;
};

// What MultiByteToWideChar(CP_UTF8, 0, ...) gives: a sequence is broken off at the first byte
// that cannot continue it, and what was taken becomes one U+FFFD.
const Case kCases[] = {
    {"41 E4 B8 AD", ZV_TEXT("A\u4E2D")},
    {"C3 A9 DF BF EF BF BF EF BF BE", ZV_TEXT("\u00E9\u07FF\uFFFF\uFFFE")},
    {"F0 9F 98 80 41", ZV_TEXT("\U0001F600A")},           // four bytes: a surrogate pair
    {"F0 90 80 80 F4 8F BF BF", ZV_TEXT("\U00010000\U0010FFFF")},
    {"E4 B8 41", ZV_TEXT("\uFFFDA")},                     // truncated inside the text
    {"C2 41", ZV_TEXT("\uFFFDA")},
    {"C2 C3 A9", ZV_TEXT("\uFFFD\u00E9")},
    {"80", ZV_TEXT("\uFFFD")},                            // stray continuation bytes
    {"80 BF 41", ZV_TEXT("\uFFFD\uFFFDA")},
    {"C0 80", ZV_TEXT("\uFFFD\uFFFD")},                   // overlong forms
    {"C1 BF", ZV_TEXT("\uFFFD\uFFFD")},
    {"E0 80 80", ZV_TEXT("\uFFFD\uFFFD")},
    {"E0 9F BF", ZV_TEXT("\uFFFD\uFFFD")},
    {"F0 8F 80 80", ZV_TEXT("\uFFFD\uFFFD\uFFFD")},
    {"ED A0 80", ZV_TEXT("\uFFFD\uFFFD")},                // UTF-8-encoded surrogates
    {"ED BF BF 41", ZV_TEXT("\uFFFD\uFFFDA")},
    {"ED 9F BF", ZV_TEXT("\uD7FF")},
    {"F4 90 80 80", ZV_TEXT("\uFFFD\uFFFD\uFFFD")},       // beyond U+10FFFF
    {"F5 80 80 80", ZV_TEXT("\uFFFD\uFFFD\uFFFD\uFFFD")},
    {"F8 88 80 80 80", ZV_TEXT("\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD")},
    {"FE FF", ZV_TEXT("\uFFFD\uFFFD")},
    {"E4 B8", ZV_TEXT("\uFFFD")},                         // truncated at the end
    {"41 F0 9F 98", ZV_TEXT("A\uFFFD")},
    {"F4 90", ZV_TEXT("\uFFFD")},
    {"ED A0", ZV_TEXT("\uFFFD")},
    {"E4 41", ZV_TEXT("\uFFFDA")},  // see PlatformConverterAgrees for Wine
    {"F0 41 42", ZV_TEXT("\uFFFDAB")},
    {"41 00 42", ZV_TEXT("A")},                           // a NUL byte ends the text
    {"E4 B8 00 41", ZV_TEXT("\uFFFD")},
    {"00", ZV_TEXT("")},
    {"", ZV_TEXT("")},
};

TEST(Utf8ToWide, ConvertsLikeThePlatform) {
  for (const Case& c : kCases) EXPECT_EQ(Utf8ToWide(Hex(c.input)), c.expected) << c.input;
}

TEST(WideToUtf8, RoundTripsAndReplacesLoneSurrogates) {
  const Text text = ZV_TEXT("A\u00E9\u4E2D\U0001F600\U0010FFFF");
  EXPECT_EQ(WideToUtf8(text), Hex("41 C3A9 E4B8AD F09F9880 F48FBFBF"));
  EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
  EXPECT_EQ(WideToUtf8(Text{u'a', TextUnit(0xD800), u'b', TextUnit(0xDC00)}),
            Hex("61 EFBFBD 62 EFBFBD"));
}

#ifdef _WIN32
Text Platform(ByteView bytes) {
  std::wstring out(bytes.size() * 2 + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? n : 0);
  return FromWide(out.c_str());  // up to the first NUL, as Utf8ToWide's result ends
}

// Wine's converter differs from Windows in one visible way: when a sequence is cut off by
// the end of the input, Wine takes every byte up to the end into the one U+FFFD, so
// "E4 41" gives only U+FFFD and the "A" is lost. Windows documents that invalid sequences are
// replaced, not that valid characters are dropped, and breaks such a sequence off at "A" as
// it does inside the text. The comparison therefore appends three NUL bytes (after which no
// sequence can be cut off by the end) and cuts both results at the first NUL.
Text PlatformWindowsBehaviour(ByteView bytes) {
  return Platform(Bytes(bytes) + Bytes(3, '\0'));
}

TEST(Utf8ToWide, PlatformConverterAgrees) {
  for (const Case& c : kCases) {
    const Bytes input = Hex(c.input);
    EXPECT_EQ(PlatformWindowsBehaviour(input), c.expected) << c.input;
  }
  // Short random strings over the bytes that matter: ASCII, NUL, continuation bytes and
  // every kind of lead byte.
  static constexpr unsigned char kAlphabet[] = {
      0x00, 0x41, 0x0D, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0,
      0xE1, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xF7, 0xF8, 0xFB, 0xFC, 0xFE, 0xFF};
  std::mt19937 random(1);
  for (int round = 0; round < 20000; ++round) {
    Bytes input(1 + random() % 8, '\0');
    for (char& b : input) b = static_cast<char>(kAlphabet[random() % std::size(kAlphabet)]);
    ASSERT_EQ(Utf8ToWide(input), PlatformWindowsBehaviour(input)) << round;
    // Wherever no sequence is cut off by the end, Wine's plain result agrees as well.
    const Text plain = Platform(input);
    if (plain.size() >= Utf8ToWide(input).size()) {
      ASSERT_EQ(Utf8ToWide(input), plain) << round;
    }
  }
  // Valid text of every length class, Chinese included.
  const Bytes text = WideToUtf8(ZV_TEXT("Zelv软件安装 \u00E9\u07FF\u0800\uFFFD\U00010000\U0010FFFF"));
  EXPECT_EQ(Utf8ToWide(text), Platform(text));
}
#endif

}  // namespace
}  // namespace zv
