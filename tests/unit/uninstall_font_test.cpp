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
        // Nothing there: removed already, and broadcast.
        {"nothing there", font, Lookup::NothingThere, true, true, UninstallResult::Success,
            {"FindEntry(" + font + ")", "NotifyFontChange()"}},
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
        {"pattern matching nothing", "C:\\None\\*", Lookup::NothingThere, true, true,
            UninstallResult::Success, {"FindEntry(C:\\None\\*)", "NotifyFontChange()"}},
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

}  // namespace
}  // namespace fontctl
