#include "engine/pg/PgEngine.h"

#include <gtest/gtest.h>

namespace venqor {
namespace {

struct RewriteCase {
    const char* name;
    const char* sql;
    const char* rewritten;
    std::vector<std::string> names;
};

class RewriteNamedParametersTest : public testing::TestWithParam<RewriteCase> { };

TEST_P(RewriteNamedParametersTest, RewritesToNumberedParameters)
{
    const RewriteCase& c = GetParam();
    std::vector<std::string> names { "left over from before" };
    EXPECT_EQ(RewriteNamedParameters(c.sql, names), c.rewritten);
    EXPECT_EQ(names, c.names);
}

const RewriteCase rewriteCases[] = {
    { "LookupByNumber", "SELECT * FROM NUMS WHERE NUM=:NUM", "SELECT * FROM NUMS WHERE NUM=$1", { "NUM" } },
    { "LookupByNameAndBirth",
        "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH",
        "SELECT * FROM NUMS WHERE FAM=$1 AND NAM=$2 AND OTCH=$3 AND BIRTH=$4",
        { "FAM", "NAM", "OTCH", "BIRTH" } },
    { "RepeatedNameKeepsItsNumber", "SELECT :A, :B, :A, :B", "SELECT $1, $2, $1, $2", { "A", "B" } },
    { "NamesDifferingInCaseAreDistinct", "SELECT :num, :NUM", "SELECT $1, $2", { "num", "NUM" } },
    { "DigitsAndUnderscoreInNames", "WHERE a=:P1 AND b=:_x AND c=:NUM_2 AND d=:P10",
        "WHERE a=$1 AND b=$2 AND c=$3 AND d=$4", { "P1", "_x", "NUM_2", "P10" } },
    { "TrailingParameter", "WHERE NUM=:NUM", "WHERE NUM=$1", { "NUM" } },
    { "ParameterInParentheses", "WHERE NUM IN (:A,:B)", "WHERE NUM IN ($1,$2)", { "A", "B" } },
    { "ColonInsideStringLeftAlone", "WHERE FAM=':FAM' AND NAM=:NAM", "WHERE FAM=':FAM' AND NAM=$1",
        { "NAM" } },
    { "DoubledQuoteInsideString", "WHERE FAM='O'':X' AND NAM=:NAM", "WHERE FAM='O'':X' AND NAM=$1",
        { "NAM" } },
    { "EscapeStringWithBackslashQuote", "WHERE FAM=E'\\':X' AND NAM=:NAM", "WHERE FAM=E'\\':X' AND NAM=$1",
        { "NAM" } },
    { "BackslashInPlainStringIsNoEscape", "WHERE FAM='\\' AND NAM=:NAM", "WHERE FAM='\\' AND NAM=$1",
        { "NAM" } },
    { "ColonInsideQuotedIdentifierLeftAlone", "SELECT \"a:B\", \"x\"\":y\" FROM T WHERE N=:N",
        "SELECT \"a:B\", \"x\"\":y\" FROM T WHERE N=$1", { "N" } },
    { "CastLeftAlone", "WHERE BIRTH=:BIRTH::date AND '1'::int=1", "WHERE BIRTH=$1::date AND '1'::int=1",
        { "BIRTH" } },
    { "PositionalParameterUntouched", "WHERE NUM=$1", "WHERE NUM=$1", {} },
    { "DollarQuotedStringLeftAlone", "SELECT $$:X$$, $t$:Y$t$, :Z", "SELECT $$:X$$, $t$:Y$t$, $1", { "Z" } },
    { "CommentsLeftAlone", "SELECT :A -- :B\n, /* :C /* :D */ :E */ :F",
        "SELECT $1 -- :B\n, /* :C /* :D */ :E */ $2", { "A", "F" } },
    { "LoneColon", "SELECT a[1:2], ': ', x : y, :", "SELECT a[1:2], ': ', x : y, :", {} },
    { "UnterminatedStringRunsToTheEnd", "WHERE FAM=':FAM", "WHERE FAM=':FAM", {} },
    { "NoParameters", "SELECT 1", "SELECT 1", {} },
    { "Empty", "", "", {} },
};

INSTANTIATE_TEST_SUITE_P(Cases, RewriteNamedParametersTest, testing::ValuesIn(rewriteCases),
    [](const testing::TestParamInfo<RewriteCase>& row) { return row.param.name; });

} // namespace
} // namespace venqor
