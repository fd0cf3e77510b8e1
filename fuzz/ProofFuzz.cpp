// libFuzzer harness for the proof that a line is in a list, which reaches tombolix-verify from
// a guest's phone or a command line: the input is a line, its number, the proof text and the
// root, separated by LF. Any bytes: never a crash, and nothing else proves what a proof holds
// for. The input's lines, as a list, give proofs that hold for their own lines only; as
// journal heads, an openings chain that is checked without a crash.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/draw/DrawJournal.h"
#include "core/records/ListTree.h"
#include "core/verify/Openings.h"

using listtree::CheckProof;
using listtree::TProofVerdict;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  for (size_t from = 0; from <= all.size() && parts.size() < 2000;) {
    const size_t lf = std::min(all.find('\n', from), all.size());
    parts.emplace_back(all.substr(from, lf - from));
    from = lf + 1;
  }
  parts.resize(std::max<size_t>(parts.size(), 4));
  uint64_t number = 0, count = 0;
  std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), number);
  if (CheckProof(parts[0], number, parts[2], parts[3], count) == TProofVerdict::Holds &&
      CheckProof(parts[0] + "x", number, parts[2], parts[3], count) == TProofVerdict::Holds)
    std::abort();

  // The lines as a list: each proof holds for its line, not for another line or number.
  const listtree::TListTree tree(parts);
  const std::string root = tree.RootHex();
  for (uint64_t k = 1; k <= tree.Count(); k += 1 + tree.Count() / 7) {
    const std::string proof = tree.ProofText(k);
    const std::string& line = parts[static_cast<size_t>(k - 1)];
    if (CheckProof(line, k, proof, root, count) != TProofVerdict::Holds || count != tree.Count())
      std::abort();
    if (CheckProof(line + '\x01', k, proof, root, count) == TProofVerdict::Holds) std::abort();
    if (tree.Count() > 1 && line != parts[static_cast<size_t>(k % tree.Count())] &&
        CheckProof(line, k % tree.Count() + 1, proof, root, count) == TProofVerdict::Holds)
      std::abort();
  }

  // The lines as journal heads: the first one checked against the others.
  TJournal j;
  std::string error;
  const std::string first = parts[0] + "\r\n";
  if (ParseJournal(first, j, "fuzz", error) == JournalRead::Ok) {
    std::vector<std::string> heads;
    for (size_t i = 1; i < parts.size(); ++i) heads.push_back(parts[i] + "\r\n");
    CheckOpenings(j.Head, JournalHeadKey(first), heads);
  }
  return 0;
}
