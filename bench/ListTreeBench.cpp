// The hash tree over a list of 1,000,001 lines: building it (the root shown on the poster and
// the screen), one line's proof, and checking a proof as a phone or tombolix-verify does.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/records/ListTree.h"

namespace {

constexpr size_t kLines = 1000001;

// Lines as an imported list holds them: an 11-digit id, a name, a department.
const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    out.reserve(kLines);
    for (size_t i = 0; i < kLines; ++i)
      out.push_back(std::to_string(13600000000ULL + i) + " \xD5\xC5\xC8\xFD" +
                    std::to_string(i % 97) + " \xCF\xFA\xCA\xDB\xB2\xBF");
    return out;
  }();
  return lines;
}

void BM_ListTreeBuild(benchmark::State& state) {
  const std::vector<std::string>& lines = Lines();
  for (auto _ : state) {
    listtree::TListTree tree(lines);
    benchmark::DoNotOptimize(tree.Root());
  }
  state.counters["lines"] = static_cast<double>(lines.size());
}
BENCHMARK(BM_ListTreeBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ListTreeProof(benchmark::State& state) {
  const listtree::TListTree tree(Lines());
  uint64_t k = 1;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string proof = tree.ProofText(k);
    bytes = proof.size();
    benchmark::DoNotOptimize(proof);
    k = k * 7919 % kLines + 1;
  }
  state.counters["proof_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ListTreeProof)->Unit(benchmark::kMicrosecond);

void BM_ListTreeCheck(benchmark::State& state) {
  const listtree::TListTree tree(Lines());
  const std::string root = tree.RootHex();
  const uint64_t k = kLines;  // the last line: carried up the levels
  const std::string proof = tree.ProofText(k);
  uint64_t count = 0;
  for (auto _ : state)
    if (listtree::CheckProof(Lines()[k - 1], k, proof, root, count) !=
        listtree::TProofVerdict::Holds)
      state.SkipWithError("the proof does not hold");
}
BENCHMARK(BM_ListTreeCheck)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
