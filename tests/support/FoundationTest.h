// Checks the foundation tests share: most of them read what a case wrote to
// "_error.txt" and compare its head or look for one report in it.
#pragma once
#include <gtest/gtest.h>

#include "TestUtil.h"

#include <string>

namespace FoundationTest {

inline ::testing::AssertionResult StartsWith(const std::string& text, const std::string& head) {
    if (text.compare(0, head.size(), head) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected to start with:\n" << head << "\nbut was:\n" << text;
}

inline ::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected to contain:\n" << part << "\nbut was:\n" << text;
}

// Each case starts with an empty "_error.txt".
class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override { TestUtil::ClearLog("_error.txt"); }
    static std::string ErrorText() { return TestUtil::ReadFile("_error.txt"); }
};

}  // namespace FoundationTest
