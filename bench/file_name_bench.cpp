// The cost of finding the file name in a source path, per byte of the path.
#include "bench_inputs.h"
#include "fonts/windows_paths.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void FileNameOf(benchmark::State& state)
{
    auto const size = static_cast<std::size_t>(state.range(0));
    auto const codePage = static_cast<int>(state.range(1));
    fontctl::bench::UseCodePage(codePage);
    std::string const path = fontctl::bench::MakePath(size, codePage);
    if (fontctl::FileNameOf(path) != "Bench Sans.ttf") {
        state.SkipWithError("the path does not end in the expected file name");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(fontctl::FileNameOf(path));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.SetLabel(fontctl::bench::CodePageLabel(codePage));
}

}  // namespace

BENCHMARK(FileNameOf)->ArgsProduct({{64, 1024, 32768}, {0, 1}});
