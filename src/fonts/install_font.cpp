#include "fonts/install_font.h"

#include "fonts/path_lookup.h"
#include "fonts/windows_paths.h"
#include "platform/byte_buffer.h"
#include "platform/platform.h"

#include <cstdint>
#include <string_view>

namespace fontctl {
namespace {

// How many names a temporary file may try before the install gives up: a
// name is taken only by a temporary file that a killed run left behind, or by
// another run at the same moment.
constexpr std::uint32_t TemporaryNames = 16;

// Whether the copy may be written to the destination: nothing is there yet,
// or what is there is the file of that very name. A name that is only the
// 8.3 alias of another entry ("ANOTHE~1.TTF" for "Another Long Font.ttf")
// reaches that entry, and the copy would overwrite a file the caller never
// named; a destination that cannot be looked at might be such an alias.
bool MayCopyTo(char const* destinationPath)
{
    platform::Entry const entry = LookUp(destinationPath);
    if (entry.lookup != platform::Lookup::Found) {
        return entry.lookup == platform::Lookup::NothingThere;
    }
    std::string_view const name = NameAsLookedUp(destinationPath);
    std::string_view const shortName = entry.shortName.get();
    return shortName.empty() || !platform::SameFileName(name, shortName)
        || platform::SameFileName(name, entry.longName.get());
}

// Copies the source to a temporary file of its own beside the destination,
// then renames that over the destination in one step. Whatever fails, the
// folder holds what it held before: the temporary file is deleted, and the
// file at the destination was never opened for writing (so a link there is
// replaced, and what it points to untouched). Only a run killed before the
// rename leaves something behind: its temporary file, whole or in part.
bool CopyInOneStep(char const* sourcePath, ByteBuffer const& destinationPath)
{
    // Process identifiers are multiples of four on Windows: their quarter
    // gives the five hex digits of the name more runs that differ.
    std::uint32_t const firstSerial = platform::CurrentProcessId() / 4;
    for (std::uint32_t serial = firstSerial; serial != firstSerial + TemporaryNames; ++serial) {
        ByteBuffer const temporaryPath = TemporaryPath(destinationPath.get(), serial);
        if (!WithinPathLimit(temporaryPath.get())) {
            return false;
        }
        platform::NewCopy const copy = platform::CopyToNewFile(sourcePath, temporaryPath.get());
        if (copy == platform::NewCopy::NameTaken) {
            continue;
        }
        if (copy == platform::NewCopy::Made
            && platform::MoveReplacing(temporaryPath.get(), destinationPath.get())) {
            return true;
        }
        platform::DiscardFile(temporaryPath.get());
        return false;
    }
    return false;
}

}  // namespace

InstallResult InstallFont(char const* sourcePath, char const* folderPath)
{
    ByteBuffer const fullSourcePath = *sourcePath == '\0' ? nullptr : PathToActOn(sourcePath);
    if (!fullSourcePath || !platform::PathExists(sourcePath)) {
        return InstallResult::SourceMissing;
    }
    if (*folderPath == '\0' || !WithinPathLimit(folderPath) || !platform::PathExists(folderPath)) {
        return InstallResult::FolderMissing;
    }

    // A source that is already the destination is not copied onto itself:
    // a copy over the file it reads from fails, and so the install does.
    ByteBuffer const destinationPath = PathToActOn(DestinationPath(folderPath, FileNameOf(sourcePath)).get());
    if (!destinationPath || platform::SameFileName(fullSourcePath.get(), destinationPath.get())
        || !MayCopyTo(destinationPath.get()) || !CopyInOneStep(sourcePath, destinationPath)) {
        return InstallResult::CopyFailed;
    }
    // The font table gets the copy in the folder, never the source, by the
    // full path that it was written to.
    if (!platform::AddFont(destinationPath.get())) {
        return InstallResult::AddFailed;
    }
    platform::NotifyFontChange();
    return InstallResult::Success;
}

}  // namespace fontctl
