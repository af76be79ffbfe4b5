// Inputs of exact sizes for the parser benchmarks: realistic Windows paths,
// and under 932 paths whose names hold double-byte characters, among them
// ones whose trail byte is 0x5C.
#pragma once

#include "fake_platform.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace fontctl::bench {

enum CodePageArg : int { SingleByte = 0, Japanese932 = 1 };

inline void UseCodePage(int codePage)
{
    fake::Reset();
    fake::Fake().codePage
        = codePage == Japanese932 ? fake::CodePage::Japanese932 : fake::CodePage::SingleByte;
}

// One folder name of the path, repeated to fill it.
inline std::string_view FolderName(int codePage)
{
    // "フォント表" in Shift_JIS: 表 is the pair 0x95 0x5C.
    return codePage == Japanese932 ? "\\\x83\x74\x83\x48\x83\x93\x83\x67\x95\x5C dir" : "\\Font files";
}

// A path of exactly `size` bytes: a drive, folders, then a file name.
inline std::string MakePath(std::size_t size, int codePage)
{
    std::string_view const fileName = "\\Bench Sans.ttf";
    std::string path = "C:";
    while (path.size() + FolderName(codePage).size() + fileName.size() <= size) {
        path += FolderName(codePage);
    }
    path.append(size - path.size() - fileName.size(), 'x');
    return path += fileName;
}

// An install command line of exactly `size` bytes: both paths quoted, the
// source taking what the rest leaves.
inline std::string MakeCommandLine(std::size_t size, int codePage)
{
    std::string const head = "fontctl.exe 1 \"";
    std::string const tail = "\" \"C:\\Fonts\"";
    return head + MakePath(size - head.size() - tail.size(), codePage) + tail;
}

inline char const* CodePageLabel(int codePage)
{
    return codePage == Japanese932 ? "932" : "single-byte";
}

}  // namespace fontctl::bench
