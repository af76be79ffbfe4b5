#include "fake_platform.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
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

// Each handle of the fake stands for one open file, by number.
struct FakeFile {
    std::string path;
    bool markedForDeletion;
};

std::map<std::uintptr_t, FakeFile>& OpenFiles()
{
    static std::map<std::uintptr_t, FakeFile> files;
    return files;
}

File Open(std::string const& path, bool markedForDeletion)
{
    static std::uintptr_t lastHandle = 0;
    OpenFiles()[++lastHandle] = {path, markedForDeletion};
    return File(reinterpret_cast<void*>(lastHandle));
}

FakeFile& FileOf(File const& file)
{
    return OpenFiles().at(reinterpret_cast<std::uintptr_t>(file.get()));
}

void CloseFile::operator()(void* file) const
{
    auto const open = OpenFiles().find(reinterpret_cast<std::uintptr_t>(file));
    Record("CloseFile", {open->second.path + (open->second.markedForDeletion ? ", deleted" : "")});
    OpenFiles().erase(open);
}

File OpenSourceFile(char const* path)
{
    Record("OpenSourceFile", {path});
    return F().unreadableSources.count(path) != 0 ? nullptr : Open(path, false);
}

NewFile CreateNewFile(char const* path)
{
    Record("CreateNewFile", {path});
    auto const scripted = F().creations.find(path);
    Creation creation = scripted == F().creations.end() ? Creation::Made : scripted->second;
    if (F().takenNames > 0) {
        --F().takenNames;
        creation = Creation::NameTaken;
    }
    return {creation, creation == Creation::Made ? Open(path, true) : nullptr};
}

bool WriteCopy(File const& source, File const& copy)
{
    Record("WriteCopy", {FileOf(source).path, FileOf(copy).path});
    return F().writeResult;
}

bool TryFont(File& copy, char const* path)
{
    Record("TryFont", {path});
    if (!F().trialKeepsCopy) {
        FileOf(copy).markedForDeletion = false;
        copy.reset();
    }
    return F().trialResult;
}

bool MoveCopyOver(File const& source, File const& copy, char const* toPath)
{
    Record("MoveCopyOver", {FileOf(source).path, FileOf(copy).path, toPath});
    if (F().moveResult) {
        FileOf(copy) = {toPath, false};
    }
    return F().moveResult;
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
