// Installing one font file: copy it into a folder, add the copy to the
// system font table and tell every top-level window.
#pragma once

#include <cstdint>
#include <string_view>

namespace fontctl {

// Each code also tells how far the installation got before it stopped.
enum class InstallResult : std::int32_t {
    Success = 0,
    SourceMissing = 1,
    FolderMissing = 2,
    CopyFailed = 3,
    AddFailed = 4,
};

// The bytes of `sourcePath` after its last separator, as Windows reads paths:
// a backslash or a forward slash that stands as a character of its own in the
// program's code page (the trail byte of a double-byte character is no
// separator), or the colon of a drive prefix ("D:f.ttf"; a colon elsewhere
// separates nothing). The whole path when there is none.
std::string_view FileNameOf(std::string_view sourcePath);

// Copies `sourcePath` to `folderPath` + '\' + its file name, replacing a file
// of that name, adds the copy to the font table and broadcasts the font
// change. Stops at the first failing step with its code.
InstallResult InstallFont(char const* sourcePath, char const* folderPath);

}  // namespace fontctl
