#include "platform/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace fontctl {
namespace {

TEST(AllocateBytesDeathTest, EndsTheProcessWithItsOwnStatusWhenMemoryRunsOut)
{
    EXPECT_EXIT(AllocateBytes(SIZE_MAX / 2), testing::ExitedWithCode(OutOfMemoryExitStatus), "");
}

}  // namespace
}  // namespace fontctl
