#include "fake_platform.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
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

ByteBuffer Bytes(std::string const& text)
{
    ByteBuffer bytes = AllocateBytes(text.size() + 1);
    std::memcpy(bytes.get(), text.c_str(), text.size() + 1);
    return bytes;
}

char FoldAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

ByteBuffer ReadCommandLine()
{
    return Bytes(F().commandLine);
}

bool IsDBCSLeadByte(unsigned char byte)
{
    return F().codePage == fake::CodePage::Japanese932
        && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

bool PathExists(char const* path)
{
    Record("PathExists", {path});
    return F().existingPaths.count(path) != 0;
}

Entry FindEntry(char const* path)
{
    Record("FindEntry", {path});
    auto const found = F().entries.find(path);
    if (found == F().entries.end()) {
        return {Lookup::NothingThere, nullptr, nullptr};
    }
    fake::FakeEntry const& entry = found->second;
    if (entry.lookup != Lookup::Found) {
        return {entry.lookup, nullptr, nullptr};
    }
    return {Lookup::Found, Bytes(entry.longName), Bytes(entry.shortName)};
}

// ASCII letters only: enough for the names the tests use.
bool SameFileName(std::string_view first, std::string_view second)
{
    return std::equal(first.begin(), first.end(), second.begin(), second.end(),
        [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
}

// Not recorded: GetFullPathName only works on the text and the current
// folder, and the calls that follow show the paths it gave.
ByteBuffer FullPathOf(char const* path)
{
    auto const scripted = F().fullPaths.find(path);
    if (scripted == F().fullPaths.end()) {
        return Bytes(path);
    }
    return scripted->second.empty() ? nullptr : Bytes(scripted->second);
}

std::uint32_t CurrentProcessId()
{
    return F().processId;
}

NewCopy CopyToNewFile(char const* sourcePath, char const* newPath)
{
    Record("CopyToNewFile", {sourcePath, newPath});
    auto const scripted = F().newCopies.find(newPath);
    return scripted == F().newCopies.end() ? NewCopy::Made : scripted->second;
}

bool MoveReplacing(char const* fromPath, char const* toPath)
{
    Record("MoveReplacing", {fromPath, toPath});
    return F().moveResult;
}

void DiscardFile(char const* path)
{
    Record("DiscardFile", {path});
}

bool AddFont(char const* path)
{
    Record("AddFont", {path});
    return F().addFontResult;
}

bool RemoveFont(char const* path)
{
    Record("RemoveFont", {path});
    return F().removeFontResult;
}

bool DeleteFileAt(char const* path)
{
    Record("DeleteFileAt", {path});
    return F().deleteResult;
}

void NotifyFontChange()
{
    Record("NotifyFontChange", {});
}

}  // namespace fontctl::platform
