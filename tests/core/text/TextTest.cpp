#include <gtest/gtest.h>

#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

using namespace text;

TEST(Trim, RemovesControlBytesAndBlanksAtBothEndsOnly) {
  EXPECT_EQ(Trim(std::string("\t\r\n  a b \x01\x1f ", 12)), "a b");
  EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  // GBK bytes are all >= 0x81 and never trimmed.
  EXPECT_EQ(Trim(" \xD6\xD0 "), "\xD6\xD0");
}

TEST(SplitHead, CountLineAndMissingOrLeadingSeparator) {
  std::string rest = "COUNT=200";
  std::string head;
  SplitHead(rest, '=', head);
  EXPECT_EQ(head, "COUNT");
  EXPECT_EQ(rest, "200");

  rest = "no separator here";
  SplitHead(rest, '=', head);
  EXPECT_EQ(head, "no separator here");
  EXPECT_EQ(rest, "");

  rest = "=42";
  SplitHead(rest, '=', head);
  EXPECT_EQ(head, "");
  EXPECT_EQ(rest, "42");

  // Only the first separator splits.
  rest = "a=b=c";
  SplitHead(rest, '=', head);
  EXPECT_EQ(head, "a");
  EXPECT_EQ(rest, "b=c");
}

TEST(SplitFields, RunsOfBlanksCountAsOneAndEmptyFieldEndsLine) {
  EXPECT_EQ(SplitFields("  13800000000   张三 \t 市场部  "),
            (std::vector<std::string>{"13800000000", "张三", "市场部"}));
  // A field made only of control bytes is empty after trimming and ends the line.
  EXPECT_EQ(SplitFields("a \t b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SplitFields("").empty());
  EXPECT_TRUE(SplitFields("   ").empty());
  // First field at another separator, the rest at blanks.
  EXPECT_EQ(SplitFields("x=y z", '='), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(SplitFields("=y z", '='), (std::vector<std::string>{}));
}

TEST(FirstField, TextBeforeFirstBlank) {
  EXPECT_EQ(FirstField("  1380 name"), "1380");
  EXPECT_EQ(FirstField("single"), "single");
  EXPECT_EQ(FirstField(""), "");
}

TEST(IsAllDigits, DigitsOnlyAndNonEmpty) {
  EXPECT_FALSE(IsAllDigits(""));
  EXPECT_TRUE(IsAllDigits("0012"));
  EXPECT_FALSE(IsAllDigits("-12"));
  EXPECT_FALSE(IsAllDigits("1 2"));
  EXPECT_FALSE(IsAllDigits("+1"));
  EXPECT_FALSE(IsAllDigits("\xA3\xB1"));  // full-width 1 in GBK
}

TEST(RepeatText, CountsZeroAndNegativeGiveEmpty) {
  EXPECT_EQ(RepeatText(" ", 0), "");
  EXPECT_EQ(RepeatText(" ", -3), "");
  EXPECT_EQ(RepeatText("ab", 3), "ababab");
  EXPECT_EQ(RepeatText("", 5), "");
}

TEST(ParseInt32, RangeOfSignedThirtyTwoBits) {
  int32_t v = -1;
  EXPECT_TRUE(ParseInt32("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  EXPECT_FALSE(ParseInt32("2147483648", v));
  EXPECT_FALSE(ParseInt32("99999999999999999999", v));
  EXPECT_TRUE(ParseInt32("000", v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(ParseInt32("", v));
}

TEST(Gbk, KnownBytesBothWays) {
  // "中文" is D6 D0 CE C4 in GBK and E4 B8 AD E6 96 87 in UTF-8.
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(G("抽奖"), "\xB3\xE9\xBD\xB1");
  EXPECT_EQ(Utf8ToGbk("abc 123"), "abc 123");
  EXPECT_EQ(GbkToUtf8(""), "");
}

TEST(Gbk, RoundTripsEveryCharacterIncludingOutsideGbk) {
  for (const char* s : {"Qarvo抽奖软件已经在执行", "谢谢您的参与，。！“”", "€ © 😀 𠀀", "O'Brien"}) {
    std::string gbk;
    ASSERT_TRUE(Utf8ToGbk(s, gbk)) << s;
    std::string back;
    ASSERT_TRUE(GbkToUtf8(gbk, back)) << s;
    EXPECT_EQ(back, s);
  }
  // The Chinese comma and full stop are two bytes each in GBK.
  EXPECT_EQ(G("，").size(), 2u);
}

TEST(Gbk, BadBytesFailStrictlyAndAreReplacedLeniently) {
  std::string out;
  EXPECT_FALSE(GbkToUtf8("ab\x81", out));  // lead byte with nothing after it
  EXPECT_EQ(GbkToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
  EXPECT_EQ(GbkToUtf8("\xFF"
                      "cd"),
            "\xEF\xBF\xBD"
            "cd");
  EXPECT_FALSE(Utf8ToGbk("x\xC3\x28y", out));
  const std::string lenient = Utf8ToGbk("x\xC3\x28y");
  EXPECT_EQ(lenient.front(), 'x');
  EXPECT_EQ(lenient.back(), 'y');
  EXPECT_NE(lenient.find('?'), std::string::npos);
}

TEST(Utf8Check, ValidAndInvalidForms) {
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("中文😀"));
  EXPECT_FALSE(IsValidUtf8("\xD6\xD0\xCE\xC4"));  // GBK bytes are not UTF-8
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));          // cut short
  EXPECT_TRUE(IsAscii("abc"));
  EXPECT_FALSE(IsAscii("中"));
}

TEST(Gbk, TextFullOfBadBytesIsReplacedByteForByte) {
  // 0xFF is no lead byte of GB18030: each one becomes one replacement character.
  const std::string bad(256 * 1024, '\xFF');
  const std::string u = text::GbkToUtf8("a" + bad + G("中"));
  ASSERT_EQ(u.size(), 1 + bad.size() * 3 + 3);
  EXPECT_EQ(u.substr(0, 4), "a\xEF\xBF\xBD");
  EXPECT_EQ(u.substr(u.size() - 3), "中");
  EXPECT_EQ(text::Utf8ToGbk(std::string(1000, '\x80')), std::string(1000, '?'));
}

TEST(TextFormat, Utf8LengthHexDigitAndLocalTime) {
  EXPECT_EQ(text::Utf8Length("a", 0), 1u);
  EXPECT_EQ(text::Utf8Length("x\xE4\xB8\xAD", 1), 3u);     // 中
  EXPECT_EQ(text::Utf8Length("\xF0\x9F\x8E\x89", 0), 4u);  // U+1F389
  EXPECT_EQ(text::Utf8Length("\xE4\xB8", 0), 0u);          // cut short
  EXPECT_EQ(text::Utf8Length("\xC0\x80", 0), 0u);          // overlong
  EXPECT_EQ(text::Utf8Length("\xED\xA0\x80", 0), 0u);      // a surrogate
  EXPECT_EQ(text::Utf8Length("\xF4\x90\x80\x80", 0), 0u);  // past U+10FFFF
  EXPECT_EQ(text::Utf8Length("\xE4\x41\xAD", 0), 0u);      // not a continuation
  EXPECT_EQ(text::Utf8Length("\x80", 0), 0u);
  EXPECT_EQ(text::Utf8Length("ab", 2), 0u);
  EXPECT_EQ(text::HexDigit('7'), 7);
  EXPECT_EQ(text::HexDigit('a'), 10);
  EXPECT_EQ(text::HexDigit('F'), 15);
  EXPECT_EQ(text::HexDigit('g'), -1);
  // 400 days after the epoch is in 1971 in every time zone.
  EXPECT_EQ(text::LocalTime(400 * 86400, "%Y"), "1971");
  EXPECT_EQ(text::LocalTime(400 * 86400, "%Y-%m").size(), 7u);
}
