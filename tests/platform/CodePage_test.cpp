// Guards against OEM names that do not survive a round trip through UTF-8 or lose malformed bytes.
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

// Restores CP437 (the default) after each test, whatever it selected.
class CodePageTest : public testing::Test {
protected:
    void TearDown() override { SetOemCodePage(437); }
};

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

} // namespace

TEST_F(CodePageTest, EveryByteRoundTripsInEveryCodePage) {
    for (const int page : {437, 850, 852, 866}) {
        ASSERT_TRUE(SetOemCodePage(page));
        const std::string utf8 = OemToAnsi(AllBytes());
        EXPECT_EQ(AnsiToOem(utf8), AllBytes()) << "code page " << page;
        EXPECT_EQ(utf8.substr(0, 128), AllBytes().substr(0, 128)) << "ASCII stays ASCII";
    }
}

TEST_F(CodePageTest, KnownCharactersLandOnTheirBytes) {
    struct Row {
        int page;
        std::string oem, utf8;
    };
    for (const Row& row : {Row{437, "\x82\xA5\xA3\xE1", "éÑúß"}, Row{850, "\x9B", "ø"},
                           Row{852, "\xA5", "ą"}, Row{866, "\x80", "А"}}) {
        ASSERT_TRUE(SetOemCodePage(row.page));
        EXPECT_EQ(OemToAnsi(row.oem), row.utf8) << row.page;
        EXPECT_EQ(AnsiToOem(row.utf8), row.oem) << row.page;
    }
}

TEST_F(CodePageTest, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(AnsiToOem("€ 中 😀 ok"), "? ? ? ok"); // one "?" per character, not per byte
}

TEST_F(CodePageTest, MalformedUtf8IsTakenAsLatin1ByteForByte) {
    struct Row {
        const char* label;
        std::string utf8, oem;
    };
    for (const Row& row : {
             Row{"LoneLatin1Byte", "caf\xE9", "caf\x82"},         // é
             Row{"OverlongE9", "\xE0\x83\xA9", "\x85??"},         // à, C1 control, ©
             Row{"Surrogate", "\xED\xA0\x80", "\xA1\xFF?"},       // í, no-break space, C1
             Row{"CutShort", "\xC3", "?"},                        // Ã is not in CP437
             Row{"StrayContinuation", "\xA0x", "\xFFx"},          // no-break space
             Row{"BeyondUnicode", "\xF4\x90\x80\x80", "\x93???"}, // U+110000: ô, C1s
         })
        EXPECT_EQ(AnsiToOem(row.utf8), row.oem) << row.label;
}

TEST_F(CodePageTest, UnknownCodePageKeepsTheCurrentOne) {
    ASSERT_TRUE(SetOemCodePage(866));
    EXPECT_FALSE(SetOemCodePage(1252));
    EXPECT_EQ(OemCodePage(), 866);
    EXPECT_EQ(OemToAnsi("\x80"), "А");
}
