#include "fonts/uninstall_font.h"

#include "fonts/path_lookup.h"
#include "platform/platform.h"

namespace fontctl {

UninstallResult UninstallFont(char const* fontPath)
{
    // An empty path names nothing; no search is asked, whose answer for it
    // Windows does not document.
    platform::Lookup const lookup
        = *fontPath == '\0' ? platform::Lookup::NothingThere : LookUp(fontPath).lookup;
    if (lookup == platform::Lookup::CouldNotLook) {
        return UninstallResult::RemoveFailed;
    }
    if (lookup == platform::Lookup::Found) {
        if (!platform::RemoveFont(fontPath)) {
            return UninstallResult::RemoveFailed;
        }
        if (!platform::DeleteFileAt(fontPath)) {
            return UninstallResult::DeleteFailed;
        }
    }
    platform::NotifyFontChange();
    return UninstallResult::Success;
}

}  // namespace fontctl
