#include "fake_platform.h"

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fontctl::fake {

FakePlatform& Fake()
{
    static FakePlatform fake;
    return fake;
}

void Reset()
{
    Fake() = FakePlatform {};
}

}  // namespace fontctl::fake

namespace fontctl::platform {
namespace {

fake::FakePlatform& F()
{
    return fake::Fake();
}

void Record(std::string name, std::vector<std::string> const& arguments)
{
    name += '(';
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        name += (i == 0 ? "" : ", ") + arguments[i];
    }
    F().calls.push_back(name + ')');
}

// Any value that is neither null nor InvalidSearchHandle will do.
SearchHandle const OpenSearch = reinterpret_cast<SearchHandle>(static_cast<std::intptr_t>(0x5EA));

}  // namespace

ByteBuffer ReadCommandLine()
{
    ByteBuffer line = AllocateBytes(F().commandLine.size() + 1);
    std::memcpy(line.get(), F().commandLine.c_str(), F().commandLine.size() + 1);
    return line;
}

bool IsDBCSLeadByte(unsigned char byte)
{
    return F().codePage == fake::CodePage::Japanese932
        && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

int PathFileExistsA(char const* path)
{
    Record("PathFileExistsA", {path});
    return F().existingPaths.count(path) != 0 ? 1 : 0;
}

int CopyFileA(char const* existingPath, char const* newPath, int failIfExists)
{
    Record("CopyFileA", {existingPath, newPath, std::to_string(failIfExists)});
    return F().copyFileResult;
}

int AddFontResourceA(char const* path)
{
    Record("AddFontResourceA", {path});
    return F().addFontResourceResult;
}

int RemoveFontResourceA(char const* path)
{
    Record("RemoveFontResourceA", {path});
    return F().removeFontResourceResult;
}

int DeleteFileA(char const* path)
{
    Record("DeleteFileA", {path});
    return F().deleteFileResult;
}

SearchHandle FindFirstFileA(char const* path)
{
    Record("FindFirstFileA", {path});
    if (F().existingPaths.count(path) == 0) {
        return InvalidSearchHandle;
    }
    ++F().openSearches;
    return OpenSearch;
}

void FindClose(SearchHandle search)
{
    // A handle other than the one the fake gave out shows in the record.
    Record("FindClose", {search == OpenSearch ? "search" : "not a search"});
    if (search == OpenSearch) {
        --F().openSearches;
    }
}

void NotifyFontChange()
{
    Record("NotifyFontChange", {});
}

}  // namespace fontctl::platform
