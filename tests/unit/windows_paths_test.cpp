#include "fonts/windows_paths.h"

#include "fake_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace fontctl {
namespace {

using fake::CodePage;

class WindowsPathsTest : public testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    static void UseCodePage(CodePage codePage) { fake::Fake().codePage = codePage; }
};

struct DestinationCase {
    CodePage codePage;
    std::string sourcePath;
    std::string folderPath;
    std::string destinationPath;
};

TEST_F(WindowsPathsTest, TheCopyGoesIntoTheFolderUnderTheSourcesOwnName)
{
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
        UseCodePage(codePage);
        EXPECT_STREQ(DestinationPath(folderPath, FileNameOf(sourcePath)).get(), destinationPath.c_str())
            << sourcePath << " into " << folderPath;
    }
}

TEST_F(WindowsPathsTest, TheFileNameIsASuffixOfTheSourcePath)
{
    std::string const path = "C:\\x\\\x95\\";  // the last byte is 0x5C
    EXPECT_EQ(FileNameOf(path).data(), path.data() + path.size());
    UseCodePage(CodePage::Japanese932);
    EXPECT_EQ(FileNameOf(path).data(), path.data() + 5);
    EXPECT_EQ(FileNameOf(""), "");
}

struct FolderCase {
    CodePage codePage;
    std::string folderPath;
    std::string destinationPath;
};

TEST_F(WindowsPathsTest, ABackslashJoinsTheNameOnlyWhereTheFolderDoesNotEndInASeparator)
{
    FolderCase const cases[] = {
        {CodePage::SingleByte, "C:\\dst", "C:\\dst\\a.ttf"},
        {CodePage::SingleByte, "C:\\dst\\", "C:\\dst\\a.ttf"},
        {CodePage::SingleByte, "C:\\dst/", "C:\\dst/a.ttf"},
        // Windows takes \\?\ paths as they stand: a doubled backslash there
        // names nothing.
        {CodePage::SingleByte, "\\\\?\\C:\\dst\\", "\\\\?\\C:\\dst\\a.ttf"},
        {CodePage::SingleByte, "\\\\?\\C:\\dst", "\\\\?\\C:\\dst\\a.ttf"},
        // The root of the current drive; \\a.ttf would name a host a.ttf.
        {CodePage::SingleByte, "\\", "\\a.ttf"},
        {CodePage::SingleByte, "/", "/a.ttf"},
        {CodePage::SingleByte, "\\\\server\\share\\", "\\\\server\\share\\a.ttf"},
        // Only the last character counts: a doubled separator stays.
        {CodePage::SingleByte, "C:\\dst\\\\", "C:\\dst\\\\a.ttf"},
        // A bare drive names its current folder, as the existence test reads
        // it, not its root; a drive root stays one.
        {CodePage::SingleByte, "D:", "D:a.ttf"},
        {CodePage::SingleByte, "d:", "d:a.ttf"},
        {CodePage::SingleByte, "D:\\", "D:\\a.ttf"},
        {CodePage::SingleByte, "D:.", "D:.\\a.ttf"},
        // 0x95 0x5C is the character 表 under 932, which is no separator; under
        // a single-byte code page the same bytes end in a backslash.
        {CodePage::Japanese932, "C:\\\x95\\", "C:\\\x95\\\\a.ttf"},
        {CodePage::SingleByte, "C:\\\x95\\", "C:\\\x95\\a.ttf"},
        {CodePage::Japanese932, "C:\\\x95\\\\", "C:\\\x95\\\\a.ttf"},
        {CodePage::Japanese932, "C:\\\x95\\/", "C:\\\x95\\/a.ttf"},
        // 0x81 0x81 then 0x5C: the backslash stands on its own.
        {CodePage::Japanese932, "C:\\\x81\x81\\", "C:\\\x81\x81\\a.ttf"},
    };
    for (auto const& [codePage, folderPath, destinationPath] : cases) {
        UseCodePage(codePage);
        EXPECT_STREQ(DestinationPath(folderPath, "a.ttf").get(), destinationPath.c_str()) << folderPath;
    }
}

struct LookedUpCase {
    std::string path;
    std::string lookedUp;
};

TEST_F(WindowsPathsTest, WindowsLooksANameUpWithoutTheDotsAndSpacesAtItsEnd)
{
    LookedUpCase const cases[] = {
        {"C:\\dst\\a.ttf", "a.ttf"},
        {"C:\\dst\\ANOTHE~1.TTF.", "ANOTHE~1.TTF"},
        {"C:\\dst\\dot.ttf. .", "dot.ttf"},
        {"C:\\dst/a.ttf  ", "a.ttf"},
        {"a.ttf.", "a.ttf"},
        {"C:\\dst\\ a. ttf", " a. ttf"},
        {"C:\\dst\\. .", ""},
        {"C:\\dst\\", ""},
        // A trail byte is never a dot or a space (the code page is 932 here).
        {"C:\\dst\\\x95\\.", "\x95\\"},
        // \\?\ and \??\ paths reach the file system as they stand.
        {"\\\\?\\C:\\dst\\a.ttf. ", "a.ttf. "},
        {"\\??\\C:\\dst\\a.ttf.", "a.ttf."},
        {"\\\\.\\C:\\dst\\a.ttf.", "a.ttf"},
        {"//?/C:/dst/a.ttf.", "a.ttf"},
    };
    UseCodePage(CodePage::Japanese932);
    for (auto const& [path, lookedUp] : cases) {
        EXPECT_EQ(NameAsLookedUp(path), lookedUp) << path;
    }
}

struct TemporaryCase {
    CodePage codePage;
    std::string destinationPath;
    std::uint32_t serial;
    std::string temporaryPath;
};

// The temporary file is made in the destination's own folder, under an
// upper-case 8.3 name that holds the serial's low 20 bits.
TEST_F(WindowsPathsTest, TheTemporaryFileIsBesideTheDestination)
{
    TemporaryCase const cases[] = {
        {CodePage::SingleByte, "C:\\dst\\a.ttf", 0, "C:\\dst\\~FC00000.TMP"},
        {CodePage::SingleByte, "C:\\dst\\Another Long Font.ttf", 0xABCDE, "C:\\dst\\~FCABCDE.TMP"},
        {CodePage::SingleByte, "C:\\dst\\a.ttf", 0xFFF12345, "C:\\dst\\~FC12345.TMP"},
        {CodePage::SingleByte, "\\\\?\\C:\\dst\\a.ttf", 1, "\\\\?\\C:\\dst\\~FC00001.TMP"},
        {CodePage::SingleByte, "\\a.ttf", 1, "\\~FC00001.TMP"},
        {CodePage::SingleByte, "D:a.ttf", 1, "D:~FC00001.TMP"},
        // Under 932 the folder 表 ends in the byte 0x5C, which is no
        // separator: the file goes into that folder, not beside it.
        {CodePage::Japanese932, "C:\\\x95\\\\a.ttf", 2, "C:\\\x95\\\\~FC00002.TMP"},
        {CodePage::Japanese932, "C:\\\x95\\\x95\\.ttf", 2, "C:\\~FC00002.TMP"},
    };
    for (auto const& [codePage, destinationPath, serial, temporaryPath] : cases) {
        UseCodePage(codePage);
        EXPECT_STREQ(TemporaryPath(destinationPath, serial).get(), temporaryPath.c_str()) << destinationPath;
    }
}

}  // namespace
}  // namespace fontctl
