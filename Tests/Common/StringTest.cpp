#include "Common/String.h"

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Talmex::_Mac_ShiftJISToUTF8;
using Talmex::_Mac_ShiftJISToWideChar;
using Talmex::_Mac_UTF8ToWideChar;
using Talmex::_Mac_WideCharToShiftJIS;
using Talmex::_Mac_WideCharToUTF8;

// The same Japanese text in the three encodings: kanji, hiragana, katakana,
// full-width punctuation, half-width katakana and ASCII.
const std::string kJapaneseUTF8 = "日本語のテキスト、ｶﾀｶﾅとASCII 123。";
const std::wstring kJapaneseWide = L"日本語のテキスト、ｶﾀｶﾅとASCII 123。";
const std::string kJapaneseShiftJIS =
    "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67\x81\x41"
    "\xB6\xC0\xB6\xC5\x82\xC6"
    "ASCII 123\x81\x42";

// A heap copy of exactly the text's units, with no terminator after them, so
// that a read past the length is caught by the address sanitizer.
template <class Char>
std::unique_ptr<Char[]> Unterminated(const std::basic_string<Char>& text)
{
    std::unique_ptr<Char[]> copy(new Char[text.size()]);
    std::memcpy(copy.get(), text.data(), text.size() * sizeof(Char));
    return copy;
}

std::string UTF8(const std::wstring& text)
{
    return _Mac_WideCharToUTF8(Unterminated(text).get(), text.size());
}

std::string ShiftJIS(const std::wstring& text)
{
    return _Mac_WideCharToShiftJIS(Unterminated(text).get(), text.size());
}

std::wstring WideFromUTF8(const std::string& text)
{
    return _Mac_UTF8ToWideChar(Unterminated(text).get(), text.size());
}

std::wstring WideFromShiftJIS(const std::string& text)
{
    return _Mac_ShiftJISToWideChar(Unterminated(text).get(), text.size());
}

std::string UTF8FromShiftJIS(const std::string& text)
{
    return _Mac_ShiftJISToUTF8(Unterminated(text).get(), text.size());
}

TEST(StringConversionTest, NullTextOrZeroLengthGivesAnEmptyResult)
{
    EXPECT_EQ(_Mac_UTF8ToWideChar(nullptr, 4), L"");
    EXPECT_EQ(_Mac_ShiftJISToWideChar(nullptr, 4), L"");
    EXPECT_EQ(_Mac_ShiftJISToUTF8(nullptr, 4), "");
    EXPECT_EQ(_Mac_WideCharToShiftJIS(nullptr, 4), "");
    EXPECT_EQ(_Mac_WideCharToUTF8(nullptr, 4), "");

    EXPECT_EQ(_Mac_UTF8ToWideChar("abc", 0), L"");
    EXPECT_EQ(_Mac_ShiftJISToWideChar("abc", 0), L"");
    EXPECT_EQ(_Mac_ShiftJISToUTF8("abc", 0), "");
    EXPECT_EQ(_Mac_WideCharToShiftJIS(L"abc", 0), "");
    EXPECT_EQ(_Mac_WideCharToUTF8(L"abc", 0), "");
}

TEST(StringConversionTest, WideLengthCountsCharactersOfFourBytes)
{
    EXPECT_EQ(UTF8(L"\u00E9"), "\xC3\xA9");
    // Only the first character of two is read.
    EXPECT_EQ(_Mac_WideCharToUTF8(L"\u00E9X", 1), "\xC3\xA9");
    EXPECT_EQ(UTF8(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(StringConversionTest, JapaneseRoundTripsThroughAllFiveConversions)
{
    EXPECT_EQ(WideFromUTF8(kJapaneseUTF8), kJapaneseWide);
    EXPECT_EQ(UTF8(kJapaneseWide), kJapaneseUTF8);
    EXPECT_EQ(ShiftJIS(kJapaneseWide), kJapaneseShiftJIS);
    EXPECT_EQ(UTF8FromShiftJIS(kJapaneseShiftJIS), kJapaneseUTF8);
    EXPECT_EQ(WideFromShiftJIS(kJapaneseShiftJIS), kJapaneseWide);

    EXPECT_EQ(WideFromShiftJIS(ShiftJIS(WideFromUTF8(kJapaneseUTF8))), kJapaneseWide);
    EXPECT_EQ(UTF8FromShiftJIS(ShiftJIS(WideFromShiftJIS(kJapaneseShiftJIS))), kJapaneseUTF8);
}

TEST(StringConversionTest, TextLongerThanTheFirstOutputGuessIsConvertedWhole)
{
    // ASCII quadruples from UTF-8 to UTF-32; half-width katakana triples
    // from Shift-JIS to UTF-8.
    const std::string ascii(10000, 'a');
    EXPECT_EQ(WideFromUTF8(ascii), std::wstring(10000, L'a'));
    const std::string halfWidth(10000, '\xB6');
    std::string expected;
    for (int i = 0; i < 10000; ++i) {
        expected += "\xEF\xBD\xB6";
    }
    EXPECT_EQ(UTF8FromShiftJIS(halfWidth), expected);

    std::wstring longJapanese;
    for (int i = 0; i < 500; ++i) {
        longJapanese += kJapaneseWide;
    }
    EXPECT_EQ(WideFromShiftJIS(ShiftJIS(longJapanese)), longJapanese);
}

TEST(StringConversionTest, InvalidUTF8GivesAnEmptyWideString)
{
    EXPECT_EQ(WideFromUTF8("\xFF"), L"");
    EXPECT_EQ(WideFromUTF8("abc\xE3\x81"), L"");      // truncated at the end
    EXPECT_EQ(WideFromUTF8("a\xC0\x80z"), L"");       // overlong zero
    EXPECT_EQ(WideFromUTF8("a\xED\xA0\x80z"), L"");   // encoded surrogate
    EXPECT_EQ(WideFromUTF8("valid\x80text"), L"");    // nothing partial
    EXPECT_EQ(WideFromUTF8("\xF4\x90\x80\x80"), L""); // above U+10FFFF
}

TEST(StringConversionTest, WideValuesOutsideUnicodeFailTheWholeConversion)
{
    for (const wchar_t bad : {wchar_t(0x110000), wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(-1)}) {
        const std::wstring text = std::wstring(L"ok") + bad + L"ok";
        EXPECT_EQ(UTF8(text), "") << std::hex << static_cast<unsigned int>(bad);
        EXPECT_EQ(ShiftJIS(text), "") << std::hex << static_cast<unsigned int>(bad);
    }
}

TEST(StringConversionTest, CharacterThatShiftJISLacksGivesAnEmptyString)
{
    EXPECT_EQ(ShiftJIS(L"日本\u00E9"), "");
    EXPECT_EQ(ShiftJIS(L"\U0001F600"), "");
    EXPECT_EQ(ShiftJIS(L"日本"), "\x93\xFA\x96\x7B");
}

// The converter drops a tag character and writes these as bytes that read
// back as other characters; either would lose text behind a success.
TEST(StringConversionTest, CharacterThatDoesNotConvertBackGivesAnEmptyString)
{
    for (const wchar_t lossy : {0xE0014, 0xA5, 0x203E, 0x2014, 0x301C, 0x2016, 0x2212, 0xAC}) {
        EXPECT_EQ(ShiftJIS(std::wstring(L"日本") + lossy), "")
            << std::hex << static_cast<unsigned int>(lossy);
    }
    // Their stand-ins of the Shift-JIS table itself convert.
    EXPECT_EQ(ShiftJIS(L"\uFFE5\uFF5E\u2015\uFF0D\uFFE2"),
              "\x81\x8F\x81\x60\x81\x5C\x81\x7C\x81\xCA");
}

TEST(StringConversionTest, ReadsExactlyTheGivenLength)
{
    // What follows the length is invalid, and must not be seen.
    EXPECT_EQ(_Mac_UTF8ToWideChar("abc\xFF", 3), L"abc");
    EXPECT_EQ(_Mac_ShiftJISToUTF8("\x82\xA0\x82", 2), "\xE3\x81\x82");
    EXPECT_EQ(_Mac_ShiftJISToWideChar("\x82\xA0\x82", 2), L"あ");
    const wchar_t wide[] = {L'a', 0xD800};
    EXPECT_EQ(_Mac_WideCharToUTF8(wide, 1), "a");
    EXPECT_EQ(_Mac_WideCharToShiftJIS(wide, 1), "a");
}

TEST(StringConversionTest, AZeroCharacterEndsTheResult)
{
    EXPECT_EQ(WideFromUTF8(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(UTF8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(ShiftJIS(std::wstring(L"日\0本", 3)), "\x93\xFA");
    EXPECT_EQ(UTF8FromShiftJIS(std::string("ab\0cd", 5)), "ab");
    // Text after the zero still has to be valid.
    EXPECT_EQ(WideFromUTF8(std::string("ab\0\xFF", 4)), L"");
}

TEST(StringConversionTest, ThreadsConvertingAtOnceGetTheirOwnResults)
{
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 200; ++i) {
                const bool ok = (t % 2 == 0)
                                    ? WideFromShiftJIS(kJapaneseShiftJIS) == kJapaneseWide &&
                                          UTF8FromShiftJIS("a\x80\x82\xA0") == "a\xE3\x81\x82"
                                    : ShiftJIS(kJapaneseWide) == kJapaneseShiftJIS &&
                                          UTF8(kJapaneseWide) == kJapaneseUTF8;
                failures[t] += ok ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(ShiftJISSalvageTest, ValidTextIsConvertedWhole)
{
    // 0xF0 0x40 is a user-defined character: the whole-text conversion keeps
    // it, though the salvage would drop its first byte.
    EXPECT_EQ(UTF8FromShiftJIS("\xF0\x40"), "\xEE\x80\x80");
}

TEST(ShiftJISSalvageTest, IncompleteLeadByteAtTheEndIsDropped)
{
    EXPECT_EQ(UTF8FromShiftJIS("abc\x82"), "abc");
    EXPECT_EQ(WideFromShiftJIS("abc\x82"), L"abc");
}

TEST(ShiftJISSalvageTest, ConvertibleCharactersAmongASCIIAreKeptInOrder)
{
    // The byte 0x80 makes the whole text fail.
    const std::string text = std::string("a\x82\xA0") + "b\xB6" + "c\x80" + "d\x93\xFA";
    EXPECT_EQ(UTF8FromShiftJIS(text), "a"
                                      "\xE3\x81\x82"
                                      "b"
                                      "\xEF\xBD\xB6"
                                      "cd"
                                      "\xE6\x97\xA5");
    EXPECT_EQ(WideFromShiftJIS(text), L"aあbｶcd日");
}

TEST(ShiftJISSalvageTest, LeadingZeroByteIsKeptBeforeTheSalvagedRest)
{
    const std::string text("\0a\x82\xA0", 4);
    EXPECT_EQ(UTF8FromShiftJIS(text), std::string("\0a\xE3\x81\x82", 5));
    // The wide result ends at that zero.
    EXPECT_EQ(WideFromShiftJIS(text), L"");
}

TEST(ShiftJISSalvageTest, BytesThatStartNoCharacterAreDropped)
{
    std::string text = "x\x80y\xA0z";
    for (int byte = 0xF0; byte <= 0xFF; ++byte) {
        text += static_cast<char>(byte);
    }
    text += "!";
    EXPECT_EQ(UTF8FromShiftJIS(text), "xyz!");
    // 0xF0 to 0xFC are not lead bytes: the byte after one is read on its own.
    EXPECT_EQ(UTF8FromShiftJIS("\x80\xF0\x40\xFC\x41"), "@A");
}

TEST(ShiftJISSalvageTest, LeadByteWithoutAValidTrailByteIsDropped)
{
    EXPECT_EQ(UTF8FromShiftJIS("a\x82 b"), "a b");
    EXPECT_EQ(UTF8FromShiftJIS("a\x82\x7F"
                               "b"),
              "a\x7F"
              "b");
    EXPECT_EQ(UTF8FromShiftJIS("\x82\xFD\x82\xA0"), "\xE3\x81\x82");
}

TEST(ShiftJISSalvageTest, UnmappedDoubleByteCodeIsDroppedWithItsTrailByte)
{
    // 0x85 0x40 lies in the lead and trail ranges but names no character.
    EXPECT_EQ(UTF8FromShiftJIS("x\x85\x40y"), "xy");
}

TEST(ShiftJISSalvageTest, NothingSalvageableGivesAnEmptyString)
{
    EXPECT_EQ(UTF8FromShiftJIS("\x80\xFF\x82"), "");
    EXPECT_EQ(WideFromShiftJIS("\x80\xFF\x82"), L"");
}

} // namespace
