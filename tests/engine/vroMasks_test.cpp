// Guards FileSpec / ExcludeSpec matching: extension balancing, wildcards on the
// name's side, the empty-side rules, and time blowing up on many stars.
#include "engine/vroMasks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vro {
namespace {

struct MatchRow {
    const char* name;
    std::string pattern;
    std::string file;
    bool namesOnly;
    bool expected;
};

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

const MatchRow kMatchRows[] = {
    {"StarDotStarMatchesNameWithoutDot", "*.*", "README", false, true},
    {"StarDotStarMatchesNameWithDot", "*.*", "read.me", false, true},
    {"ExtensionMatchesLastOfTwoDotsAnyCase", "*.TXT", "notes.old.txt", false, true},
    {"QuestionMarkWithLettersInOtherCase", "re?dME", "README", false, true},
    {"ThreeLettersMissFourLetterName", "abc", "abcd", false, false},
    {"NameEndingInStarMatchesLongerPattern", "abcdef.txt", "abc*", false, true},
    {"NameEndingInStarNeedsItsOtherLetters", "abxdef.txt", "abc*", false, false},
    {"PatternEndingInDotMatchesNameWithoutIt", "readme.", "readme", false, true},
    {"PatternEndingInDotMissesNameWithExtension", "readme.", "readme.txt", false, false},
    {"QuestionMarkOnNameSide", "abc.txt", "a?c.txt", false, true},
    {"QuestionMarkNeedsOneCharacter", "ab?", "ab", false, false},
    {"QuestionMarkTakesPrecedenceOverStar", "a*c", "a?", false, false},
    {"StarsInMiddleBacktrack", "a*b*c", "axxbyybc", false, true},
    {"StarsInMiddleStillNeedTheEnd", "a*b*c", "axxbyyb", false, false},
    {"StarsOnBothSides", "*.txt", "*.*", false, true},
    {"TrailingStarsOfNameAreSkipped", "abc", "abc**", false, true},
    {"TrailingStarsOfPatternAreSkipped", "abc**", "abc", false, true},
    {"CaseFoldsOnlyAsciiLetters", "\xC4.txt", "\xE4.txt", false, false},
    {"BothEmpty", "", "", false, true},
    {"EmptyPatternMatchesNameStartingWithStar", "", "*x", false, true},
    {"EmptyPatternMissesPlainName", "", "abc", false, false},
    {"EmptyNameMatchesPatternStartingWithStar", "*x", "", false, true},
    {"EmptyNameMissesPlainPattern", "x*", "", false, false},
    {"NamesOnlyCutsFolders", "other\\a.txt", "dir\\sub\\a.txt", true, true},
    {"NamesOnlyCutsDrive", "a.txt", "C:a.txt", true, true},
    {"WholePathsWithoutNamesOnly", "a.txt", "dir\\a.txt", false, false},
    {"ManyPatternStarsAgainstLongNameFinish", Repeat("*a", 40) + "*b", std::string(300, 'a'), false,
     false},
    {"ManyStarsOnBothSidesFinish", Repeat("*a", 40) + "b", Repeat("a*", 150) + "c", false, false},
};

class WildcardMatchRows : public testing::TestWithParam<MatchRow> {};

TEST_P(WildcardMatchRows, Matches) {
    const MatchRow& row = GetParam();
    EXPECT_EQ(WildcardMatch(row.pattern, row.file, row.namesOnly), row.expected);
}

INSTANTIATE_TEST_SUITE_P(, WildcardMatchRows, testing::ValuesIn(kMatchRows),
                         [](const testing::TestParamInfo<MatchRow>& info) {
                             return info.param.name;
                         });

TEST(NormalizeSpecList, DropsEmptyItemsAndKeepsOnlyTheMask) {
    std::vector<std::string> list = {"", "C:\\data\\reports/*.txt", "sub/dir/b?.doc"};
    NormalizeSpecList(list);
    EXPECT_EQ(list, (std::vector<std::string>{"*.txt", "b?.doc"}));
}

} // namespace
} // namespace vro
