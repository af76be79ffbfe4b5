#include "fonts/install_font.h"

#include "fonts/path_lookup.h"
#include "fonts/windows_paths.h"
#include "platform/byte_buffer.h"
#include "platform/platform.h"

#include <cstdint>
#include <string_view>
#include <utility>

namespace fontctl {
namespace {

// Temporary names differ in the low 20 bits of their serial: an install may
// try every one of them. Each name that is taken (a file that only looks
// like a temporary one, another run's, a folder) is passed over, however
// many there are, and never touched.
constexpr std::uint32_t TemporaryNames = std::uint32_t {1} << 20U;

// Where the copy goes: the folder's full path and one component more, the
// file name that Windows gives the source it opens (the last component of
// its full path: "F.ttf\." and "a.ttf. ." name F.ttf and a.ttf). Null when
// that is not one plain entry of the folder: a source that names a folder
// ("src\", "C:\"), or, for a \\?\ path taken as it stands, a name that a
// plain path could not reach again ("a.ttf. ."), or a name that Windows
// reads as a device ("NUL"), whose full path is not in the folder.
ByteBuffer DestinationOf(ByteBuffer const& fullSourcePath, char const* folderPath)
{
    ByteBuffer const fullFolderPath = PathToActOn(folderPath);
    std::string_view const fileName = FileNameOf(fullSourcePath.get());
    if (!fullFolderPath || !IsPlainName(fileName)) {
        return nullptr;
    }
    ByteBuffer destinationPath = DestinationPath(fullFolderPath.get(), fileName);
    ByteBuffer const asActedOn = PathToActOn(destinationPath.get());
    if (!asActedOn || std::string_view(asActedOn.get()) != std::string_view(destinationPath.get())) {
        return nullptr;
    }
    return destinationPath;
}

// What stands at the destination, as far as the copy is concerned.
enum class Destination {
    Free,     // nothing
    Taken,    // the file of that very name
    Refused,  // another entry's 8.3 alias, or a folder that cannot be looked
              // at to tell
};

// A name that is only the 8.3 alias of another entry ("ANOTHE~1.TTF" for
// "Another Long Font.ttf") reaches that entry, and the copy would replace a
// file the caller never named; a destination that cannot be looked at might
// be such an alias.
Destination LookAtDestination(char const* destinationPath)
{
    platform::Entry const entry = LookUp(destinationPath);
    if (entry.lookup != platform::Lookup::Found) {
        return entry.lookup == platform::Lookup::NothingThere ? Destination::Free : Destination::Refused;
    }
    std::string_view const name = NameAsLookedUp(destinationPath);
    std::string_view const shortName = entry.shortName.get();
    bool const alias = !shortName.empty() && platform::SameFileName(name, shortName)
        && !platform::SameFileName(name, entry.longName.get());
    return alias ? Destination::Refused : Destination::Taken;
}

// A new file of the folder, created under the first temporary name from
// `firstSerial` on that is free; empty when none could be created.
platform::File CreateTemporaryFile(
    ByteBuffer const& destinationPath, std::uint32_t firstSerial, ByteBuffer& temporaryPath)
{
    for (std::uint32_t tried = 0; tried != TemporaryNames; ++tried) {
        temporaryPath = TemporaryPath(destinationPath.get(), firstSerial + tried);
        platform::NewFile created = platform::CreateNewFile(temporaryPath.get());
        if (created.creation != platform::Creation::NameTaken) {
            return std::move(created.file);
        }
    }
    return nullptr;
}

// Copies the source into a new temporary file beside the destination,
// flushes it, and renames it over the destination in one step. When a file
// is there already, the font table must first take a font from the new
// file, or the old file stays. Whatever fails, the folder holds what it held
// before: the new file is marked for deletion from the moment it exists to
// the rename, so closing it deletes it, and a killed run leaves nothing
// either. Every handle is closed on return, before the font table opens the
// copy.
InstallResult PlaceCopy(
    ByteBuffer const& sourcePath, ByteBuffer const& destinationPath, Destination destination)
{
    // Process identifiers are multiples of four on Windows: their quarter
    // gives the five hex digits of the name more runs that differ. Every
    // temporary name is as long as the first.
    std::uint32_t const firstSerial = platform::CurrentProcessId() / 4;
    if (!WithinPathLimit(TemporaryPath(destinationPath.get(), firstSerial).get())) {
        return InstallResult::CopyFailed;
    }
    platform::File const source = platform::OpenSourceFile(sourcePath.get());
    if (!source) {
        return InstallResult::CopyFailed;
    }
    ByteBuffer temporaryPath;
    platform::File copy = CreateTemporaryFile(destinationPath, firstSerial, temporaryPath);
    if (!copy || !platform::WriteCopy(source, copy)) {
        return InstallResult::CopyFailed;
    }
    if (destination == Destination::Taken) {
        bool const fontsTaken = platform::TryFont(copy, temporaryPath.get());
        if (!copy) {
            return InstallResult::CopyFailed;
        }
        if (!fontsTaken) {
            return InstallResult::AddFailed;
        }
    }
    return platform::MoveCopyOver(source, copy, destinationPath.get()) ? InstallResult::Success
                                                                       : InstallResult::CopyFailed;
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

    // A source that is already the destination is not copied onto itself.
    ByteBuffer const destinationPath = DestinationOf(fullSourcePath, folderPath);
    if (!destinationPath || platform::SameFileName(fullSourcePath.get(), destinationPath.get())) {
        return InstallResult::CopyFailed;
    }
    Destination const destination = LookAtDestination(destinationPath.get());
    if (destination == Destination::Refused) {
        return InstallResult::CopyFailed;
    }
    InstallResult const placed = PlaceCopy(fullSourcePath, destinationPath, destination);
    if (placed != InstallResult::Success) {
        return placed;
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
