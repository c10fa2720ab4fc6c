#include "frontend/config_file.h"
#include "frontend/settings.h"
#include "platform/platform.h"
#include "report/report.h"
#include "search/line_match.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <random>

#include <cstdio>
#include <string>

namespace qv {
namespace {

// Keeps the config reader's console messages out of the test log.
class ConfigLine : public ::testing::Test {
  protected:
    void SetUp() override { resetRunSettings(settings); }
    void applyConfigLine(std::string_view line) {
        qv::applyConfigLine(line, settings, capture_.console());
    }
    RunSettings settings;
    test::ConsoleCapture capture_;
};

TEST_F(ConfigLine, TokenRules) {
    applyConfigLine("SEARCHNAME,KABC,OUTPUTTEXT,dst 0201\n");
    EXPECT_STREQ(settings.srchname, "KABC");
    EXPECT_STREQ(settings.outputtext, "dst 0201");
    applyConfigLine(
        "OUTPUTTEXT,,,dst 9,SEARCHNAME\n"); // empty tokens do not exist; key without value
    EXPECT_STREQ(settings.outputtext, "dst 9");
    EXPECT_STREQ(settings.srchname, "KABC");
    applyConfigLine("SEARCHNAME,OUTPUTTEXT,x\n"); // a value that is a key word is just a value
    EXPECT_STREQ(settings.srchname, "OUTPUTTEXT");
    EXPECT_STREQ(settings.outputtext, "dst 9");
    applyConfigLine("SEARCHNAME, spaced value\tx\n"); // nothing is trimmed
    EXPECT_STREQ(settings.srchname, " spaced value\tx");
    applyConfigLine(" SEARCHNAME,no\n"); // a leading blank makes another token
    applyConfigLine("searchname,no\n");
    applyConfigLine("#SEARCHNAME,no\n");
    EXPECT_STREQ(settings.srchname, " spaced value\tx");
    applyConfigLine(" #x,SEARCHNAME,indented\n"); // not a comment: its tokens count
    EXPECT_STREQ(settings.srchname, "indented");
    applyConfigLine("SEARCHNAME,a,SEARCHNAME,b\n"); // last one wins
    EXPECT_STREQ(settings.srchname, "b");
}

TEST_F(ConfigLine, FlagsFollowKeys) {
    applyConfigLine("OUTPUTTEXT,x,SEARCHNAME,y\n");
    EXPECT_FALSE(settings.outputFileEnabled);
    EXPECT_FALSE(settings.levelFilter);
    applyConfigLine("OUTFILENAME,report.txt\n");
    EXPECT_TRUE(settings.outputFileEnabled);
    EXPECT_STREQ(settings.outfilename, "report.txt");
    applyConfigLine("GREPTEXT,greptext\n"); // the grep text turns the level filter on too
    EXPECT_TRUE(settings.levelFilter);
    EXPECT_STREQ(settings.grepText, "greptext");
}

TEST_F(ConfigLine, TwentyKeyPositionsAndTwentyOneTokens) {
    std::string line;
    for (int i = 0; i < 19; ++i)
        line += "t,";
    applyConfigLine(line + "SEARCHNAME,twentieth\n"); // key in 20th place takes the 21st
    EXPECT_STREQ(settings.srchname, "twentieth");
    applyConfigLine(line + "t,SEARCHNAME,late\n"); // key in 21st place is not looked at
    EXPECT_STREQ(settings.srchname, "twentieth");
}

TEST_F(ConfigLine, ValuesAreTruncatedToTheirFields) {
    const std::string longValue(300, 'v');
    applyConfigLine("SEARCHNAME," + longValue + ",GREPTEXT," + longValue + "\n");
    EXPECT_EQ(std::string(settings.srchname), std::string(51, 'v'));
    EXPECT_EQ(std::string(settings.grepText), std::string(99, 'v'));
    applyConfigLine(std::string("SEARCHNAME,ab\0cd\n", 17)); // a NUL ends the line
    EXPECT_STREQ(settings.srchname, "ab");
}

TEST(Settings, DefaultsAndModeNames) {
    RunSettings settings;
    resetRunSettings(settings);
    EXPECT_STREQ(settings.outfilename, "out.txt");
    EXPECT_STREQ(settings.outputtext, "dst 0130");
    EXPECT_STREQ(settings.levelText, "lev 00");
    EXPECT_STREQ(settings.cfgPath, "qv.cfg");
    EXPECT_STREQ(settings.grepText, "");
    for (const char* name : analyzeModeNames)
        EXPECT_EQ(std::string(name).size(), 12u) << name;
    char field[50];
    copyField(field, std::string(80, 'p'));
    EXPECT_EQ(std::string(field).size(), 49u);
}

TEST(Wildcard, MatchesStarAndQuestionMarkOnly) {
    EXPECT_TRUE(wildcardMatch("*.log", "a.log"));
    EXPECT_TRUE(wildcardMatch("*.log", ".log")); // "*" may be empty
    EXPECT_TRUE(wildcardMatch("*", ".hidden"));  // and covers a leading dot
    EXPECT_TRUE(wildcardMatch("a?c", "abc"));
    EXPECT_FALSE(wildcardMatch("a?c", "ac"));
    EXPECT_TRUE(wildcardMatch("*a*b*", "xxaxxbxx"));
    EXPECT_FALSE(wildcardMatch("*a*b", "xxaxxbxxc"));
    EXPECT_FALSE(wildcardMatch("*.LOG", "a.log"));    // case counts
    EXPECT_TRUE(wildcardMatch("[a].log", "[a].log")); // brackets are literal
    EXPECT_FALSE(wildcardMatch("[a].log", "a.log"));
    // A "*" of the pattern is a wildcard even where the name holds a "*" or "?".
    EXPECT_TRUE(wildcardMatch("*", "*x.log"));
    EXPECT_TRUE(wildcardMatch("x*", "x*y.log"));
    EXPECT_TRUE(wildcardMatch("*.log", "*.log"));
    EXPECT_TRUE(wildcardMatch("a*b", "a*xb"));
    EXPECT_TRUE(wildcardMatch("*?", "?"));
    EXPECT_TRUE(wildcardMatch("x?y*", "x*y?z"));
    EXPECT_FALSE(wildcardMatch("x*z", "x*y"));
    EXPECT_EQ(directoryPartLength("logs/day1/*.log", false), 10u);
    EXPECT_EQ(directoryPartLength("*.log", false), 0u);
    EXPECT_EQ(directoryPartLength("logs\\*.log", false), 0u);
    EXPECT_EQ(directoryPartLength("c:\\logs/x\\*.log", true), 10u);
}

// A pair's search must say what two substring searches say, also where the
// common start repeats, overlaps itself or ends the line.
TEST(ContainsPair, SaysWhatASearchForEachTextSays) {
    const TextPair pairs[] = {{"DOFADE:", "START", "DONE"}, {"aa", "a", "ab"}, {"x", "", "x"}};
    const std::string pieces[] = {"DOFADE:", "START", "DONE", "DOFADE:STA", "a",
                                  "aa",      "b",     "x",    " ",          "DOFADE:DOFADE:DONE"};
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        std::string line;
        for (int k = static_cast<int>(rng() % 6); k > 0; --k)
            line += pieces[rng() % std::size(pieces)];
        for (const TextPair& pair : pairs) {
            const PairFound found = containsPair(line, pair);
            const std::string first = std::string(pair.start) + std::string(pair.first);
            const std::string second = std::string(pair.start) + std::string(pair.second);
            ASSERT_EQ(found.first, contains(line, first)) << line << " / " << first;
            ASSERT_EQ(found.second, contains(line, second)) << line << " / " << second;
        }
    }
}

TEST(ParseLong32, BehavesLikeStrtolWithA32BitRange) {
    EXPECT_EQ(parseLong32(" 12", 10), 12);
    EXPECT_EQ(parseLong32(" -7x", 10), -7);
    EXPECT_EQ(parseLong32("=12", 10), 0);
    EXPECT_EQ(parseLong32("s 5", 10), 0);
    EXPECT_EQ(parseLong32("\t+8", 10), 8);
    EXPECT_EQ(parseLong32("99999999999", 10), 2147483647);
    EXPECT_EQ(parseLong32("-99999999999", 10), -2147483647 - 1);
    EXPECT_EQ(parseLong32("-2147483648", 10), -2147483647 - 1);
    EXPECT_EQ(parseLong32("01023004", 16), 0x01023004);
    EXPECT_EQ(parseLong32("  123456", 16), 0x123456);
    EXPECT_EQ(parseLong32("80000000", 16), 0x7FFFFFFF);
    EXPECT_EQ(parseLong32("0x1A", 16), 0x1A);
    EXPECT_EQ(parseLong32("0xZ", 16), 0); // the prefix needs a digit after it
    EXPECT_EQ(parseLong32("-FFFFFFF", 16), -0xFFFFFFF);
    EXPECT_EQ(parseLong32("", 16), 0);
}

} // namespace
} // namespace qv
