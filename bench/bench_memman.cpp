// The memory manager's cost per tracked object, call-stack capture included,
// and the cost of turning a captured stack into text (paid only on errors).
#include <benchmark/benchmark.h>

#include "CMemMan.h"
#include "LogFile.h"

namespace {

struct Small {
    int a = 1, b = 2, c = 3;
};

// Runs `body` under `depth` nested frames of its own.
template <class Body>
__attribute__((noinline)) void Nest(int depth, Body& body) {
    if (depth <= 0) {
        body();
        return;
    }
    Nest(depth - 1, body);
    benchmark::ClobberMemory();  // keeps the call from becoming a jump
}

void NewAndDelete(benchmark::State& state) {
    auto body = [&] {
        for (auto _ : state) {
            Small* object = new2(Small, Small);
            benchmark::DoNotOptimize(object);
            delete2(object);
        }
    };
    Nest(static_cast<int>(state.range(0)), body);
}
BENCHMARK(NewAndDelete)->Arg(0)->Arg(20)->Repetitions(5)->ReportAggregatesOnly(true);

void StackText(benchmark::State& state) {
    auto body = [&] {
        for (auto _ : state) benchmark::DoNotOptimize(CallStackText());
    };
    Nest(20, body);
}
BENCHMARK(StackText)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
