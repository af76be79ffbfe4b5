// A recording fake of the platform layer for native tests: every call that
// reaches the file system, the font table or the windows is recorded with its
// exact argument bytes, and each operation returns what the test scripted.
// Files are recorded by their paths: a new file that is closed while still
// marked for deletion is recorded as "CloseFile(path, deleted)".
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fontctl::fake {

enum class CodePage {
    SingleByte,   // every byte a character of its own (1252, UTF-8)
    Japanese932,  // lead bytes 0x81-0x9F and 0xE0-0xFC
};

// What FindEntry answers for one path.
struct FakeEntry {
    platform::Lookup lookup = platform::Lookup::Found;
    std::string longName;
    std::string shortName;
};

struct FakePlatform {
    // Each call as "Name(arg, arg)", arguments as the raw bytes received;
    // FullPathOf, which only works on text, is not among them.
    std::vector<std::string> calls;

    std::string commandLine;
    CodePage codePage = CodePage::SingleByte;

    // Paths at which PathExists finds something.
    std::set<std::string> existingPaths;

    // What FindEntry answers for each path (a pattern listed here matches as
    // a whole); NothingThere for a path not listed.
    std::map<std::string, FakeEntry> entries;

    // What FullPathOf answers for each path: an empty one for none (Windows
    // gave none, or one of MAX_PATH units or more). A path not listed is its
    // own full path.
    std::map<std::string, std::string> fullPaths;

    std::uint32_t processId = 0x100;

    // Sources that OpenSourceFile cannot open (a folder, a file the user may
    // not read, one held without sharing); every other path opens.
    std::set<std::string> unreadableSources;
    // What CreateNewFile answers for each path; Made for a path not listed.
    std::map<std::string, platform::Creation> creations;
    // How many of the first temporary names CreateNewFile finds taken,
    // besides those listed in `creations`.
    std::uint32_t takenNames = 0;
    bool writeResult = true;
    // Whether the font table takes a font from the new copy on trial, and
    // whether the copy is held again after it.
    bool trialResult = true;
    bool trialKeepsCopy = true;
    bool moveResult = true;
    bool addFontResult = true;
    bool removeFontResult = true;
    bool deleteResult = true;
};

// The fake that the platform functions use; Reset() gives a fresh one.
FakePlatform& Fake();
void Reset();

}  // namespace fontctl::fake
