#include "fonts/windows_paths.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fontctl {
namespace {

bool IsAsciiLetter(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// Windows takes a forward slash as a separator too; 0x2F is never a trail
// byte.
bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Where the path's last separator ends: the position after it, 0 when there
// is none. The path is read one character at a time from its first byte: only
// that tells a trail byte 0x5C apart from a backslash. A lead byte at the very
// end stands alone.
std::size_t AfterLastSeparator(std::string_view path)
{
    std::size_t after = 0;
    std::size_t pos = 0;
    while (pos < path.size()) {
        if (IsSeparator(path[pos])) {
            after = ++pos;
        } else if (platform::IsDBCSLeadByte(static_cast<unsigned char>(path[pos])) && pos + 1 < path.size()) {
            pos += 2;
        } else {
            ++pos;
        }
    }
    return after;
}

}  // namespace

std::string_view FileNameOf(std::string_view sourcePath)
{
    // A drive prefix ("D:f.ttf", relative to drive D's current folder) ends
    // where its colon does. A colon anywhere else separates nothing: "a.ttf:s"
    // names the data stream s of a.ttf, and its file name keeps the colon,
    // so nothing it names lies outside the folder.
    bool const drivePrefix = sourcePath.size() >= 2
        && IsAsciiLetter(static_cast<unsigned char>(sourcePath[0])) && sourcePath[1] == ':';
    std::size_t const nameStart = std::max<std::size_t>(drivePrefix ? 2 : 0, AfterLastSeparator(sourcePath));
    // Not substr(): its range check would link the C++ library's exceptions.
    return {sourcePath.data() + nameStart, sourcePath.size() - nameStart};
}

ByteBuffer DestinationPath(std::string_view folderPath, std::string_view fileName)
{
    // A second backslash would not be folded away everywhere: Windows takes
    // "\\?\C:\dst\\a.ttf" as it stands and fails, and "\" + "\a.ttf" names a
    // host on the network. A bare drive ("D:") names that drive's current
    // folder, the one the existence test found: "D:a.ttf" is in it, where
    // "D:\a.ttf" would be in the drive's root.
    bool const bareDrive = folderPath.size() == 2 && IsAsciiLetter(static_cast<unsigned char>(folderPath[0]))
        && folderPath[1] == ':';
    bool const endsInSeparator
        = bareDrive || (!folderPath.empty() && AfterLastSeparator(folderPath) == folderPath.size());
    std::size_t const separatorLength = endsInSeparator ? 0 : 1;
    ByteBuffer path = AllocateBytes(folderPath.size() + separatorLength + fileName.size() + 1);
    // copy_n, not memcpy: an empty view may hold no pointer at all.
    char* out = std::copy_n(folderPath.data(), folderPath.size(), path.get());
    if (!endsInSeparator) {
        *out++ = '\\';
    }
    *std::copy_n(fileName.data(), fileName.size(), out) = '\0';
    return path;
}

std::string_view NameAsLookedUp(std::string_view path)
{
    std::string_view const fileName = FileNameOf(path);
    if (IsVerbatim(path)) {
        return fileName;
    }
    // A dot or a space is never the trail byte of a double-byte character
    // (those are 0x40 and above), so the name can be trimmed from its end.
    std::size_t const last = fileName.find_last_not_of(". ");
    return {fileName.data(), last == std::string_view::npos ? 0 : last + 1};
}

bool IsPlainName(std::string_view fileName)
{
    return !fileName.empty() && fileName.back() != '.' && fileName.back() != ' ';
}

ByteBuffer TemporaryPath(std::string_view destinationPath, std::uint32_t serial)
{
    constexpr std::string_view name = "~FC00000.TMP";
    std::size_t const folderLength = destinationPath.size() - FileNameOf(destinationPath).size();
    ByteBuffer path = AllocateBytes(folderLength + name.size() + 1);
    char* const nameStart = std::copy_n(destinationPath.data(), folderLength, path.get());
    *std::copy(name.begin(), name.end(), nameStart) = '\0';
    // The five digits after "~FC", the last one first.
    for (std::size_t digit = 7; digit > 2; --digit, serial >>= 4U) {
        nameStart[digit] = "0123456789ABCDEF"[serial & 0xFU];
    }
    return path;
}

}  // namespace fontctl
