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
            "PathFileExistsA(C:\\src\\a.ttf)",
            "PathFileExistsA(D:\\fonts)",
            "CopyFileA(C:\\src\\a.ttf, D:\\fonts\\a.ttf, 0)",
            "AddFontResourceA(D:\\fonts\\a.ttf)",
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
    EXPECT_EQ(Platform().calls, Calls {"PathFileExistsA(C:\\src\\a.ttf)"});
}

TEST_F(InstallFontTest, AnEmptyFolderIsMissingWithoutAskingThePlatform)
{
    GivenExisting({"a.ttf", ""});
    EXPECT_EQ(InstallFont("a.ttf", ""), InstallResult::FolderMissing);
    EXPECT_EQ(Platform().calls, Calls {"PathFileExistsA(a.ttf)"});
}

TEST_F(InstallFontTest, AMissingFolderStopsBeforeTheCopy)
{
    GivenExisting({"a.ttf"});
    EXPECT_EQ(InstallFont("a.ttf", "D:\\none"), InstallResult::FolderMissing);
    EXPECT_EQ(Platform().calls, (Calls {"PathFileExistsA(a.ttf)", "PathFileExistsA(D:\\none)"}));
}

TEST_F(InstallFontTest, AFailedCopyStopsBeforeTheFontTable)
{
    GivenExisting({"a.ttf", "D:\\f"});
    Platform().copyFileResult = 0;
    EXPECT_EQ(InstallFont("a.ttf", "D:\\f"), InstallResult::CopyFailed);
    EXPECT_EQ(Platform().calls,
        (Calls {
            "PathFileExistsA(a.ttf)",
            "PathFileExistsA(D:\\f)",
            "CopyFileA(a.ttf, D:\\f\\a.ttf, 0)",
        }));
}

TEST_F(InstallFontTest, NoFontAddedIsAFailureAndNothingIsBroadcast)
{
    GivenExisting({"a.ttf", "D:\\f"});
    for (int const added : {0, -1}) {
        Platform().calls.clear();
        Platform().addFontResourceResult = added;
        EXPECT_EQ(InstallFont("a.ttf", "D:\\f"), InstallResult::AddFailed) << added;
        EXPECT_EQ(Platform().calls,
            (Calls {
                "PathFileExistsA(a.ttf)",
                "PathFileExistsA(D:\\f)",
                "CopyFileA(a.ttf, D:\\f\\a.ttf, 0)",
                "AddFontResourceA(D:\\f\\a.ttf)",
            }))
            << added;
    }
}

TEST_F(InstallFontTest, ACollectionWithSeveralFontsIsASuccess)
{
    GivenExisting({"a.ttc", "D:\\f"});
    Platform().addFontResourceResult = 2;
    EXPECT_EQ(InstallFont("a.ttc", "D:\\f"), InstallResult::Success);
    EXPECT_EQ(Platform().calls.back(), "NotifyFontChange()");
}

struct DestinationCase {
    fake::CodePage codePage;
    std::string sourcePath;
    std::string folderPath;
    std::string destinationPath;
};

TEST_F(InstallFontTest, BuildsTheDestinationFromTheFolderABackslashAndTheFileName)
{
    using fake::CodePage;
    DestinationCase const cases[] = {
        {CodePage::SingleByte, "C:\\a\\b\\c.ttf", "D:\\f", "D:\\f\\c.ttf"},
        {CodePage::SingleByte, "c.ttf", "D:\\f", "D:\\f\\c.ttf"},
        // Windows takes a forward slash as a separator too: the copy never
        // lands outside the folder through one.
        {CodePage::SingleByte, "C:/a/b/c.ttf", "D:\\f", "D:\\f\\c.ttf"},
        {CodePage::SingleByte, "C:\\a/b\\c/d.ttf", "D:\\f", "D:\\f\\d.ttf"},
        {CodePage::SingleByte, "../src/f.ttf", "C:\\t\\fonts", "C:\\t\\fonts\\f.ttf"},
        {CodePage::SingleByte, "..\\..", "D:\\f", "D:\\f\\.."},
        {CodePage::SingleByte, "//server/share/f.ttf", "D:\\f", "D:\\f\\f.ttf"},
        {CodePage::SingleByte, "C:\\a/", "D:\\f", "D:\\f\\"},
        // The colon of a drive prefix ends it; a drive-relative path names a
        // file in that drive's current folder.
        {CodePage::SingleByte, "D:f.ttf", "C:\\t", "C:\\t\\f.ttf"},
        {CodePage::SingleByte, "z:sub\\f.ttf", "C:\\t", "C:\\t\\f.ttf"},
        {CodePage::SingleByte, "D:", "C:\\t", "C:\\t\\"},
        {CodePage::SingleByte, "D::f.ttf", "C:\\t", "C:\\t\\:f.ttf"},
        // Any other colon is no separator: no drive letter before it, or not
        // the second character. "a.ttf:s" is the stream s of a.ttf, and its
        // copy stays a stream of a file inside the folder.
        {CodePage::SingleByte, "a.ttf:s", "C:\\t", "C:\\t\\a.ttf:s"},
        {CodePage::SingleByte, "C:\\a\\b.ttf:s:$DATA", "D:\\f", "D:\\f\\b.ttf:s:$DATA"},
        {CodePage::SingleByte, "1:f.ttf", "C:\\t", "C:\\t\\1:f.ttf"},
        {CodePage::SingleByte, "\xC4:f.ttf", "C:\\t", "C:\\t\\\xC4:f.ttf"},
        {CodePage::SingleByte, ":f.ttf", "C:\\t", "C:\\t\\:f.ttf"},
        {CodePage::SingleByte, "ab:f.ttf", "C:\\t", "C:\\t\\ab:f.ttf"},
        {CodePage::SingleByte, "\\D:f.ttf", "C:\\t", "C:\\t\\D:f.ttf"},
        {CodePage::SingleByte, "C:\\a\\c.ttf", "D:\\f\\", "D:\\f\\\\c.ttf"},
        {CodePage::SingleByte, "C:\\a\\dir\\", "D:\\f", "D:\\f\\"},
        {CodePage::SingleByte, "\\\\\\", "D:\\f", "D:\\f\\"},
        {CodePage::SingleByte, " C:\\a\\My Font.TTF ", ".\\f", ".\\f\\My Font.TTF "},
        // 0x95 0x5C is one character under 932 and two under a single-byte
        // code page.
        {CodePage::Japanese932, "C:\\a\\\x95\\.ttf", "D:\\f", "D:\\f\\\x95\\.ttf"},
        {CodePage::SingleByte, "C:\\a\\\x95\\.ttf", "D:\\f", "D:\\f\\.ttf"},
        {CodePage::Japanese932, "\x95\\\x95\\", "D:\\f", "D:\\f\\\x95\\\x95\\"},
        {CodePage::Japanese932, "C:\\\x81\x81\\x.ttf", "D:\\f", "D:\\f\\x.ttf"},
        // A lead byte at the end of the path has no trail byte to take.
        {CodePage::Japanese932, "C:\\a\\\x95", "D:\\f", "D:\\f\\\x95"},
        // A forward slash after a double-byte character is a separator, and
        // so is the colon of a drive prefix before one; a lead byte before a
        // colon is no drive letter.
        {CodePage::Japanese932, "\x95\\/f.ttf", "D:\\f", "D:\\f\\f.ttf"},
        {CodePage::Japanese932, "D:\x95\\.ttf", "C:\\t", "C:\\t\\\x95\\.ttf"},
        {CodePage::SingleByte, "D:\x95\\.ttf", "C:\\t", "C:\\t\\.ttf"},
        {CodePage::Japanese932, "\x95:f.ttf", "D:\\f", "D:\\f\\\x95:f.ttf"},
    };
    for (auto const& [codePage, sourcePath, folderPath, destinationPath] : cases) {
        fake::Reset();
        Platform().codePage = codePage;
        GivenExisting({sourcePath, folderPath});
        EXPECT_EQ(InstallFont(sourcePath.c_str(), folderPath.c_str()), InstallResult::Success) << sourcePath;
        ASSERT_EQ(Platform().calls.size(), 5U) << sourcePath;
        EXPECT_EQ(Platform().calls[2], "CopyFileA(" + sourcePath + ", " + destinationPath + ", 0)");
        EXPECT_EQ(Platform().calls[3], "AddFontResourceA(" + destinationPath + ")");
    }
}

TEST_F(InstallFontTest, TheFileNameIsASuffixOfTheSourcePath)
{
    std::string const path = "C:\\x\\\x95\\";  // the last byte is 0x5C
    EXPECT_EQ(FileNameOf(path).data(), path.data() + path.size());
    Platform().codePage = fake::CodePage::Japanese932;
    EXPECT_EQ(FileNameOf(path).data(), path.data() + 5);
    EXPECT_EQ(FileNameOf(""), "");
}

}  // namespace
}  // namespace fontctl
