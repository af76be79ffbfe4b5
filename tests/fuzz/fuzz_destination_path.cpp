// DestinationPath and NameAsLookedUp on any bytes: the input is a folder
// path, a NUL byte, then a source path. The destination is the folder path,
// one backslash exactly when the folder does not end in a separator (a
// backslash or forward slash byte that starts a character of its own) and is
// no bare drive ("D:"), then the source's file name; read back, its file name
// is the source's, so the copy lands in the folder under its own name. The name looked up is that
// name less dots and spaces at its end, none of which remain unless the path
// is a \\?\ or \??\ one.
#include "fonts/windows_paths.h"

#include "character_starts.h"
#include "fuzz_input.h"
#include "platform/byte_buffer.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

using fontctl::fuzz::Require;

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsBareDrive(std::string_view folder)
{
    return folder.size() == 2
        && ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'))
        && folder[1] == ':';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    std::string_view const input = fontctl::fuzz::TakeInput(data, size);
    // Paths hold no NUL: the source ends at a second one.
    std::size_t const split = input.find('\0');
    std::string_view const folder = input.substr(0, split);
    std::string_view source = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    source = source.substr(0, source.find('\0'));
    std::string_view const name = fontctl::FileNameOf(source);

    fontctl::ByteBuffer const built = fontctl::DestinationPath(folder, name);
    std::string_view const destination = built.get();
    std::vector<bool> const starts = fontctl::fuzz::CharacterStarts(folder);
    bool const endsInSeparator = !folder.empty() && starts[folder.size() - 1] && IsSeparator(folder.back());
    std::size_t const separatorLength = endsInSeparator || IsBareDrive(folder) ? 0 : 1;

    Require(destination.size() == folder.size() + separatorLength + name.size(),
        "the destination holds the folder, at most one separator and the name");
    Require(destination.substr(0, folder.size()) == folder, "the destination starts with the folder path");
    Require(separatorLength == 0 || destination[folder.size()] == '\\',
        "a backslash follows a folder without one");
    Require(
        destination.substr(folder.size() + separatorLength) == name, "the destination ends in the file name");

    // A folder that ends in a lead byte without its trail byte would take the
    // backslash as one: Windows never hands such a path over.
    bool const endsInLoneLeadByte = !folder.empty() && starts[folder.size() - 1]
        && fontctl::platform::IsDBCSLeadByte(static_cast<unsigned char>(folder.back()));
    if (!endsInLoneLeadByte) {
        Require(fontctl::FileNameOf(destination) == name, "the destination's own file name is the source's");
    }

    std::string_view const lookedUp = fontctl::NameAsLookedUp(destination);
    std::string_view const ownName = fontctl::FileNameOf(destination);
    Require(ownName.substr(0, lookedUp.size()) == lookedUp, "the name looked up starts the file name");
    Require(ownName.substr(lookedUp.size()).find_first_not_of(". ") == std::string_view::npos,
        "only dots and spaces are dropped");
    bool const verbatim = destination.starts_with("\\\\?\\") || destination.starts_with("\\??\\");
    Require(verbatim || lookedUp.empty() || (lookedUp.back() != '.' && lookedUp.back() != ' '),
        "no dot or space ends the name looked up");
    Require(!verbatim || lookedUp == ownName, "a \\\\?\\ path is looked up as it stands");
    return 0;
}
