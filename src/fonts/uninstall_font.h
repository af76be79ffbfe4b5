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

// A path that matches no directory entry counts as already removed: it is
// broadcast and succeeds. Otherwise the font table and the deletion are both
// given `fontPath` itself, never a name that the search matched.
UninstallResult UninstallFont(char const* fontPath);

}  // namespace fontctl
