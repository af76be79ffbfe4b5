#include "fonts/install_font.h"

#include "fonts/path_lookup.h"
#include "fonts/windows_paths.h"
#include "platform/byte_buffer.h"
#include "platform/platform.h"

#include <string_view>

namespace fontctl {
namespace {

// Whether the copy may be written to the destination: nothing is there yet,
// or what is there is the file of that very name. A name that is only the
// 8.3 alias of another entry ("ANOTHE~1.TTF" for "Another Long Font.ttf")
// reaches that entry, and the copy would overwrite a file the caller never
// named; a destination that cannot be looked at might be such an alias.
bool MayCopyTo(char const* destinationPath)
{
    platform::Entry const entry = LookUp(destinationPath);
    if (entry.lookup != platform::Lookup::Found) {
        return entry.lookup == platform::Lookup::NothingThere;
    }
    std::string_view const name = NameAsLookedUp(destinationPath);
    std::string_view const shortName = entry.shortName.get();
    return shortName.empty() || !platform::SameFileName(name, shortName)
        || platform::SameFileName(name, entry.longName.get());
}

}  // namespace

InstallResult InstallFont(char const* sourcePath, char const* folderPath)
{
    if (*sourcePath == '\0' || !platform::PathExists(sourcePath)) {
        return InstallResult::SourceMissing;
    }
    if (*folderPath == '\0' || !platform::PathExists(folderPath)) {
        return InstallResult::FolderMissing;
    }

    ByteBuffer const destinationPath = DestinationPath(folderPath, FileNameOf(sourcePath));
    if (!MayCopyTo(destinationPath.get()) || !platform::CopyReplacing(sourcePath, destinationPath.get())) {
        return InstallResult::CopyFailed;
    }
    // The font table gets the copy in the folder, never the source.
    if (!platform::AddFont(destinationPath.get())) {
        return InstallResult::AddFailed;
    }
    platform::NotifyFontChange();
    return InstallResult::Success;
}

}  // namespace fontctl
