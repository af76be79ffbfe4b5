// Removing one font file: take its fonts out of the system font table,
// delete it and tell every top-level window.
#pragma once

#include <cstdint>

namespace fontctl {

enum class UninstallResult : std::int32_t {
    Success = 0,
    RemoveFailed = 1,
    DeleteFailed = 2,
};

// A path at which a search finds nothing (an empty path included) counts as
// already removed: the font table is still asked to let go of it (unless it
// is empty), then it is broadcast and succeeds. A path that cannot be looked
// at (see WithinPathLimit) is RemoveFailed, with nothing done. Otherwise the
// search, the font table and the deletion are all given the full path of
// `fontPath`, never a name that the search matched.
UninstallResult UninstallFont(char const* fontPath);

}  // namespace fontctl
