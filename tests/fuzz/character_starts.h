// Which bytes of a path start a character, read from the first byte with the
// fake platform's lead-byte table: the reference that the path properties
// are checked against.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace fontctl::fuzz {

inline std::vector<bool> CharacterStarts(std::string_view path)
{
    std::vector<bool> starts(path.size(), false);
    for (std::size_t pos = 0; pos < path.size();) {
        starts[pos] = true;
        bool const pair
            = platform::IsDBCSLeadByte(static_cast<unsigned char>(path[pos])) && pos + 1 < path.size();
        pos += pair ? 2 : 1;
    }
    return starts;
}

}  // namespace fontctl::fuzz
