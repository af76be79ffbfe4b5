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
using platform::Creation;

// The fake's process identifier is 0x100: its temporary names hold the
// serials from 0x40 on, one more for each name that is taken.
std::string TemporaryIn(std::string const& folder, unsigned taken = 0)
{
    char name[] = "~FC00000.TMP";
    unsigned serial = 0x40 + taken;
    for (int digit = 7; digit > 2; --digit, serial >>= 4U) {
        name[digit] = "0123456789ABCDEF"[serial & 0xFU];
    }
    return folder + "\\" + name;
}

// The calls that write the copy of `sourcePath` to `temporary` and rename it
// over `destinationPath`, closing both files before anything else.
Calls CopyCalls(
    std::string const& sourcePath, std::string const& destinationPath, std::string const& temporary)
{
    return {
        "OpenSourceFile(" + sourcePath + ")",
        "CreateNewFile(" + temporary + ")",
        "WriteCopy(" + sourcePath + ", " + temporary + ")",
        "MoveCopyOver(" + sourcePath + ", " + temporary + ", " + destinationPath + ")",
        "CloseFile(" + destinationPath + ")",
        "CloseFile(" + sourcePath + ")",
    };
}

// The calls of an install that gets past the existence tests and copies by
// way of `temporary`, each path given as the steps get it.
Calls CopiedBy(std::string const& sourcePath, std::string const& folderPath,
    std::string const& destinationPath, std::string const& temporary)
{
    Calls calls = {
        "PathExists(" + sourcePath + ")",
        "PathExists(" + folderPath + ")",
        "FindEntry(" + destinationPath + ")",
    };
    for (std::string const& call : CopyCalls(sourcePath, destinationPath, temporary)) {
        calls.push_back(call);
    }
    return calls;
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
            "OpenSourceFile(C:\\src\\a.ttf)",
            "CreateNewFile(D:\\fonts\\~FC00040.TMP)",
            "WriteCopy(C:\\src\\a.ttf, D:\\fonts\\~FC00040.TMP)",
            "MoveCopyOver(C:\\src\\a.ttf, D:\\fonts\\~FC00040.TMP, D:\\fonts\\a.ttf)",
            "CloseFile(D:\\fonts\\a.ttf)",
            "CloseFile(C:\\src\\a.ttf)",
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
    fake::FakePlatform script;  // what the copy's steps answer
    InstallResult expected;
    Calls calls;  // after the lookup
};

// The copy goes to a new temporary file beside the destination, marked for
// deletion from its creation, and is renamed over the destination. Whatever
// fails before the rename, the file is closed still marked, so Windows
// deletes it: nothing is deleted by name. Both files are closed before the
// font table opens the copy.
TEST_F(InstallFontTest, TheCopyReplacesTheDestinationInOneStepOrNotAtAll)
{
    std::string const temporary = TemporaryIn("D:\\f");
    std::string const open = "OpenSourceFile(a.ttf)";
    std::string const create = "CreateNewFile(" + temporary + ")";
    std::string const write = "WriteCopy(a.ttf, " + temporary + ")";
    std::string const move = "MoveCopyOver(a.ttf, " + temporary + ", D:\\f\\a.ttf)";
    std::string const deleted = "CloseFile(" + temporary + ", deleted)";
    std::string const closeSource = "CloseFile(a.ttf)";
    auto script = [](auto change) {
        fake::FakePlatform platform;
        change(platform);
        return platform;
    };
    CopyCase const cases[] = {
        {"copied and added", {}, InstallResult::Success,
            {open, create, write, move, "CloseFile(D:\\f\\a.ttf)", closeSource, "AddFont(D:\\f\\a.ttf)",
                "NotifyFontChange()"}},
        // A folder, a file the user may not read, one held without sharing:
        // nothing is created.
        {"the source cannot be opened", script([](auto& p) { p.unreadableSources = {"a.ttf"}; }),
            InstallResult::CopyFailed, {open}},
        {"no new file can be made", script([&](auto& p) { p.creations[temporary] = Creation::Failed; }),
            InstallResult::CopyFailed, {open, create, closeSource}},
        {"the write or the flush fails", script([](auto& p) { p.writeResult = false; }),
            InstallResult::CopyFailed, {open, create, write, deleted, closeSource}},
        {"the rename fails", script([](auto& p) { p.moveResult = false; }), InstallResult::CopyFailed,
            {open, create, write, move, deleted, closeSource}},
        // Nothing was there: the copy stays, as the font table found it.
        {"the font table takes nothing", script([](auto& p) { p.addFontResult = false; }),
            InstallResult::AddFailed,
            {open, create, write, move, "CloseFile(D:\\f\\a.ttf)", closeSource, "AddFont(D:\\f\\a.ttf)"}},
        {"two names taken", script([](auto& p) { p.takenNames = 2; }), InstallResult::Success,
            {open, create, "CreateNewFile(" + TemporaryIn("D:\\f", 1) + ")",
                "CreateNewFile(" + TemporaryIn("D:\\f", 2) + ")",
                "WriteCopy(a.ttf, " + TemporaryIn("D:\\f", 2) + ")",
                "MoveCopyOver(a.ttf, " + TemporaryIn("D:\\f", 2) + ", D:\\f\\a.ttf)",
                "CloseFile(D:\\f\\a.ttf)", closeSource, "AddFont(D:\\f\\a.ttf)", "NotifyFontChange()"}},
        {"a taken name, then none made", script([](auto& p) {
             p.takenNames = 1;
             p.creations[TemporaryIn("D:\\f", 1)] = Creation::Failed;
         }),
            InstallResult::CopyFailed,
            {open, create, "CreateNewFile(" + TemporaryIn("D:\\f", 1) + ")", closeSource}},
    };
    for (auto const& c : cases) {
        fake::Fake() = c.script;
        GivenExisting({"a.ttf", "D:\\f"});
        EXPECT_EQ(InstallFont("a.ttf", "D:\\f"), c.expected) << c.name;
        EXPECT_EQ(Platform().calls,
            Plus({"PathExists(a.ttf)", "PathExists(D:\\f)", "FindEntry(D:\\f\\a.ttf)"}, c.calls))
            << c.name;
    }
}

// When a file of that name is there, the font table must take a font from
// the new copy before it replaces anything: a damaged new version leaves the
// old file as it was (4), and a copy that cannot be held again after the
// trial is left as it is, unplaced (3).
TEST_F(InstallFontTest, ACopyOverAFileIsTriedBeforeItReplacesIt)
{
    std::string const temporary = TemporaryIn("D:\\f");
    Calls const before = {
        "PathExists(a.ttf)",
        "PathExists(D:\\f)",
        "FindEntry(D:\\f\\a.ttf)",
        "OpenSourceFile(a.ttf)",
        "CreateNewFile(" + temporary + ")",
        "WriteCopy(a.ttf, " + temporary + ")",
        "TryFont(" + temporary + ")",
    };
    struct {
        std::string name;
        bool taken;
        bool keeps;
        InstallResult expected;
        Calls calls;  // after the trial
    } const cases[] = {
        {"the font table takes it", true, true, InstallResult::Success,
            {"MoveCopyOver(a.ttf, " + temporary + ", D:\\f\\a.ttf)", "CloseFile(D:\\f\\a.ttf)",
                "CloseFile(a.ttf)", "AddFont(D:\\f\\a.ttf)", "NotifyFontChange()"}},
        {"the font table takes nothing", false, true, InstallResult::AddFailed,
            {"CloseFile(" + temporary + ", deleted)", "CloseFile(a.ttf)"}},
        {"the copy is not held again", true, false, InstallResult::CopyFailed,
            {"CloseFile(" + temporary + ")", "CloseFile(a.ttf)"}},
    };
    for (auto const& c : cases) {
        fake::Reset();
        GivenExisting({"a.ttf", "D:\\f"});
        Platform().entries["D:\\f\\a.ttf"] = {platform::Lookup::Found, "a.ttf", ""};
        Platform().trialResult = c.taken;
        Platform().trialKeepsCopy = c.keeps;
        EXPECT_EQ(InstallFont("a.ttf", "D:\\f"), c.expected) << c.name;
        EXPECT_EQ(Platform().calls, Plus(before, c.calls)) << c.name;
    }
}

// Names that are taken (leftovers of killed runs, files that only look like
// temporary ones, another run's) are passed over and never touched, however
// many: there is no small limit that they could use up.
TEST_F(InstallFontTest, AThousandTakenNamesDoNotStopAnInstall)
{
    GivenExisting({"a.ttf", "D:\\f"});
    Platform().takenNames = 1000;
    EXPECT_EQ(InstallFont("a.ttf", "D:\\f"), InstallResult::Success);
    Calls const& calls = Platform().calls;
    ASSERT_EQ(calls.size(), 3 + 1 + 1001 + 6U);
    EXPECT_EQ(calls[4], "CreateNewFile(" + TemporaryIn("D:\\f") + ")");
    EXPECT_EQ(calls[1004], "CreateNewFile(D:\\f\\~FC00428.TMP)");
    EXPECT_EQ(calls[1005], "WriteCopy(a.ttf, D:\\f\\~FC00428.TMP)");
    for (std::string const& call : calls) {
        EXPECT_EQ(call.find("deleted"), std::string::npos) << call;
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
        EXPECT_EQ(Platform().calls[4], "CreateNewFile(D:\\f\\" + temporary + ")");
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

// The copy goes to the folder's full path and one component more: the last
// component of the source's full path, the name of the file that Windows
// opens for it. The lookup, the copy, the rename and the font table all get
// that full path, as the file functions resolve it: the font table is not
// left to resolve a relative path its own way. The source and the folder
// are tested as given.
TEST_F(InstallFontTest, EveryStepGetsTheFullPathOfTheDestination)
{
    struct {
        std::string sourcePath;
        std::string fullSourcePath;
        std::string folderPath;
        std::string fullFolderPath;
        std::string destinationPath;
    } const cases[] = {
        {"C:\\src\\a.ttf", "C:\\src\\a.ttf", "fonts", "C:\\work\\fonts", "C:\\work\\fonts\\a.ttf"},
        {"C:\\src\\a.ttf", "C:\\src\\a.ttf", "..\\f", "C:\\f", "C:\\f\\a.ttf"},
        {"C:\\src\\a.ttf", "C:\\src\\a.ttf", "D:", "D:\\current", "D:\\current\\a.ttf"},
        {"C:\\src\\a.ttf", "C:\\src\\a.ttf", "D:\\", "D:\\", "D:\\a.ttf"},
        // Windows drops the dots and spaces at the end of a name, and folds
        // "." and "..": the file it opens has the name without them.
        {"C:\\src\\a.ttf. .", "C:\\src\\a.ttf", "D:\\f", "D:\\f", "D:\\f\\a.ttf"},
        {"C:\\src\\F.ttf\\.", "C:\\src\\F.ttf", "D:\\f", "D:\\f", "D:\\f\\F.ttf"},
        {"C:\\src\\F.ttf/./.", "C:\\src\\F.ttf", "D:\\f", "D:\\f", "D:\\f\\F.ttf"},
        {"C:\\src\\..\\F.ttf\\.", "C:\\F.ttf", "D:\\f\\.", "D:\\f", "D:\\f\\F.ttf"},
        // The folder's own spelling of the way there does not count.
        {"a.ttf", "C:\\work\\a.ttf", "D:\\x\\..\\f\\", "D:\\f\\", "D:\\f\\a.ttf"},
    };
    for (auto const& c : cases) {
        fake::Reset();
        GivenExisting({c.sourcePath, c.folderPath});
        Platform().fullPaths[c.sourcePath] = c.fullSourcePath;
        Platform().fullPaths[c.folderPath] = c.fullFolderPath;
        std::string const temporary
            = c.destinationPath.substr(0, c.destinationPath.rfind('\\') + 1) + "~FC00040.TMP";
        EXPECT_EQ(InstallFont(c.sourcePath.c_str(), c.folderPath.c_str()), InstallResult::Success)
            << c.sourcePath << " into " << c.folderPath;
        Calls const calls = {
            "PathExists(" + c.sourcePath + ")",
            "PathExists(" + c.folderPath + ")",
            "FindEntry(" + c.destinationPath + ")",
        };
        EXPECT_EQ(Platform().calls,
            Plus(Plus(calls, CopyCalls(c.fullSourcePath, c.destinationPath, temporary)),
                {"AddFont(" + c.destinationPath + ")", "NotifyFontChange()"}))
            << c.sourcePath << " into " << c.folderPath;
    }
}

// Whatever the spelling, the copy lands in the folder or nowhere: a source
// whose full path names no file of its own (a folder, a drive's root), a
// name that a plain path could not reach again (made through \\?\ with dots
// or spaces at its end), or a name whose full path leaves the folder (a
// device) answers 3, and nothing is touched.
TEST_F(InstallFontTest, ACopyThatWouldNotBeOneEntryOfTheFolderIsRefused)
{
    struct {
        std::string name;
        std::string sourcePath;
        std::string fullSourcePath;
        std::string folderPath;
    } const cases[] = {
        {"a folder ending in a backslash", "C:\\src\\", "C:\\src\\", "D:\\f"},
        {"a drive's root", "C:\\.", "C:\\", "D:\\f"},
        {"a verbatim name ending in dots and spaces", "\\\\?\\C:\\src\\a.ttf. .", "", "\\\\?\\D:\\f"},
        {"a verbatim name ending in a dot", "\\\\?\\C:\\src\\F.ttf\\.", "", "D:\\f"},
        {"a verbatim parent", "\\\\?\\C:\\src\\..", "", "D:\\f"},
        {"a device", "C:\\src\\NUL", "\\\\.\\NUL", "D:\\f"},
    };
    for (auto const& c : cases) {
        fake::Reset();
        GivenExisting({c.sourcePath, c.folderPath});
        if (!c.fullSourcePath.empty()) {
            Platform().fullPaths[c.sourcePath] = c.fullSourcePath;
        }
        // Windows' answer for a device's name in a folder.
        Platform().fullPaths["D:\\f\\NUL"] = "\\\\.\\NUL";
        EXPECT_EQ(InstallFont(c.sourcePath.c_str(), c.folderPath.c_str()), InstallResult::CopyFailed)
            << c.name;
        EXPECT_EQ(Platform().calls,
            (Calls {"PathExists(" + c.sourcePath + ")", "PathExists(" + c.folderPath + ")"}))
            << c.name;
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
// of that very name, however written, is replaced, once the font table has
// taken a font from the new copy.
TEST_F(InstallFontTest, TheCopyReplacesOnlyTheFileOfThatVeryName)
{
    using platform::Lookup;
    fake::FakeEntry const another = {Lookup::Found, "Another Long Font.ttf", "ANOTHE~1.TTF"};
    ExistingDestinationCase const cases[] = {
        {"the short name of another file", "ANOTHE~1.TTF", "D:\\f", another, InstallResult::CopyFailed},
        {"in other case", "anothe~1.ttf", "D:\\f", another, InstallResult::CopyFailed},
        // Windows drops the dots and spaces at the end: the same alias, in a
        // plain folder or a \\?\ one.
        {"with a dot after it", "ANOTHE~1.TTF.", "D:\\f", another, InstallResult::CopyFailed},
        {"with dots and spaces after it", "ANOTHE~1.TTF . .", "D:\\f", another, InstallResult::CopyFailed},
        {"with a dot, into a verbatim folder", "ANOTHE~1.TTF.", "\\\\?\\D:\\f", another,
            InstallResult::CopyFailed},
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
        // The source's full path, as Windows makes it, ends in the name
        // without its dots and spaces.
        std::string const fileName = c.fileName.substr(0, c.fileName.find_last_not_of(". ") + 1);
        std::string const fullSourcePath = "C:\\src\\" + fileName;
        std::string const destinationPath = c.folderPath + "\\" + fileName;
        std::string const temporary = TemporaryIn(c.folderPath);
        GivenExisting({sourcePath, c.folderPath});
        Platform().fullPaths[sourcePath] = fullSourcePath;
        Platform().entries[destinationPath] = c.entry;

        EXPECT_EQ(InstallFont(sourcePath.c_str(), c.folderPath.c_str()), c.expected) << c.name;
        Calls expectedCalls = {
            "PathExists(" + sourcePath + ")",
            "PathExists(" + c.folderPath + ")",
            "FindEntry(" + destinationPath + ")",
        };
        if (c.expected == InstallResult::Success) {
            Calls copied = CopyCalls(fullSourcePath, destinationPath, temporary);
            if (c.entry.lookup == Lookup::Found) {
                copied.insert(copied.begin() + 3, "TryFont(" + temporary + ")");
            }
            expectedCalls = Plus(
                Plus(expectedCalls, copied), {"AddFont(" + destinationPath + ")", "NotifyFontChange()"});
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
