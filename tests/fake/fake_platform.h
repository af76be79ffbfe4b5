// A recording fake of the platform layer for native tests: every call that
// reaches the file system, the font table or the windows is recorded with its
// exact argument bytes, and each operation returns what the test scripted.
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

    // What CopyToNewFile answers for each new path; Made for a path not
    // listed.
    std::map<std::string, platform::NewCopy> newCopies;
    bool moveResult = true;
    bool addFontResult = true;
    bool removeFontResult = true;
    bool deleteResult = true;
};

// The fake that the platform functions use; Reset() gives a fresh one.
FakePlatform& Fake();
void Reset();

}  // namespace fontctl::fake
