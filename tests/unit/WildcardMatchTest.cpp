#include "dsn/WildcardMatch.h"

#include <gtest/gtest.h>

namespace {

TEST(WildcardMatch, QuestionMarksMatchOneCharacterOrNoneBeforeTheDot) {
    for (const char16_t* name : {u"tq0001.dsn", u"TQ0001.DSN", u"tq1.dsn", u"tq.dsn", u"tqsys.dsn", u"Tq12.Dsn"})
        EXPECT_TRUE(MatchesWildcard(u"tq????.dsn", name)) << CString(name).ToUtf8();
    for (const char16_t* name :
         {u"tq12345.dsn", u"x.dsn", u"tq0001.dsnx", u"tq0001", u"atq0001.dsn", u"tq0001.ds", u"tq00.1.dsn"})
        EXPECT_FALSE(MatchesWildcard(u"tq????.dsn", name)) << CString(name).ToUtf8();
}

TEST(WildcardMatch, StarsMatchAnyRun) {
    EXPECT_TRUE(MatchesWildcard(u"*.dsn", u"tqsys.dsn"));
    EXPECT_TRUE(MatchesWildcard(u"tq*", u"tq"));
    EXPECT_FALSE(MatchesWildcard(u"*.dsn", u"tqsys.bak"));
    EXPECT_TRUE(MatchesWildcard(u"?", u""));
    EXPECT_FALSE(MatchesWildcard(u"", u"a"));
}

}  // namespace
