#include "fonts/uninstall_font.h"

#include "fake_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fontctl {
namespace {

using Calls = std::vector<std::string>;
using platform::Lookup;

struct UninstallCase {
    std::string name;
    std::string fontPath;
    Lookup lookup;  // what the search answers for fontPath
    bool removed;
    bool deleted;
    UninstallResult expected;
    Calls calls;
};

TEST(UninstallFont, LooksRemovesDeletesAndBroadcastsStoppingAtTheFirstFailure)
{
    std::string const font = "C:\\Fonts\\a.ttf";
    Calls const looked = {"FindEntry(" + font + ")"};
    Calls const removeCalls = {"FindEntry(" + font + ")", "RemoveFont(" + font + ")"};
    Calls const deleteCalls
        = {"FindEntry(" + font + ")", "RemoveFont(" + font + ")", "DeleteFileAt(" + font + ")"};
    UninstallCase const cases[] = {
        {"removed", font, Lookup::Found, true, true, UninstallResult::Success,
            {"FindEntry(" + font + ")", "RemoveFont(" + font + ")", "DeleteFileAt(" + font + ")",
                "NotifyFontChange()"}},
        {"not in the font table", font, Lookup::Found, false, true, UninstallResult::RemoveFailed,
            removeCalls},
        {"not deletable", font, Lookup::Found, true, false, UninstallResult::DeleteFailed, deleteCalls},
        // Nothing there: removed already, and broadcast. The font table is
        // still asked to let go of the path, whatever it answers: the file
        // may be gone with its drive while its fonts are loaded.
        {"nothing there", font, Lookup::NothingThere, true, true, UninstallResult::Success,
            {"FindEntry(" + font + ")", "RemoveFont(" + font + ")", "NotifyFontChange()"}},
        {"nothing there, nothing to let go", font, Lookup::NothingThere, false, true,
            UninstallResult::Success,
            {"FindEntry(" + font + ")", "RemoveFont(" + font + ")", "NotifyFontChange()"}},
        // The folder could not be looked at (access denied, a drive not
        // ready, a share out of reach): the font may be there and loaded.
        {"could not look", font, Lookup::CouldNotLook, true, true, UninstallResult::RemoveFailed, looked},
        {"empty path", "", Lookup::CouldNotLook, true, true, UninstallResult::Success,
            {"NotifyFontChange()"}},
        // A stream ("a.ttf::$DATA" is the file itself) is never listed by a
        // search, which so cannot tell whether it is there.
        {"stream", "C:\\Fonts\\a.ttf::$DATA", Lookup::NothingThere, true, true, UninstallResult::RemoveFailed,
            {}},
        {"named stream", "a.ttf:s", Lookup::NothingThere, true, true, UninstallResult::RemoveFailed, {}},
        // The colon of a drive prefix is no stream.
        {"drive-relative", "D:a.ttf", Lookup::Found, true, true, UninstallResult::Success,
            {"FindEntry(D:a.ttf)", "RemoveFont(D:a.ttf)", "DeleteFileAt(D:a.ttf)", "NotifyFontChange()"}},
        // A pattern that matches passes the test, but the font table is given
        // the pattern itself, which names no font file.
        {"matching pattern", "C:\\Fonts\\*.tt?", Lookup::Found, false, true, UninstallResult::RemoveFailed,
            {"FindEntry(C:\\Fonts\\*.tt?)", "RemoveFont(C:\\Fonts\\*.tt?)"}},
        {"pattern matching nothing", "C:\\None\\*", Lookup::NothingThere, false, true,
            UninstallResult::Success,
            {"FindEntry(C:\\None\\*)", "RemoveFont(C:\\None\\*)", "NotifyFontChange()"}},
    };
    for (auto const& c : cases) {
        fake::Reset();
        fake::Fake().entries[c.fontPath] = {c.lookup, "a.ttf", ""};
        fake::Fake().removeFontResult = c.removed;
        fake::Fake().deleteResult = c.deleted;
        EXPECT_EQ(UninstallFont(c.fontPath.c_str()), c.expected) << c.name;
        EXPECT_EQ(fake::Fake().calls, c.calls) << c.name;
    }
}

// The search, the font table and the deletion all get the full path of
// fontPath, as the file functions resolve it. A path that has none Windows'
// functions take (its full form reaches MAX_PATH) cannot be looked at, and
// nothing is done. A \\?\ path is taken as it stands, at any length.
TEST(UninstallFont, EveryStepGetsTheFullPathOfTheFont)
{
    struct {
        std::string name;
        std::string fontPath;
        std::string fullPath;  // none when empty
        UninstallResult expected;
        std::string calledWith;  // the path every step is given; none when empty
    } const cases[] = {
        {"relative", "a.ttf", "C:\\work\\a.ttf", UninstallResult::Success, "C:\\work\\a.ttf"},
        {"drive-relative", "D:a.ttf", "D:\\current\\a.ttf", UninstallResult::Success, "D:\\current\\a.ttf"},
        {"trailing dot", "C:\\f\\a.ttf.", "C:\\f\\a.ttf", UninstallResult::Success, "C:\\f\\a.ttf"},
        {"beyond MAX_PATH", "C:\\f\\a.ttf", "", UninstallResult::RemoveFailed, ""},
        {"verbatim", "\\\\?\\C:\\f\\a.ttf", "", UninstallResult::Success, "\\\\?\\C:\\f\\a.ttf"},
    };
    for (auto const& c : cases) {
        fake::Reset();
        fake::Fake().fullPaths[c.fontPath] = c.fullPath;
        fake::Fake().entries[c.calledWith] = {Lookup::Found, "a.ttf", ""};
        EXPECT_EQ(UninstallFont(c.fontPath.c_str()), c.expected) << c.name;
        Calls const expected = c.calledWith.empty()
            ? Calls {}
            : Calls {"FindEntry(" + c.calledWith + ")", "RemoveFont(" + c.calledWith + ")",
                "DeleteFileAt(" + c.calledWith + ")", "NotifyFontChange()"};
        EXPECT_EQ(fake::Fake().calls, expected) << c.name;
    }
}

}  // namespace
}  // namespace fontctl
