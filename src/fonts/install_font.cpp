#include "fonts/install_font.h"

#include "platform/platform.h"

#include <cstddef>

namespace fontctl {

std::string_view FileNameOf(std::string_view sourcePath)
{
    // Read one character at a time from the start: only that tells a trail
    // byte 0x5C apart from a backslash.
    std::size_t nameStart = 0;
    std::size_t pos = 0;
    while (pos < sourcePath.size()) {
        auto const byte = static_cast<unsigned char>(sourcePath[pos]);
        if (byte == '\\') {
            nameStart = pos + 1;
            ++pos;
        } else if (platform::IsDBCSLeadByte(byte) && pos + 1 < sourcePath.size()) {
            pos += 2;
        } else {
            ++pos;
        }
    }
    return sourcePath.substr(nameStart);
}

InstallResult InstallFont(std::string const& sourcePath, std::string const& folderPath)
{
    if (sourcePath.empty() || platform::PathFileExistsA(sourcePath.c_str()) == 0) {
        return InstallResult::SourceMissing;
    }
    if (folderPath.empty() || platform::PathFileExistsA(folderPath.c_str()) == 0) {
        return InstallResult::FolderMissing;
    }

    std::string_view const fileName = FileNameOf(sourcePath);
    std::string destinationPath;
    destinationPath.reserve(folderPath.size() + 1 + fileName.size());
    destinationPath.append(folderPath).append(1, '\\').append(fileName);

    if (platform::CopyFileA(sourcePath.c_str(), destinationPath.c_str(), 0) == 0) {
        return InstallResult::CopyFailed;
    }
    // The font table gets the copy in the folder, never the source.
    if (platform::AddFontResourceA(destinationPath.c_str()) <= 0) {
        return InstallResult::AddFailed;
    }
    platform::NotifyFontChange();
    return InstallResult::Success;
}

}  // namespace fontctl
