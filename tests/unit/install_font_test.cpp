#include "fonts/install_font.h"

#include "fake_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace fontctl {
namespace {

using Calls = std::vector<std::string>;
using platform::NewCopy;

// The fake's process identifier is 0x100: its temporary names hold the
// serials from 0x40 on, one more for each name that is taken.
std::string TemporaryIn(std::string const& folder, unsigned taken = 0)
{
    return folder + "\\~FC0004" + "0123456789ABCDEF"[taken] + ".TMP";
}

// The calls of an install that gets past the existence tests and copies by
// way of `temporary`, each path given as the steps get it.
Calls CopiedBy(std::string const& sourcePath, std::string const& folderPath,
    std::string const& destinationPath, std::string const& temporary)
{
    return {
        "PathExists(" + sourcePath + ")",
        "PathExists(" + folderPath + ")",
        "FindEntry(" + destinationPath + ")",
        "CopyToNewFile(" + sourcePath + ", " + temporary + ")",
        "MoveReplacing(" + temporary + ", " + destinationPath + ")",
    };
}

Calls Plus(Calls calls, Calls const& more)
{
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

class InstallFontTest : public testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    static fake::FakePlatform& Platform() { return fake::Fake(); }

    static void GivenExisting(std::vector<std::string> const& paths)
    {
        Platform().existingPaths.insert(paths.begin(), paths.end());
    }
};

TEST_F(InstallFontTest, CopiesAddsTheCopyAndBroadcastsOnSuccess)
{
    GivenExisting({"C:\\src\\a.ttf", "D:\\fonts"});
    EXPECT_EQ(InstallFont("C:\\src\\a.ttf", "D:\\fonts"), InstallResult::Success);
    EXPECT_EQ(Platform().calls,
        (Calls {
            "PathExists(C:\\src\\a.ttf)",
            "PathExists(D:\\fonts)",
            "FindEntry(D:\\fonts\\a.ttf)",
            "CopyToNewFile(C:\\src\\a.ttf, D:\\fonts\\~FC00040.TMP)",
            "MoveReplacing(D:\\fonts\\~FC00040.TMP, D:\\fonts\\a.ttf)",
            "AddFont(D:\\fonts\\a.ttf)",
            "NotifyFontChange()",
        }));
}

TEST_F(InstallFontTest, AnEmptySourceIsMissingWithoutAskingThePlatform)
{
    GivenExisting({"", "D:\\fonts"});
    EXPECT_EQ(InstallFont("", "D:\\fonts"), InstallResult::SourceMissing);
    EXPECT_EQ(InstallFont("", ""), InstallResult::SourceMissing);
    EXPECT_EQ(Platform().calls, Calls {});
}

TEST_F(InstallFontTest, AMissingSourceStopsBeforeTheFolderIsTested)
{
    GivenExisting({"D:\\fonts"});
    EXPECT_EQ(InstallFont("C:\\src\\a.ttf", "D:\\fonts"), InstallResult::SourceMissing);
    EXPECT_EQ(Platform().calls, Calls {"PathExists(C:\\src\\a.ttf)"});
}

TEST_F(InstallFontTest, AnEmptyFolderIsMissingWithoutAskingThePlatform)
{
    GivenExisting({"a.ttf", ""});
    EXPECT_EQ(InstallFont("a.ttf", ""), InstallResult::FolderMissing);
    EXPECT_EQ(Platform().calls, Calls {"PathExists(a.ttf)"});
}

TEST_F(InstallFontTest, AMissingFolderStopsBeforeTheCopy)
{
    GivenExisting({"a.ttf"});
    EXPECT_EQ(InstallFont("a.ttf", "D:\\none"), InstallResult::FolderMissing);
    EXPECT_EQ(Platform().calls, (Calls {"PathExists(a.ttf)", "PathExists(D:\\none)"}));
}

struct CopyCase {
    std::string name;
    std::vector<NewCopy> newCopies;  // what each temporary name in turn gives
    bool moved;
    bool added;
    InstallResult expected;
    Calls calls;  // after the lookup
};

// The copy goes to a new temporary file beside the destination and is renamed
// over it. A failed write or rename deletes the temporary file and stops
// before the font table; a name that is taken is passed over. A copy from
// which the font table takes no font stays, and nothing is broadcast.
TEST_F(InstallFontTest, TheCopyReplacesTheDestinationInOneStepOrNotAtAll)
{
    std::string const temporary = TemporaryIn("D:\\f");
    std::string const copyCall = "CopyToNewFile(a.ttf, " + temporary + ")";
    std::string const moveCall = "MoveReplacing(" + temporary + ", D:\\f\\a.ttf)";
    std::string const discardCall = "DiscardFile(" + temporary + ")";
    std::vector<NewCopy> const allTaken(16, NewCopy::NameTaken);
    Calls allTakenCalls;
    for (unsigned taken = 0; taken < 16; ++taken) {
        allTakenCalls.push_back("CopyToNewFile(a.ttf, " + TemporaryIn("D:\\f", taken) + ")");
    }
    CopyCase const cases[] = {
        {"copied and added", {}, true, true, InstallResult::Success,
            {copyCall, moveCall, "AddFont(D:\\f\\a.ttf)", "NotifyFontChange()"}},
        {"the temporary write fails", {NewCopy::Failed}, true, true, InstallResult::CopyFailed,
            {copyCall, discardCall}},
        {"the rename fails", {}, false, true, InstallResult::CopyFailed, {copyCall, moveCall, discardCall}},
        {"the font table takes nothing", {}, true, false, InstallResult::AddFailed,
            {copyCall, moveCall, "AddFont(D:\\f\\a.ttf)"}},
        {"two names taken", {NewCopy::NameTaken, NewCopy::NameTaken}, true, true, InstallResult::Success,
            {copyCall, "CopyToNewFile(a.ttf, " + TemporaryIn("D:\\f", 1) + ")",
                "CopyToNewFile(a.ttf, " + TemporaryIn("D:\\f", 2) + ")",
                "MoveReplacing(" + TemporaryIn("D:\\f", 2) + ", D:\\f\\a.ttf)", "AddFont(D:\\f\\a.ttf)",
                "NotifyFontChange()"}},
        {"a taken name, then a failed write", {NewCopy::NameTaken, NewCopy::Failed}, true, true,
            InstallResult::CopyFailed,
            {copyCall, "CopyToNewFile(a.ttf, " + TemporaryIn("D:\\f", 1) + ")",
                "DiscardFile(" + TemporaryIn("D:\\f", 1) + ")"}},
        // Nothing of another's is deleted.
        {"every name taken", allTaken, true, true, InstallResult::CopyFailed, allTakenCalls},
    };
    for (auto const& c : cases) {
        fake::Reset();
        GivenExisting({"a.ttf", "D:\\f"});
        for (unsigned taken = 0; taken < c.newCopies.size(); ++taken) {
            Platform().newCopies[TemporaryIn("D:\\f", taken)] = c.newCopies[taken];
        }
        Platform().moveResult = c.moved;
        Platform().addFontResult = c.added;
        EXPECT_EQ(InstallFont("a.ttf", "D:\\f"), c.expected) << c.name;
        EXPECT_EQ(Platform().calls,
            Plus({"PathExists(a.ttf)", "PathExists(D:\\f)", "FindEntry(D:\\f\\a.ttf)"}, c.calls))
            << c.name;
    }
}

// Each run's temporary names start from its own process identifier, so that
// runs at the same time seldom try the same name.
TEST_F(InstallFontTest, TheTemporaryNameComesFromTheProcessIdentifier)
{
    struct {
        std::uint32_t processId;
        std::string temporary;
    } const cases[] = {
        {0x100, "~FC00040.TMP"},
        {0x1234568, "~FC8D15A.TMP"},
        // Only the low 20 bits of the quarter are kept.
        {0xFFFFFFFC, "~FCFFFFF.TMP"},
    };
    for (auto const& [processId, temporary] : cases) {
        fake::Reset();
        GivenExisting({"a.ttf", "D:\\f"});
        Platform().processId = processId;
        EXPECT_EQ(InstallFont("a.ttf", "D:\\f"), InstallResult::Success) << temporary;
        EXPECT_EQ(Platform().calls[3], "CopyToNewFile(a.ttf, D:\\f\\" + temporary + ")");
    }
}

struct LongPathCase {
    std::string name;
    std::string sourcePath;
    std::string folderPath;
    std::set<std::string> beyondMaxPath;  // paths that have no usable full path
    InstallResult expected;
    Calls calls;
};

// A path whose full form reaches MAX_PATH (260 UTF-16 code units) is one that
// Windows' file functions cannot take, and FullPathOf gives none for it: the
// step it belongs to fails with its code, touching nothing. A \\?\ path is
// taken at any length, as it stands.
TEST_F(InstallFontTest, APathBeyondMaxPathFailsItsStep)
{
    std::string const source = "C:\\src\\a.ttf";
    std::string const folder = "D:\\f";
    std::string const destination = "D:\\f\\a.ttf";
    std::string const temporary = TemporaryIn(folder);
    std::string const verbatim = "\\\\?\\";
    LongPathCase const cases[] = {
        {"source", source, folder, {source}, InstallResult::SourceMissing, {}},
        {"folder", source, folder, {folder}, InstallResult::FolderMissing, {"PathExists(" + source + ")"}},
        {"destination", source, folder, {destination}, InstallResult::CopyFailed,
            {"PathExists(" + source + ")", "PathExists(" + folder + ")"}},
        // The destination fits, its temporary file would not: nothing is
        // written.
        {"temporary file", source, folder, {temporary}, InstallResult::CopyFailed,
            {"PathExists(" + source + ")", "PathExists(" + folder + ")", "FindEntry(" + destination + ")"}},
        {"\\\\?\\ paths", verbatim + source, verbatim + folder,
            {verbatim + source, verbatim + folder, verbatim + destination, verbatim + temporary},
            InstallResult::Success,
            Plus(CopiedBy(verbatim + source, verbatim + folder, verbatim + destination, verbatim + temporary),
                {"AddFont(" + verbatim + destination + ")", "NotifyFontChange()"})},
    };
    for (auto const& c : cases) {
        fake::Reset();
        GivenExisting({c.sourcePath, c.folderPath});
        for (std::string const& path : c.beyondMaxPath) {
            Platform().fullPaths[path] = "";
        }
        EXPECT_EQ(InstallFont(c.sourcePath.c_str(), c.folderPath.c_str()), c.expected) << c.name;
        EXPECT_EQ(Platform().calls, c.calls) << c.name;
    }
}

// The lookup, the copy, the rename and the font table all get the full path
// of the destination, as the file functions resolve it: the font table is
// not left to resolve a relative path its own way. The source and the folder
// are tested as given.
TEST_F(InstallFontTest, EveryStepGetsTheFullPathOfTheDestination)
{
    struct {
        std::string folderPath;
        std::string fileName;
        std::string destinationPath;  // as put together
        std::string fullPath;         // as Windows resolves it
    } const cases[] = {
        {"fonts", "a.ttf", "fonts\\a.ttf", "C:\\work\\fonts\\a.ttf"},
        {"..\\f", "a.ttf", "..\\f\\a.ttf", "C:\\f\\a.ttf"},
        {"D:", "a.ttf", "D:a.ttf", "D:\\current\\a.ttf"},
        {"D:\\f", "a.ttf. .", "D:\\f\\a.ttf. .", "D:\\f\\a.ttf"},
    };
    for (auto const& [folderPath, fileName, destinationPath, fullPath] : cases) {
        fake::Reset();
        std::string const sourcePath = "C:\\src\\" + fileName;
        GivenExisting({sourcePath, folderPath});
        Platform().fullPaths[destinationPath] = fullPath;
        std::string const temporary = fullPath.substr(0, fullPath.rfind('\\') + 1) + "~FC00040.TMP";
        EXPECT_EQ(InstallFont(sourcePath.c_str(), folderPath.c_str()), InstallResult::Success) << folderPath;
        EXPECT_EQ(Platform().calls,
            Plus(CopiedBy(sourcePath, folderPath, fullPath, temporary),
                {"AddFont(" + fullPath + ")", "NotifyFontChange()"}))
            << folderPath;
    }
}

// The lookup, the copy and the font table all get the destination that
// DestinationPath makes of the folder and the file name.
TEST_F(InstallFontTest, TheCopyGoesToTheFolderUnderTheFileName)
{
    struct {
        std::string sourcePath;
        std::string folderPath;
        std::string destinationPath;
    } const cases[] = {
        {"C:\\a/b\\c.ttf", "D:\\f", "D:\\f\\c.ttf"},
        {"C:\\a\\c.ttf", "D:\\f\\", "D:\\f\\c.ttf"},
        {"C:\\a\\c.ttf", "\\\\?\\D:\\f\\", "\\\\?\\D:\\f\\c.ttf"},
        {"C:\\a\\c.ttf", "\\", "\\c.ttf"},
    };
    for (auto const& [sourcePath, folderPath, destinationPath] : cases) {
        fake::Reset();
        GivenExisting({sourcePath, folderPath});
        std::string const temporary
            = destinationPath.substr(0, destinationPath.rfind('\\') + 1) + "~FC00040.TMP";
        EXPECT_EQ(InstallFont(sourcePath.c_str(), folderPath.c_str()), InstallResult::Success) << folderPath;
        EXPECT_EQ(Platform().calls,
            Plus(CopiedBy(sourcePath, folderPath, destinationPath, temporary),
                {"AddFont(" + destinationPath + ")", "NotifyFontChange()"}))
            << folderPath;
    }
}

struct ExistingDestinationCase {
    std::string name;
    std::string fileName;  // of the source, in C:\src
    std::string folderPath;
    fake::FakeEntry entry;  // what the search finds at the destination
    InstallResult expected;
};

// A file name that is only the 8.3 alias of another file in the folder would
// have the copy overwrite that file: refused, with nothing touched. The file
// of that very name, however written, is replaced.
TEST_F(InstallFontTest, TheCopyReplacesOnlyTheFileOfThatVeryName)
{
    using platform::Lookup;
    fake::FakeEntry const another = {Lookup::Found, "Another Long Font.ttf", "ANOTHE~1.TTF"};
    ExistingDestinationCase const cases[] = {
        {"the short name of another file", "ANOTHE~1.TTF", "D:\\f", another, InstallResult::CopyFailed},
        {"in other case", "anothe~1.ttf", "D:\\f", another, InstallResult::CopyFailed},
        // Windows drops the dots and spaces at the end: the same alias.
        {"with a dot after it", "ANOTHE~1.TTF.", "D:\\f", another, InstallResult::CopyFailed},
        {"with dots and spaces after it", "ANOTHE~1.TTF . .", "D:\\f", another, InstallResult::CopyFailed},
        // Not so in a \\?\ path, where the name with its dot is another name.
        {"with a dot, verbatim", "ANOTHE~1.TTF.", "\\\\?\\D:\\f", another, InstallResult::Success},
        {"the long name", "Another Long Font.ttf", "D:\\f", another, InstallResult::Success},
        {"the long name in other case", "ANOTHER LONG FONT.TTF", "D:\\f", another, InstallResult::Success},
        {"the long name with a dot and a space", "Another Long Font.ttf. ", "D:\\f", another,
            InstallResult::Success},
        {"a long name in other case, no alias", "Case.ttf", "D:\\f", {Lookup::Found, "case.ttf", ""},
            InstallResult::Success},
        // A short name that is the long name in upper case is the same file.
        {"an 8.3 name", "FONT.TTF", "D:\\f", {Lookup::Found, "Font.ttf", "FONT.TTF"}, InstallResult::Success},
        {"nothing there", "a.ttf", "D:\\f", {Lookup::NothingThere, "", ""}, InstallResult::Success},
        // The folder could not be looked at: the name might be an alias.
        {"could not look", "a.ttf", "D:\\f", {Lookup::CouldNotLook, "", ""}, InstallResult::CopyFailed},
    };
    for (auto const& c : cases) {
        fake::Reset();
        std::string const sourcePath = "C:\\src\\" + c.fileName;
        std::string const destinationPath = c.folderPath + "\\" + c.fileName;
        GivenExisting({sourcePath, c.folderPath});
        Platform().entries[destinationPath] = c.entry;

        EXPECT_EQ(InstallFont(sourcePath.c_str(), c.folderPath.c_str()), c.expected) << c.name;
        Calls expectedCalls = {
            "PathExists(" + sourcePath + ")",
            "PathExists(" + c.folderPath + ")",
            "FindEntry(" + destinationPath + ")",
        };
        if (c.expected == InstallResult::Success) {
            expectedCalls
                = Plus(CopiedBy(sourcePath, c.folderPath, destinationPath, TemporaryIn(c.folderPath)),
                    {"AddFont(" + destinationPath + ")", "NotifyFontChange()"});
        }
        EXPECT_EQ(Platform().calls, expectedCalls) << c.name;
    }
}

// A source that is already the destination (by their full paths, letter
// case aside) is not copied onto itself: it fails, as a copy onto the file
// it reads from would, touching nothing.
TEST_F(InstallFontTest, ASourceIsNotCopiedOntoItself)
{
    struct {
        std::string sourcePath;
        std::string folderPath;
        std::string fullSourcePath;
    } const cases[] = {
        {"D:\\f\\a.ttf", "D:\\f", "D:\\f\\a.ttf"},
        {"d:\\F\\A.TTF", "D:\\f\\", "d:\\F\\A.TTF"},
        {"a.ttf", "D:\\f", "D:\\f\\a.ttf"},
    };
    for (auto const& [sourcePath, folderPath, fullSourcePath] : cases) {
        fake::Reset();
        GivenExisting({sourcePath, folderPath});
        Platform().fullPaths[sourcePath] = fullSourcePath;
        EXPECT_EQ(InstallFont(sourcePath.c_str(), folderPath.c_str()), InstallResult::CopyFailed)
            << sourcePath;
        EXPECT_EQ(
            Platform().calls, (Calls {"PathExists(" + sourcePath + ")", "PathExists(" + folderPath + ")"}))
            << sourcePath;
    }
}

// A directory search does not see the data streams of a file ("a.ttf:s",
// "a.ttf::$DATA"): it cannot tell whether the name reaches another file.
TEST_F(InstallFontTest, AStreamIsNotCopiedForItCannotBeLookedAt)
{
    for (std::string const sourcePath : {"C:\\src\\a.ttf:s", "C:\\src\\ANOTHE~1.TTF::$DATA", "D::f.ttf"}) {
        fake::Reset();
        GivenExisting({sourcePath, "D:\\f"});
        EXPECT_EQ(InstallFont(sourcePath.c_str(), "D:\\f"), InstallResult::CopyFailed) << sourcePath;
        EXPECT_EQ(Platform().calls, (Calls {"PathExists(" + sourcePath + ")", "PathExists(D:\\f)"}))
            << sourcePath;
    }
}
}  // namespace
}  // namespace fontctl
