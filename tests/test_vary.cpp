#include <gtest/gtest.h>

#include "LogFile.h"
#include "TestUtil.h"
#include "Vary.h"

#include <climits>

TEST(VaryTest, IntegerConvertsAndRecomputesAfterIncrement) {
    Vary v(7);
    EXPECT_EQ(v.GetType(), Vary::Integer);
    EXPECT_EQ(v.AsText(), "7");
    EXPECT_FLOAT_EQ(v.AsFloat(), 7.0f);
    ++v;
    EXPECT_EQ(v.AsText(), "8");
    EXPECT_FLOAT_EQ(v.AsFloat(), 8.0f);
    Vary before = v++;
    EXPECT_EQ(before.AsInt(), 8);
    EXPECT_EQ(v.AsInt(), 9);
    --v;
    Vary last = v--;
    EXPECT_EQ(last.AsText(), "8");
    EXPECT_EQ(v.AsText(), "7");
    EXPECT_EQ(Vary(-5).AsText(), "-5");
}

TEST(VaryTest, FloatRoundsHalfUpAndPrintsSixDecimals) {
    Vary v(2.5f);
    EXPECT_EQ(v.AsInt(), 3);
    EXPECT_EQ(v.AsText(), "2.500000");
    EXPECT_EQ(Vary(-1.7f).AsInt(), -1);
    EXPECT_EQ(Vary(2.4f).AsInt(), 2);
    v--;
    EXPECT_EQ(v.AsText(), "1.500000");
    EXPECT_EQ(v.AsInt(), 2);
    // Values beyond the integer range stop at its ends.
    EXPECT_EQ(Vary(1e20f).AsInt(), INT_MAX);
    EXPECT_EQ(Vary(-1e20f).AsInt(), INT_MIN);
    // The longest float is written in full, not cut to a buffer.
    std::string huge = Vary(3e38f).AsText();
    EXPECT_EQ(huge.size(), 39u + 7u) << huge;
    EXPECT_EQ(huge.substr(huge.size() - 7), ".000000");
}

TEST(VaryTest, TextParsesLeadingNumbers) {
    EXPECT_EQ(Vary("12abc").AsInt(), 12);
    EXPECT_EQ(Vary("abc").AsInt(), 0);
    EXPECT_EQ(Vary("  -42 7").AsInt(), -42);
    EXPECT_EQ(Vary(std::string("+3")).AsInt(), 3);
    EXPECT_FLOAT_EQ(Vary("1.5e2x").AsFloat(), 150.0f);
    EXPECT_FLOAT_EQ(Vary("x1.5").AsFloat(), 0.0f);
    EXPECT_EQ(Vary("99999999999").AsInt(), INT_MAX);
    EXPECT_EQ(Vary("-99999999999").AsInt(), INT_MIN);
    EXPECT_EQ(Vary(static_cast<const char*>(nullptr)).AsText(), "");
}

TEST(VaryTest, IncrementingTextIsReportedAndLeavesIt) {
    TestUtil::ClearLog("_error.txt");
    Vary v("ab");
    ++v;
    EXPECT_EQ(v.AsText(), "ab");
    std::string log = TestUtil::ReadFile("_error.txt");
    EXPECT_EQ(log.rfind("Warning: undefined operation on a Vary as type string: increment.\n  -call stack:\n   ", 0), 0u)
        << log;
    EXPECT_NE(log.find("test_vary.cpp"), std::string::npos) << log;
    EXPECT_EQ(log.back(), '\n');
}

TEST(VaryTest, DecrementingTextDropsTheLastCharacter) {
    TestUtil::ClearLog("_error.txt");
    Vary v("42");
    EXPECT_EQ(v.AsInt(), 42);
    --v;
    EXPECT_EQ(v.AsText(), "4");
    EXPECT_EQ(v.AsInt(), 4);  // the cached number went with the character
    --v;
    --v;
    EXPECT_EQ(v.AsText(), "");
    EXPECT_EQ(TestUtil::ReadFile("_error.txt"), "");
}

TEST(VaryTest, AddFollowsThisValuesType) {
    Vary text("FPS: ");
    text.Add(Vary(59));
    EXPECT_EQ(text.AsText(), "FPS: 59");
    text += "!";
    EXPECT_EQ(text.AsText(), "FPS: 59!");

    Vary number(5);
    EXPECT_EQ(number.AsText(), "5");
    number.Add("3 apples");
    EXPECT_EQ(number.GetType(), Vary::Integer);
    EXPECT_EQ(number.AsText(), "8");
    number.Add(Vary(1.6f));
    EXPECT_EQ(number.AsInt(), 10);

    Vary real(0.5f);
    real.Add(Vary(2));
    EXPECT_FLOAT_EQ(real.AsFloat(), 2.5f);
    real += std::string("0.25");
    EXPECT_EQ(real.AsText(), "2.750000");

    Vary big(INT_MAX);
    ++big;
    EXPECT_EQ(big.AsInt(), INT_MIN);
}

TEST(VaryTest, CopyKeepsOnlyTheOwnForm) {
    Vary source("3.7");
    EXPECT_EQ(source.AsInt(), 3);
    Vary copy(source);
    EXPECT_EQ(copy.GetType(), Vary::Text);
    EXPECT_FLOAT_EQ(copy.AsFloat(), 3.7f);
    Vary assigned;
    assigned = Vary(12);
    EXPECT_EQ(assigned.GetType(), Vary::Integer);
    EXPECT_EQ(assigned.AsText(), "12");
    assigned = assigned;
    EXPECT_EQ(assigned.AsInt(), 12);
}

TEST(VaryTest, ResetKeepsTheType) {
    Vary fresh;
    EXPECT_EQ(fresh.GetType(), Vary::Text);
    EXPECT_EQ(fresh.AsText(), "");
    EXPECT_EQ(fresh.AsInt(), 0);
    Vary v(41);
    v.Reset();
    EXPECT_EQ(v.GetType(), Vary::Integer);
    EXPECT_EQ(v.AsText(), "");  // every form valid: the empty text stands
    EXPECT_EQ(v.AsInt(), 0);
    ++v;
    EXPECT_EQ(v.AsText(), "1");
}
