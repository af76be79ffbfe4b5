#include "cli/command_table.h"

#include "fake_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fontctl {
namespace {

using Calls = std::vector<std::string>;

struct Outcome {
    int exitStatus;
    std::string output;
    Calls calls;
};

// Runs one command line against the fake as the test has scripted it.
Outcome RunScripted(std::string const& commandLine)
{
    testing::internal::CaptureStdout();
    int const exitStatus = RunCommandLine(commandLine);
    std::string output = testing::internal::GetCapturedStdout();
    return {exitStatus, output, fake::Fake().calls};
}

// Runs one command line against a fresh fake, in which `existing` paths exist
// (and a search finds them) and every other operation succeeds.
Outcome RunWith(std::string const& commandLine, std::vector<std::string> const& existing = {})
{
    fake::Reset();
    for (std::string const& path : existing) {
        fake::Fake().existingPaths.insert(path);
        fake::Fake().entries[path] = {};
    }
    return RunScripted(commandLine);
}

Calls const SuccessfulInstall = {
    "PathExists(C:\\a.ttf)",
    "PathExists(D:\\f)",
    "FindEntry(D:\\f\\a.ttf)",
    "OpenSourceFile(C:\\a.ttf)",
    "CreateNewFile(D:\\f\\~FC00040.TMP)",
    "WriteCopy(C:\\a.ttf, D:\\f\\~FC00040.TMP)",
    "MoveCopyOver(C:\\a.ttf, D:\\f\\~FC00040.TMP, D:\\f\\a.ttf)",
    "CloseFile(D:\\f\\a.ttf)",
    "CloseFile(C:\\a.ttf)",
    "AddFont(D:\\f\\a.ttf)",
    "NotifyFontChange()",
};

TEST(CommandTable, InstallCommandsRunInstallFontOnceAndWriteItsCode)
{
    for (std::string const command : {"1", "4", "5", "6"}) {
        Outcome const run
            = RunWith("fontctl " + command + " C:\\a.ttf D:\\f extra args", {"C:\\a.ttf", "D:\\f"});
        EXPECT_EQ(run.exitStatus, 0) << command;
        EXPECT_EQ(run.output, "0") << command;
        EXPECT_EQ(run.calls, SuccessfulInstall) << command;
    }
}

TEST(CommandTable, InstallWritesAFailureCodeWithExitStatusZero)
{
    Outcome const run = RunWith("fontctl 1 C:\\a.ttf D:\\none", {"C:\\a.ttf"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, "2");
}

TEST(CommandTable, MissingPathsReachInstallFontAsEmptyStrings)
{
    Outcome const noPaths = RunWith("fontctl 1", {""});
    EXPECT_EQ(noPaths.output, "1");
    EXPECT_EQ(noPaths.calls, Calls {});

    Outcome const sourceOnly = RunWith("fontctl 1 C:\\a.ttf", {"C:\\a.ttf", ""});
    EXPECT_EQ(sourceOnly.output, "2");
    EXPECT_EQ(sourceOnly.calls, Calls {"PathExists(C:\\a.ttf)"});
}

TEST(CommandTable, PathsArePassedOnExactlyAsSplit)
{
    Outcome const run
        = RunWith("fontctl 1 \"C:\\My Fonts\\*?.ttf\" \" D:\\f \"", {"C:\\My Fonts\\*?.ttf", " D:\\f "});
    EXPECT_EQ(run.output, "0");
    EXPECT_EQ(run.calls[3], "OpenSourceFile(C:\\My Fonts\\*?.ttf)");
    EXPECT_EQ(run.calls[6], "MoveCopyOver(C:\\My Fonts\\*?.ttf,  D:\\f \\~FC00040.TMP,  D:\\f \\*?.ttf)");
}

TEST(CommandTable, RemoveRunsUninstallFontOnceWithThePathAndWritesItsCode)
{
    Outcome const removed = RunWith("fontctl 2 C:\\a.ttf D:\\ignored more", {"C:\\a.ttf"});
    EXPECT_EQ(removed.exitStatus, 0);
    EXPECT_EQ(removed.output, "0");
    EXPECT_EQ(removed.calls,
        (Calls {"FindEntry(C:\\a.ttf)", "RemoveFont(C:\\a.ttf)", "DeleteFileAt(C:\\a.ttf)",
            "NotifyFontChange()"}));

    fake::Reset();
    fake::Fake().entries["C:\\a.ttf"] = {};
    fake::Fake().deleteResult = false;
    Outcome const notDeleted = RunScripted("fontctl 2 C:\\a.ttf");
    EXPECT_EQ(notDeleted.exitStatus, 0);
    EXPECT_EQ(notDeleted.output, "2");

    Outcome const noPath = RunWith("fontctl 2");
    EXPECT_EQ(noPath.output, "0");
    EXPECT_EQ(noPath.calls, Calls {"NotifyFontChange()"});
}

TEST(CommandTable, RefreshBroadcastsThenWritesZeroIgnoringPaths)
{
    for (std::string const commandLine :
        {"fontctl 10", "fontctl 10 C:\\a.ttf D:\\f", "fontctl \" +010.5x\""}) {
        Outcome const run = RunWith(commandLine, {"C:\\a.ttf", "D:\\f"});
        EXPECT_EQ(run.exitStatus, 0) << commandLine;
        EXPECT_EQ(run.output, "0") << commandLine;
        EXPECT_EQ(run.calls, Calls {"NotifyFontChange()"}) << commandLine;
    }
}

TEST(CommandTable, OtherNumbersSelectNothing)
{
    for (std::string const commandLine : {"fontctl", "fontctl \"\"", "fontctl 0", "fontctl 3", "fontctl 7",
             "fontctl 8", "fontctl 9", "fontctl 11", "fontctl -1", "fontctl -10", "fontctl 0x1",
             "fontctl one", "fontctl 4294967297", "fontctl 4294967306", "fontctl -4294967286",
             "fontctl 2147483647", "fontctl -2147483648", "fontctl 3 C:\\a.ttf D:\\f"}) {
        Outcome const run = RunWith(commandLine, {"C:\\a.ttf", "D:\\f"});
        EXPECT_EQ(run.exitStatus, 0) << commandLine;
        EXPECT_EQ(run.output, "") << commandLine;
        EXPECT_EQ(run.calls, Calls {}) << commandLine;
    }
}

}  // namespace
}  // namespace fontctl
