#include <common/text.h>

#include <gtest/gtest.h>

namespace orb {
namespace {

TEST(Text, RoundTripsAcrossPlanes) {
  const std::string utf8 = "abc \xE6\x92\xAD\xE6\x94\xBE \xF0\x9F\x8E\xA5";  // "abc 播放 🎥"
  const std::u16string utf16 = utf8_to_utf16(utf8);
  EXPECT_EQ(utf16, u"abc \u64AD\u653E \U0001F3A5");
  EXPECT_EQ(utf16.size(), 9u);  // the camera is a surrogate pair
  EXPECT_EQ(utf16_to_utf8(utf16), utf8);
}

TEST(Text, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(utf8_to_utf16("a\xFF"
                          "b"),
            u"a\uFFFDb");
  EXPECT_EQ(utf8_to_utf16("\xE6\x92"), u"\uFFFD");      // truncated sequence
  EXPECT_EQ(utf8_to_utf16("\xC0\xAF!"), u"\uFFFD!");    // overlong '/'
  EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
  const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC00};
  EXPECT_EQ(utf16_to_utf8(std::u16string_view(lone, 4)), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(Text, AsciiLowerLeavesOtherBytes) { EXPECT_EQ(ascii_lower("OpTION \xC3\x89"), "option \xC3\x89"); }

}  // namespace
}  // namespace orb
