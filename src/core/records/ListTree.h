// The hash tree over a list's candidate lines, so that one line can be shown to be in the
// list without publishing the list. The tree is the Merkle Tree Hash of RFC 6962 (2.1) with
// SHA-256: a leaf is SHA-256(0x00 || the line's bytes), a node SHA-256(0x01 || left ||
// right); over n > 1 lines the left part holds the largest power of two below n. The lines
// are the candidate lines as docs/verify.md defines them (GBK bytes, trimmed of 0x00 to
// 0x20 at both ends), numbered from 1 in file order. The list's **root**, the number that
// is published, binds the number of lines n too: SHA-256(0x02 || n as 8 bytes big-endian ||
// the tree's hash); without it one proof could stand for another line of a shorter list.
//
// A proof of line N is the text "<n>:" followed by the sibling hashes from the leaf up, each
// as 64 lower-case hex digits, where n is the number of lines: a level at which the path's
// node is the last one and has no sibling contributes none.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace listtree {

using THash = std::array<uint8_t, 32>;

THash LeafHash(std::string_view line);
THash NodeHash(const THash& left, const THash& right);
std::string HashHex(const THash& hash);
// SHA-256(0x02 || count as 8 bytes big-endian || treeHash).
THash RootOf(uint64_t count, const THash& treeHash);

// The list's root without keeping the tree: the same as TListTree(lines).Root(), in memory
// of a hash per level, for a screen that shows the root and needs no proof.
THash ListRoot(const std::vector<std::string>& lines);

class TListTree {
 public:
  // Builds every level of the tree over `lines` (memory: about 64 bytes a line).
  explicit TListTree(const std::vector<std::string>& lines);
  uint64_t Count() const { return m_levels.empty() ? 0 : m_levels.front().size(); }
  // The Merkle Tree Hash of the lines; for no lines SHA-256 of nothing.
  THash TreeHash() const;
  // The list's root: the tree's hash with the number of lines.
  THash Root() const { return RootOf(Count(), TreeHash()); }
  std::string RootHex() const { return HashHex(Root()); }
  // The proof text of line `number` (1 … Count()); empty when there is no such line.
  std::string ProofText(uint64_t number) const;

 private:
  std::vector<std::vector<THash>> m_levels;  // the leaves first, the root's level last
};

enum class TProofVerdict {
  Holds,       // the line is line `number` of the list with that root
  Malformed,   // the proof text or the root is not written as above
  OutOfRange,  // the number is not one of the proof's lines
  Differs,     // the hashes lead to another root: not this line, number or list
};

// Checks that `line` (GBK bytes, as in the list) is line `number` of the list whose root is
// `rootHex` (64 hex digits), by `proofText`. `count` gets the proof's number of lines when
// the text could be read.
TProofVerdict CheckProof(std::string_view line, uint64_t number, std::string_view proofText,
                         std::string_view rootHex, uint64_t& count);

}  // namespace listtree
