// Writing the one result code that a run reports.
#pragma once

#include <cstdint>

namespace fontctl {

// Writes the code's decimal digits (after '-' when negative) to standard
// output, with nothing before or after and no line end. The stream is left
// buffered; it is flushed at normal process exit. A failed write is ignored.
void WriteResultCode(std::int32_t resultCode);

}  // namespace fontctl
