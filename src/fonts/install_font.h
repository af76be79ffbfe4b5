// Installing one font file: copy it into a folder, add the copy to the
// system font table and tell every top-level window.
#pragma once

#include <cstdint>

namespace fontctl {

// Each code also tells how far the installation got before it stopped.
enum class InstallResult : std::int32_t {
    Success = 0,
    SourceMissing = 1,
    FolderMissing = 2,
    CopyFailed = 3,
    AddFailed = 4,
};

// Copies `sourcePath` into `folderPath` under its file name (see
// DestinationPath), replacing the file of that name in one step, adds the
// copy to the font table by its full path and broadcasts the font change.
// Stops at the first failing step with its code; a path that Windows' file
// functions cannot take (see WithinPathLimit) fails its step. The copy is
// refused (CopyFailed, nothing touched) when the source is the destination
// itself, when the name is the 8.3 alias of another file in the folder, or
// when the folder cannot be looked at to tell. A failed copy leaves the
// folder as it was.
InstallResult InstallFont(char const* sourcePath, char const* folderPath);

}  // namespace fontctl
