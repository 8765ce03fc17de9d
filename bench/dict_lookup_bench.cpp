// Client dictionary speed: lookups at several table fills (the table has a fixed 211
// chains, so lookups slow down as entries grow), and loading an entry file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vtmrt.h"

namespace {

std::string Key(int i) {
  return "word" + std::to_string(i * 7919);
}

// A dictionary of `count` keys, each with one two-part value.
VtmClientDict MakeDict(int count) {
  VtmClientDict dict = vtm_make_client_dict(0, 0);
  for (int i = 0; i < count; ++i) {
    vtm_add_entry(Key(i).c_str(), (Key(i) + "[noun]").c_str(), 0, dict);
  }
  return dict;
}

void BM_DictLookupHit(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  VtmClientDict dict = MakeDict(count);
  std::vector<std::string> words;
  for (int i = 0; i < 256; ++i) words.push_back(Key(i * 31 % count));
  char out[256];
  std::size_t next = 0;
  for (auto _ : state) {
    const std::string& w = words[next++ % words.size()];
    benchmark::DoNotOptimize(vtm_client_dict_lookup(w.c_str(), nullptr, out, sizeof out,
                                                    VTM_DICT_FORM | VTM_DICT_TAGS, 0, dict));
  }
  vtm_free_client_dict(dict);
}
BENCHMARK(BM_DictLookupHit)->Arg(200)->Arg(5000)->Arg(100000);

void BM_DictLookupMiss(benchmark::State& state) {
  VtmClientDict dict = MakeDict(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(vtm_client_dict_lookup("absent", nullptr, nullptr, 0, 0, 0, dict));
  }
  vtm_free_client_dict(dict);
}
BENCHMARK(BM_DictLookupMiss)->Arg(200)->Arg(100000);

// Loading a file of 10 000 lines in groups of 100 keys, into a fresh dictionary.
void BM_DictLoadEntries(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "vtm_bench_dict_entries.txt";
  {
    std::ofstream file(path, std::ios::binary);
    for (int i = 0; i < 10000; ++i) {
      if (i % 100 == 0) file << "[group" << i / 100 << "]\n";
      file << Key(i) << "\n";
    }
  }
  for (auto _ : state) {
    VtmClientDict dict = vtm_make_client_dict(0, 0);
    benchmark::DoNotOptimize(vtm_load_entries(path.string().c_str(), 0, dict));
    vtm_free_client_dict(dict);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_DictLoadEntries)->Unit(benchmark::kMillisecond);

}  // namespace
