// The cost of splitting an install command line, per byte of the line.
#include "bench_inputs.h"
#include "cli/command_line.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void SplitCommandLine(benchmark::State& state)
{
    auto const size = static_cast<std::size_t>(state.range(0));
    auto const codePage = static_cast<int>(state.range(1));
    fontctl::bench::UseCodePage(codePage);
    std::string const line = fontctl::bench::MakeCommandLine(size, codePage);
    if (fontctl::SplitCommandLine(line).count != 3) {
        state.SkipWithError("the command line does not split into its three arguments");
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(fontctl::SplitCommandLine(line));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.SetLabel(fontctl::bench::CodePageLabel(codePage));
}

}  // namespace

BENCHMARK(SplitCommandLine)->ArgsProduct({{64, 1024, 32768}, {0, 1}});
