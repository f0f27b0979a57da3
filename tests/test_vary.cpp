#include <gtest/gtest.h>

#include "FoundationTest.h"
#include "Vary.h"

#include <climits>
#include <cmath>
#include <iterator>

using VaryTest = FoundationTest::ErrorLogTest;

// Floats round half up and stop at the ends of the integer range; texts
// read their leading number. `asText` is null where the text is the input.
TEST_F(VaryTest, EachFormConvertsToTheOthers) {
    struct {
        Vary value;
        int asInt;
        float asFloat;
        const char* asText;
    } cases[] = {
        {7, 7, 7, "7"},
        {2.5f, 3, 2.5f, "2.500000"},
        {-1.7f, -1, -1.7f, "-1.700000"},
        {1e20f, INT_MAX, 1e20f, nullptr},
        {-1e20f, INT_MIN, -1e20f, nullptr},
        // The floats nearest the ends of the range: the largest below 2^31 is
        // no limit, and -2^31 + 0.5 is cut toward zero.
        {2147483520.0f, 2147483520, 2147483520.0f, nullptr},
        {-2147483648.0f, -2147483647, -2147483648.0f, nullptr},
        {"  -42 7", -42, -42, nullptr},
        {"1.5e2x", 1, 150, nullptr},
        {"x1.5", 0, 0, nullptr},
        {"99999999999", INT_MAX, 1e11f, nullptr},
        {"-99999999999", INT_MIN, -1e11f, nullptr},
        {static_cast<const char*>(nullptr), 0, 0, ""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].value.AsInt(), cases[i].asInt) << i;
        EXPECT_FLOAT_EQ(cases[i].value.AsFloat(), cases[i].asFloat) << i;
        if (cases[i].asText) {
            EXPECT_EQ(cases[i].value.AsText(), cases[i].asText) << i;
        }
    }
    EXPECT_EQ(Vary(std::nanf("")).AsInt(), 0);
    // The longest float is written in full, not cut to a buffer.
    std::string huge = Vary(3e38f).AsText();
    EXPECT_EQ(huge.size(), 39u + 7u) << huge;
    EXPECT_EQ(huge.substr(huge.size() - 7), ".000000");
}

TEST_F(VaryTest, StepsRecomputeTheCachedConversions) {
    Vary v(7);
    EXPECT_EQ(v.AsText(), "7");
    EXPECT_EQ((v++).AsText(), "7");
    EXPECT_EQ((++v).AsText(), "9");
    EXPECT_EQ((v--).AsText(), "9");
    EXPECT_FLOAT_EQ((--v).AsFloat(), 7.0f);

    Vary real(2.5f);
    EXPECT_EQ(real.AsInt(), 3);
    real--;
    EXPECT_EQ(real.AsText(), "1.500000");
    EXPECT_EQ(real.AsInt(), 2);

    // Decrementing a text drops its last character; incrementing one is reported and leaves it.
    Vary text("42");
    EXPECT_EQ(text.AsInt(), 42);
    --text;
    EXPECT_EQ(text.AsInt(), 4);
    EXPECT_EQ(ErrorText(), "");
    ++text;
    EXPECT_EQ(text.AsText(), "4");
    EXPECT_TRUE(FoundationTest::StartsWith(
        ErrorText(), "Warning: undefined operation on a Vary as type string: increment.\n  -call stack:\n   "));
    --text;
    --text;
    EXPECT_EQ(text.AsText(), "");
}

TEST_F(VaryTest, AddFollowsThisValuesType) {
    Vary text("FPS: ");
    text.Add(Vary(59));
    text += "!";
    EXPECT_EQ(text.AsText(), "FPS: 59!");

    Vary number(5);
    EXPECT_EQ(number.AsText(), "5");
    number.Add("3 apples");
    EXPECT_EQ(number.AsText(), "8");
    number.Add(Vary(1.6f));
    EXPECT_EQ(number.AsInt(), 10);

    Vary real(0.5f);
    real.Add(Vary(2));
    real += std::string("0.25");
    EXPECT_FLOAT_EQ(real.AsFloat(), 2.75f);

    Vary big(INT_MAX);
    ++big;
    EXPECT_EQ(big.AsInt(), INT_MIN);
}

TEST_F(VaryTest, CopyKeepsOnlyTheOwnFormAndResetKeepsTheType) {
    Vary source("3.7");
    EXPECT_EQ(source.AsInt(), 3);
    Vary copy(source);
    EXPECT_FLOAT_EQ(copy.AsFloat(), 3.7f);
    Vary assigned;
    assigned = Vary(12);
    assigned = assigned;
    EXPECT_EQ(assigned.AsText(), "12");

    Vary v(41);
    v.Reset();
    EXPECT_EQ(v.AsText(), "");  // every form valid: the empty text stands
    EXPECT_EQ(v.AsInt(), 0);
    ++v;
    EXPECT_EQ(v.AsText(), "1");
    Vary real(2.5f);
    real.Reset();
    EXPECT_EQ(real.AsFloat(), 0.0f);
}
