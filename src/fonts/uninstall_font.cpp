#include "fonts/uninstall_font.h"

#include "fonts/path_lookup.h"
#include "platform/byte_buffer.h"
#include "platform/platform.h"

namespace fontctl {

UninstallResult UninstallFont(char const* fontPath)
{
    // An empty path names nothing; no search is asked, whose answer for it
    // Windows does not document, and there is nothing to let go of.
    if (*fontPath == '\0') {
        platform::NotifyFontChange();
        return UninstallResult::Success;
    }
    // The search, the font table and the deletion all get one full path.
    ByteBuffer const path = PathToActOn(fontPath);
    if (!path) {
        return UninstallResult::RemoveFailed;
    }
    switch (LookUp(path.get()).lookup) {
    case platform::Lookup::CouldNotLook:
        return UninstallResult::RemoveFailed;
    case platform::Lookup::NothingThere:
        // The file may be gone with its drive (a drive letter removed, a
        // stick pulled) while its fonts are still in the font table: let go
        // of them all the same. Most often nothing has that path, and the
        // font table says so; that answer changes nothing.
        platform::RemoveFont(path.get());
        break;
    case platform::Lookup::Found:
        if (!platform::RemoveFont(path.get())) {
            return UninstallResult::RemoveFailed;
        }
        if (!platform::DeleteFileAt(path.get())) {
            return UninstallResult::DeleteFailed;
        }
        break;
    }
    platform::NotifyFontChange();
    return UninstallResult::Success;
}

}  // namespace fontctl
