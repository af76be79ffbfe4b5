#include "fonts/uninstall_font.h"

#include "platform/platform.h"

namespace fontctl {
namespace {

// Closes a directory search when it goes out of scope.
struct ScopedSearch {
    platform::SearchHandle handle;

    explicit ScopedSearch(char const* path)
        : handle(platform::FindFirstFileA(path))
    {
    }
    ~ScopedSearch()
    {
        if (handle != platform::InvalidSearchHandle) {
            platform::FindClose(handle);
        }
    }
    ScopedSearch(ScopedSearch const&) = delete;
    ScopedSearch& operator=(ScopedSearch const&) = delete;
};

// Whether at least one file or folder matches the path, '*' and '?' in its
// last component matching as wildcards.
bool AnyEntryMatches(char const* path)
{
    ScopedSearch const search(path);
    return search.handle != platform::InvalidSearchHandle;
}

}  // namespace

UninstallResult UninstallFont(char const* fontPath)
{
    if (AnyEntryMatches(fontPath)) {
        if (platform::RemoveFontResourceA(fontPath) == 0) {
            return UninstallResult::RemoveFailed;
        }
        if (platform::DeleteFileA(fontPath) == 0) {
            return UninstallResult::DeleteFailed;
        }
    }
    platform::NotifyFontChange();
    return UninstallResult::Success;
}

}  // namespace fontctl
