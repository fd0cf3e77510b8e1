#include "core/records/ListTree.h"

#include <nettle/sha2.h>

#include <charconv>

namespace listtree {

namespace {

// The longest list a proof may name: a path of at most 64 hashes.
constexpr uint64_t kMaxCount = uint64_t{1} << 62;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseHash(std::string_view hex, THash& out) {
  if (hex.size() != 64) return false;
  for (size_t i = 0; i < 32; ++i) {
    const int a = HexDigit(hex[2 * i]), b = HexDigit(hex[2 * i + 1]);
    if (a < 0 || b < 0) return false;
    out[i] = static_cast<uint8_t>(a * 16 + b);
  }
  return true;
}

THash Digest(uint8_t prefix, std::string_view a, std::string_view b = {}) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, 1, &prefix);
  sha256_update(&ctx, a.size(), reinterpret_cast<const uint8_t*>(a.data()));
  sha256_update(&ctx, b.size(), reinterpret_cast<const uint8_t*>(b.data()));
  THash out;
  sha256_digest(&ctx, out.size(), out.data());
  return out;
}

std::string_view Bytes(const THash& h) {
  return {reinterpret_cast<const char*>(h.data()), h.size()};
}

}  // namespace

THash LeafHash(std::string_view line) { return Digest(0x00, line); }

THash NodeHash(const THash& left, const THash& right) {
  return Digest(0x01, Bytes(left), Bytes(right));
}

THash RootOf(uint64_t count, const THash& treeHash) {
  std::string n(8, '\0');
  for (int i = 7; i >= 0; --i, count >>= 8)
    n[static_cast<size_t>(i)] = static_cast<char>(count & 0xff);
  return Digest(0x02, n, Bytes(treeHash));
}

std::string HashHex(const THash& hash) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(64);
  for (uint8_t b : hash) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

THash ListRoot(const std::vector<std::string>& lines) {
  // Complete subtrees from the left, at most one of each height; joining what is left from
  // the right gives the same split at the largest power of two as the levels do.
  std::vector<std::pair<THash, int>> stack;
  for (const std::string& line : lines) {
    stack.emplace_back(LeafHash(line), 0);
    while (stack.size() > 1 && stack[stack.size() - 2].second == stack.back().second) {
      const THash right = stack.back().first;
      stack.pop_back();
      stack.back() = {NodeHash(stack.back().first, right), stack.back().second + 1};
    }
  }
  while (stack.size() > 1) {
    const THash right = stack.back().first;
    stack.pop_back();
    stack.back().first = NodeHash(stack.back().first, right);
  }
  return RootOf(lines.size(), stack.empty() ? TListTree({}).TreeHash() : stack.front().first);
}

TListTree::TListTree(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  std::vector<THash> level;
  level.reserve(lines.size());
  for (const std::string& line : lines) level.push_back(LeafHash(line));
  m_levels.push_back(std::move(level));
  // Pairs from the left; a last node without a partner goes up as it is, which gives the
  // split at the largest power of two of RFC 6962.
  while (m_levels.back().size() > 1) {
    const std::vector<THash>& below = m_levels.back();
    std::vector<THash> up;
    up.reserve((below.size() + 1) / 2);
    for (size_t i = 0; i + 1 < below.size(); i += 2) up.push_back(NodeHash(below[i], below[i + 1]));
    if (below.size() % 2) up.push_back(below.back());
    m_levels.push_back(std::move(up));
  }
}

THash TListTree::TreeHash() const {
  if (!m_levels.empty()) return m_levels.back().front();
  sha256_ctx ctx;
  sha256_init(&ctx);
  THash out;
  sha256_digest(&ctx, out.size(), out.data());
  return out;
}

std::string TListTree::ProofText(uint64_t number) const {
  if (number < 1 || number > Count()) return {};
  std::string out = std::to_string(Count()) + ":";
  uint64_t at = number - 1;
  for (size_t l = 0; l + 1 < m_levels.size(); ++l, at /= 2) {
    const uint64_t sibling = at ^ 1;
    if (sibling < m_levels[l].size()) out += HashHex(m_levels[l][sibling]);
  }
  return out;
}

TProofVerdict CheckProof(std::string_view line, uint64_t number, std::string_view proofText,
                         std::string_view rootHex, uint64_t& count) {
  count = 0;
  THash root;
  const size_t colon = proofText.find(':');
  if (!ParseHash(rootHex, root) || colon == std::string_view::npos || colon == 0 || colon > 19 ||
      proofText[0] == '0')
    return TProofVerdict::Malformed;
  uint64_t n = 0;
  const auto r = std::from_chars(proofText.data(), proofText.data() + colon, n);
  if (r.ec != std::errc() || r.ptr != proofText.data() + colon || n < 1 || n > kMaxCount)
    return TProofVerdict::Malformed;
  const std::string_view hashes = proofText.substr(colon + 1);
  if (hashes.size() % 64) return TProofVerdict::Malformed;
  count = n;
  if (number < 1 || number > n) return TProofVerdict::OutOfRange;
  THash h = LeafHash(line);
  size_t used = 0;
  for (uint64_t at = number - 1, size = n; size > 1; at /= 2, size = (size + 1) / 2) {
    if ((at ^ 1) >= size) continue;  // the last node of its level, carried up
    THash sibling;
    if (used + 64 > hashes.size() || !ParseHash(hashes.substr(used, 64), sibling))
      return TProofVerdict::Malformed;
    used += 64;
    h = (at & 1) ? NodeHash(sibling, h) : NodeHash(h, sibling);
  }
  if (used != hashes.size()) return TProofVerdict::Malformed;
  return RootOf(n, h) == root ? TProofVerdict::Holds : TProofVerdict::Differs;
}

}  // namespace listtree
