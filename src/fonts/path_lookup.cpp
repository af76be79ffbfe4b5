#include "fonts/path_lookup.h"

#include "fonts/windows_paths.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace fontctl {

ByteBuffer PathToActOn(char const* path)
{
    if (!IsVerbatim(path)) {
        return platform::FullPathOf(path);
    }
    std::size_t const size = std::strlen(path) + 1;
    ByteBuffer copy = AllocateBytes(size);
    std::memcpy(copy.get(), path, size);
    return copy;
}

platform::Entry LookUp(char const* path)
{
    if (FileNameOf(path).find(':') != std::string_view::npos) {
        return {platform::Lookup::CouldNotLook, nullptr, nullptr};
    }
    return platform::FindEntry(path);
}

}  // namespace fontctl
