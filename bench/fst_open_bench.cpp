// Time to open (load whole) and close a 5 MB transducer file with tag tables, made
// with the file writer when the benchmark starts.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "compiler/file_writer.h"
#include "vtmrt.h"

namespace {

std::string MakeLargeTransducer() {
  vtm::compiler::TransducerSpec spec;
  spec.header.label_base = 16;
  spec.header.far_ref_base = 8;
  spec.header.abs_ref_base = 12;
  spec.copyright = "Benchmark transducer";
  spec.version = "1.0.0";
  for (int c = 'a'; c <= 'z'; ++c) spec.symbols.emplace_back(1, static_cast<char>(c));
  spec.char_map.first = 'a';
  spec.char_map.last = 'z';
  for (int i = 0; i < 26; ++i) spec.char_map.entries.push_back(static_cast<uint16_t>(64 + 4 * i));
  std::vector<std::pair<std::string, uint16_t>> tags;
  for (int i = 0; i < 300; ++i) {
    tags.emplace_back("+Tag" + std::to_string(i), static_cast<uint16_t>((i + 1) << 2));
  }
  spec.named_tables.push_back(
      {vtm::kDiacriticsTable,
       {},
       {{vtm::kTbKey, vtm::CodeValue(0x14, 0)}, {vtm::kEosKey, vtm::CodeValue(0x18, 0)}}});
  spec.named_tables.push_back({vtm::kTagModeTable, {}, tags});
  spec.functions.assign(62, vtm::kNoSubnet);
  spec.functions[11] = 0;
  spec.subnets.push_back({0, 64, 20, 0, {}});
  spec.near_states = {0, 10, 20, 30, 40, 50, 60};
  spec.network.resize(5u << 20);
  for (std::size_t i = 0; i < spec.network.size(); ++i) {
    spec.network[i] = static_cast<uint8_t>(16 + (i * 2654435761u >> 24) % 240);
  }
  std::string path = (std::filesystem::temp_directory_path() / "vtm_bench_5mb.fst").string();
  std::string error;
  if (!vtm::compiler::WriteTransducerFile(path, spec, &error)) {
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
    return {};
  }
  return path;
}

// The file is made once per run and shared by the benchmarks here.
const std::string& LargeTransducer() {
  static const std::string path = MakeLargeTransducer();
  return path;
}

void BM_OpenTransducer5MB(benchmark::State& state) {
  const std::string& path = LargeTransducer();
  if (path.empty()) {
    state.SkipWithError("no transducer file");
    return;
  }
  for (auto _ : state) {
    VtmFsm fsm = vtm_make_fsm(path.c_str());
    if (vtm_object_error_code(fsm) != 0) {
      state.SkipWithError("load failed");
      break;
    }
    vtm_free_fsm(fsm);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_OpenTransducer5MB)->Unit(benchmark::kMillisecond);

void BM_ReadHeader(benchmark::State& state) {
  const std::string& path = LargeTransducer();
  for (auto _ : state) {
    VtmHeader header = vtm_make_header(path.c_str());
    benchmark::DoNotOptimize(header);
    vtm_free_header(header);
  }
}
BENCHMARK(BM_ReadHeader)->Unit(benchmark::kMicrosecond);

}  // namespace
