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
// already removed: it is broadcast and succeeds. A path that cannot be looked
// at is RemoveFailed, with nothing done. Otherwise the font table and the
// deletion are both given `fontPath` itself, never a name that the search
// matched.
UninstallResult UninstallFont(char const* fontPath);

}  // namespace fontctl
