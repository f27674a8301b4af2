// Guards the archive type vocabulary: a display name shifted to the wrong type or
// not 10 characters wide, and a type set that lets through a type it must refuse.
#include "engine/vroTypes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vro {
namespace {

TEST(ArcTypeNames, EveryNameIsTenCharactersWide) {
    for (int t = 0; t < kArcTypeCount; ++t)
        EXPECT_EQ(std::strlen(ArcTypeNames[t]), 10u) << ArcTypeIdent(TArcType(t));
}

TEST(ArcTypeNames, NamesAndIdentsLineUpWithTheirTypes) {
    struct Row {
        TArcType type;
        const char* name;
        const char* ident;
    };
    const Row rows[] = {
        {atNA, "Not avail.", "atNA"},       {atUnknown, "Unknown   ", "atUnknown"},
        {atBhExe, "BH  SFX   ", "atBhExe"}, {atJar, "Java JAR  ", "atJar"},
        {atMsGZ, "MsGZ     \t", "atMsGZ"},  {atZipMV, "Zip MVol  ", "atZipMV"},
        {atZoo, "ZOO       ", "atZoo"},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(ArcTypeNames[row.type], row.name) << row.ident;
        EXPECT_STREQ(ArcTypeIdent(row.type), row.ident);
    }
    EXPECT_STREQ(ArcTypeIdent(TArcType(kArcTypeCount)), "");
}

TEST(ArcTypeSets, EachSetLeavesOutExactlyItsTypes) {
    struct Row {
        TArcType type;
        bool recognised, extractable, testable;
    };
    const Row rows[] = {
        {atNA, false, false, false},          {atUnsupported, false, false, false},
        {atFileOpenErr, false, false, false}, {atUnknown, false, false, false},
        {atHa, true, false, false},           {atMsGZ, true, false, false},
        {atPak, true, false, false},          {atPakExe, true, false, false},
        {atCab, true, true, false},           {atUue, true, true, false},
        {atZipMV, true, true, false},         {atACE, true, true, true},
        {atZipExe, true, true, true},         {TArcType(kArcTypeCount), true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.type));
        EXPECT_EQ(IsRecognised(row.type), row.recognised);
        EXPECT_EQ(IsExtractable(row.type), row.extractable);
        EXPECT_EQ(IsTestable(row.type), row.testable);
    }

    int recognised = 0, extractable = 0, testable = 0;
    for (int t = 0; t < kArcTypeCount; ++t) {
        recognised += IsRecognised(TArcType(t));
        extractable += IsExtractable(TArcType(t));
        testable += IsTestable(TArcType(t));
    }
    EXPECT_EQ(recognised, kArcTypeCount - 4);
    EXPECT_EQ(extractable, recognised - 4);
    EXPECT_EQ(testable, extractable - 3);
}

} // namespace
} // namespace vro
