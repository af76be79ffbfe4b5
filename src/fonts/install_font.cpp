#include "fonts/install_font.h"

#include "platform/byte_buffer.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstring>

namespace fontctl {

namespace {

bool IsAsciiLetter(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

std::string_view FileNameOf(std::string_view sourcePath)
{
    // A drive prefix ("D:f.ttf", relative to drive D's current folder) ends
    // where its colon does. A colon anywhere else separates nothing: "a.ttf:s"
    // names the data stream s of a.ttf, and its copy, the stream s of a file
    // in the folder, stays inside the folder.
    std::size_t nameStart = 0;
    if (sourcePath.size() >= 2 && IsAsciiLetter(static_cast<unsigned char>(sourcePath[0]))
        && sourcePath[1] == ':') {
        nameStart = 2;
    }
    // Read one character at a time from the start: only that tells a trail
    // byte 0x5C apart from a backslash. Windows takes a forward slash as a
    // separator too; 0x2F and 0x3A are never trail bytes.
    std::size_t pos = nameStart;
    while (pos < sourcePath.size()) {
        auto const byte = static_cast<unsigned char>(sourcePath[pos]);
        if (byte == '\\' || byte == '/') {
            nameStart = pos + 1;
            ++pos;
        } else if (platform::IsDBCSLeadByte(byte) && pos + 1 < sourcePath.size()) {
            pos += 2;
        } else {
            ++pos;
        }
    }
    return {sourcePath.data() + nameStart, sourcePath.size() - nameStart};
}

InstallResult InstallFont(char const* sourcePath, char const* folderPath)
{
    if (*sourcePath == '\0' || platform::PathFileExistsA(sourcePath) == 0) {
        return InstallResult::SourceMissing;
    }
    if (*folderPath == '\0' || platform::PathFileExistsA(folderPath) == 0) {
        return InstallResult::FolderMissing;
    }

    // The destination: the folder path as given, one backslash, the file name.
    std::size_t const folderLength = std::strlen(folderPath);
    std::string_view const fileName = FileNameOf(sourcePath);
    ByteBuffer const destinationPath = AllocateBytes(folderLength + 1 + fileName.size() + 1);
    char* out = destinationPath.get();
    std::memcpy(out, folderPath, folderLength);
    out += folderLength;
    *out++ = '\\';
    std::memcpy(out, fileName.data(), fileName.size());
    out[fileName.size()] = '\0';

    if (platform::CopyFileA(sourcePath, destinationPath.get(), 0) == 0) {
        return InstallResult::CopyFailed;
    }
    // The font table gets the copy in the folder, never the source.
    if (platform::AddFontResourceA(destinationPath.get()) <= 0) {
        return InstallResult::AddFailed;
    }
    platform::NotifyFontChange();
    return InstallResult::Success;
}

}  // namespace fontctl
