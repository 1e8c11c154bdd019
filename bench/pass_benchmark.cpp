// Microbenchmarks of the engine's stages over the measuring corpus.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "corpus.h"
#include "engine/engine.h"
#include "results/results.h"
#include "state/run_state.h"
#include "tests/plain_pass.h"

namespace {

constexpr int entries = 100000;

const std::string& dictionary()
{
    static const std::string dict = [] {
        std::string text = make_dictionary(entries);
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        return text;
    }();
    return dict;
}

const std::string& prepared_story()
{
    static const std::string story = [] {
        run = {};
        return prepare_text(make_story(1 << 20, entries, 1));
    }();
    return story;
}

// A pass over 2,000 distinct words, each five times, plain or holding '_'.
void lookup(benchmark::State& state)
{
    const bool snake_case = state.range(0) != 0;
    std::string text;
    for (int round = 0; round < 5; ++round)
        for (int n = 0; n < 2000; ++n)
            text += english_word(n * 97) + (snake_case ? "_case_" : "") + std::to_string(n) + " ";
    run = {};
    take_dictionary(dictionary());
    for (auto _ : state) {
        run.out_text.clear();
        run_pass(PassText(text));
        benchmark::DoNotOptimize(run.out_text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dictionary().size()));
}
BENCHMARK(lookup)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void translation_pass(benchmark::State& state)
{
    run = {};
    take_dictionary(dictionary());
    for (auto _ : state) {
        run.out_text.clear();
        run_pass(PassText(prepared_story()));
        benchmark::DoNotOptimize(run.out_text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * prepared_story().size()));
}
BENCHMARK(translation_pass)->Unit(benchmark::kMillisecond);

void preparation(benchmark::State& state)
{
    run = {};
    const std::string raw = make_story(1 << 20, entries, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(prepare_text(raw));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(preparation)->Unit(benchmark::kMillisecond);

void closing_up(benchmark::State& state)
{
    run = {};
    for (auto _ : state)
        benchmark::DoNotOptimize(close_up(prepared_story()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * prepared_story().size()));
}
BENCHMARK(closing_up)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
