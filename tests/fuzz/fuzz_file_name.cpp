// FileNameOf on any bytes: the name is a suffix of the source path that
// starts at the beginning or right after a separator, and holds none itself.
// A separator is a backslash or forward slash byte that starts a character of
// its own, which only a walk from the first byte with the lead-byte table can
// tell, or the colon of a drive prefix: the second byte, after an ASCII
// letter. No other colon separates.
#include "fonts/windows_paths.h"

#include "character_starts.h"
#include "fuzz_input.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    using fontctl::fuzz::Require;
    std::string_view const path = fontctl::fuzz::TakeInput(data, size);
    std::string_view const name = fontctl::FileNameOf(path);

    Require(name.data() >= path.data() && name.data() + name.size() == path.data() + path.size(),
        "the file name is a suffix of the path itself");
    std::vector<bool> const starts = fontctl::fuzz::CharacterStarts(path);
    auto const isSeparator = [&](std::size_t pos) {
        if (pos == 1 && path[pos] == ':') {
            char const drive = path[0];
            return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
        }
        return starts[pos] && (path[pos] == '\\' || path[pos] == '/');
    };
    auto const nameStart = static_cast<std::size_t>(name.data() - path.data());
    Require(nameStart == 0 || isSeparator(nameStart - 1),
        "the file name starts at the beginning or after a separator");
    for (std::size_t pos = nameStart; pos < path.size(); ++pos) {
        Require(!isSeparator(pos), "the file name holds no separator");
    }
    return 0;
}
