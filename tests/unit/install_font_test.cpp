#include "fonts/install_font.h"

#include "fake_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fontctl {
namespace {

using Calls = std::vector<std::string>;

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
            "CopyReplacing(C:\\src\\a.ttf, D:\\fonts\\a.ttf)",
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

// A failed copy stops before the font table; a copy from which the font
// table takes no font stays, and nothing is broadcast.
TEST_F(InstallFontTest, AFailingStepEndsTheInstallationWithItsCode)
{
    Calls const copied = {
        "PathExists(a.ttf)",
        "PathExists(D:\\f)",
        "FindEntry(D:\\f\\a.ttf)",
        "CopyReplacing(a.ttf, D:\\f\\a.ttf)",
    };
    for (bool const copyFails : {true, false}) {
        fake::Reset();
        GivenExisting({"a.ttf", "D:\\f"});
        Platform().copyResult = !copyFails;
        Platform().addFontResult = false;
        Calls expected = copied;
        if (!copyFails) {
            expected.emplace_back("AddFont(D:\\f\\a.ttf)");
        }
        EXPECT_EQ(
            InstallFont("a.ttf", "D:\\f"), copyFails ? InstallResult::CopyFailed : InstallResult::AddFailed);
        EXPECT_EQ(Platform().calls, expected) << copyFails;
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
        EXPECT_EQ(InstallFont(sourcePath.c_str(), folderPath.c_str()), InstallResult::Success) << folderPath;
        EXPECT_EQ(Platform().calls,
            (Calls {
                "PathExists(" + sourcePath + ")",
                "PathExists(" + folderPath + ")",
                "FindEntry(" + destinationPath + ")",
                "CopyReplacing(" + sourcePath + ", " + destinationPath + ")",
                "AddFont(" + destinationPath + ")",
                "NotifyFontChange()",
            }))
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
            expectedCalls.insert(expectedCalls.end(),
                {"CopyReplacing(" + sourcePath + ", " + destinationPath + ")",
                    "AddFont(" + destinationPath + ")", "NotifyFontChange()"});
        }
        EXPECT_EQ(Platform().calls, expectedCalls) << c.name;
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
