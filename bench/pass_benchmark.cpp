// Microbenchmarks of the engine's stages over the measuring corpus.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "corpus.h"
#include "engine/dictionary_index.h"
#include "engine/engine.h"
#include "results/results.h"
#include "state/run_state.h"

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
        set_run_values();
        return prepare_text(make_story(1 << 20, entries, 1));
    }();
    return story;
}

void index_build(benchmark::State& state)
{
    DictionaryIndex index;
    for (auto _ : state) {
        index.build(dictionary());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dictionary().size()));
}
BENCHMARK(index_build)->Unit(benchmark::kMillisecond);

void translation_pass(benchmark::State& state)
{
    set_run_values();
    dict_text = dictionary();
    dict_index.build(dict_text);
    for (auto _ : state) {
        work_text = prepared_story();
        out_text.clear();
        run_pass();
        benchmark::DoNotOptimize(out_text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * prepared_story().size()));
}
BENCHMARK(translation_pass)->Unit(benchmark::kMillisecond);

void preparation(benchmark::State& state)
{
    set_run_values();
    const std::string raw = make_story(1 << 20, entries, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(prepare_text(raw));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(preparation)->Unit(benchmark::kMillisecond);

void closing_up(benchmark::State& state)
{
    set_run_values();
    for (auto _ : state)
        benchmark::DoNotOptimize(close_up(prepared_story()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * prepared_story().size()));
}
BENCHMARK(closing_up)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
