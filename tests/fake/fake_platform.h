// A recording fake of the platform layer for native tests: every call is
// recorded with its exact argument bytes, and each operation returns what
// the test scripted.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace fontctl::fake {

enum class CodePage {
    SingleByte,   // every byte a character of its own (1252, UTF-8)
    Japanese932,  // lead bytes 0x81-0x9F and 0xE0-0xFC
};

struct FakePlatform {
    // Each call as "Name(arg, arg)", arguments as the raw bytes received.
    std::vector<std::string> calls;

    std::string commandLine;
    CodePage codePage = CodePage::SingleByte;

    // Paths at which PathFileExistsA finds something and which FindFirstFileA
    // matches (a pattern listed here matches as a whole).
    std::set<std::string> existingPaths;

    int copyFileResult = 1;
    int addFontResourceResult = 1;
    int removeFontResourceResult = 1;
    int deleteFileResult = 1;

    // Searches opened and not yet closed.
    int openSearches = 0;
};

// The fake that the platform functions use; Reset() gives a fresh one.
FakePlatform& Fake();
void Reset();

}  // namespace fontctl::fake
