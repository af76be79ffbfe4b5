#include "cli/result_output.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace fontctl {
namespace {

TEST(WriteResultCode, WritesTheBareDecimalDigits)
{
    struct {
        std::int32_t code;
        std::string text;
    } const cases[] = {
        {0, "0"},
        {1, "1"},
        {4, "4"},
        {10, "10"},
        {-1, "-1"},
        {INT32_MAX, "2147483647"},
        {INT32_MIN, "-2147483648"},
    };
    for (auto const& [code, text] : cases) {
        testing::internal::CaptureStdout();
        WriteResultCode(code);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), text);
    }
}

TEST(WriteResultCode, TwoCodesRunTogetherWithNoLineEnd)
{
    testing::internal::CaptureStdout();
    WriteResultCode(0);
    WriteResultCode(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "00");
}

}  // namespace
}  // namespace fontctl
