#include "fonts/path_lookup.h"

#include "fonts/windows_paths.h"

#include <string_view>

namespace fontctl {

platform::Entry LookUp(char const* path)
{
    if (FileNameOf(path).find(':') != std::string_view::npos) {
        return {platform::Lookup::CouldNotLook, nullptr, nullptr};
    }
    return platform::FindEntry(path);
}

}  // namespace fontctl
