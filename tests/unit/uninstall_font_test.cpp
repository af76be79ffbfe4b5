#include "fonts/uninstall_font.h"

#include "fake_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fontctl {
namespace {

using Calls = std::vector<std::string>;

struct UninstallCase {
    std::string name;
    std::string fontPath;
    bool matches;
    int removeResult;
    int deleteResult;
    UninstallResult expected;
    Calls calls;
};

TEST(UninstallFont, TestsRemovesDeletesAndBroadcastsStoppingAtTheFirstFailure)
{
    std::string const font = "C:\\Fonts\\a.ttf";
    UninstallCase const cases[] = {
        {"removed", font, true, 1, 1, UninstallResult::Success,
            {"FindFirstFileA(" + font + ")", "FindClose(search)", "RemoveFontResourceA(" + font + ")",
                "DeleteFileA(" + font + ")", "NotifyFontChange()"}},
        {"not in the font table", font, true, 0, 1, UninstallResult::RemoveFailed,
            {"FindFirstFileA(" + font + ")", "FindClose(search)", "RemoveFontResourceA(" + font + ")"}},
        {"not deletable", font, true, 1, 0, UninstallResult::DeleteFailed,
            {"FindFirstFileA(" + font + ")", "FindClose(search)", "RemoveFontResourceA(" + font + ")",
                "DeleteFileA(" + font + ")"}},
        {"matches nothing", font, false, 1, 1, UninstallResult::Success,
            {"FindFirstFileA(" + font + ")", "NotifyFontChange()"}},
        {"empty path", "", false, 1, 1, UninstallResult::Success, {"FindFirstFileA()", "NotifyFontChange()"}},
        // A pattern that matches passes the test, but the font table is given
        // the pattern itself, which names no font file.
        {"matching pattern", "C:\\Fonts\\*.tt?", true, 0, 1, UninstallResult::RemoveFailed,
            {"FindFirstFileA(C:\\Fonts\\*.tt?)", "FindClose(search)",
                "RemoveFontResourceA(C:\\Fonts\\*.tt?)"}},
        {"pattern matching nothing", "C:\\None\\*", false, 1, 1, UninstallResult::Success,
            {"FindFirstFileA(C:\\None\\*)", "NotifyFontChange()"}},
    };
    for (auto const& c : cases) {
        fake::Reset();
        if (c.matches) {
            fake::Fake().existingPaths.insert(c.fontPath);
        }
        fake::Fake().removeFontResourceResult = c.removeResult;
        fake::Fake().deleteFileResult = c.deleteResult;
        EXPECT_EQ(UninstallFont(c.fontPath.c_str()), c.expected) << c.name;
        EXPECT_EQ(fake::Fake().calls, c.calls) << c.name;
        EXPECT_EQ(fake::Fake().openSearches, 0) << c.name;
    }
}

}  // namespace
}  // namespace fontctl
