// The hash tree over a list's lines: tree hashes and proofs equal to those of RFC 6962's
// Merkle tree (the certificate transparency test vectors), roots that bind the number of
// lines, and proofs that do not hold are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/records/ListTree.h"

using listtree::CheckProof;
using listtree::TListTree;
using listtree::TProofVerdict;

namespace {

std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

// The eight leaves of the RFC 6962 test vectors.
const std::vector<std::string> kLeaves = {"",
                                          Bytes("00"),
                                          Bytes("10"),
                                          Bytes("2021"),
                                          Bytes("3031"),
                                          Bytes("40414243"),
                                          Bytes("5051525354555657"),
                                          Bytes("606162636465666768696a6b6c6d6e6f")};

std::vector<std::string> First(size_t n) { return {kLeaves.begin(), kLeaves.begin() + n}; }

TProofVerdict Check(const std::string& line, uint64_t number, const std::string& proof,
                    const std::string& root) {
  uint64_t count = 0;
  return CheckProof(line, number, proof, root, count);
}

// SHA-256(0x02 || 7 as 8 bytes || the tree hash of the seven leaves).
const std::string kRoot7 = "81c9cac0307e08c0569e3c949890b6be5f62bdf3e4dd89b1dd8f39a26ea201e6";
const std::string kProof7Line1 =
    "7:96a296d224f285c67bee93c30f8a309157f0daa35dc5b87e410b78630a09cfc7"
    "5f083f0a1a33ca076a95279832580db3e0ef4584bdff1f54c8a360f50de3031e"
    "837dbb152e9b079010717e84e865da4ebc0fa198a806d59d31bf15accef22d0e";

}  // namespace

TEST(ListTree, TreeHashesAreThoseOfTheStandardVectorsAndRootsBindTheCount) {
  const std::vector<std::string> hashes = {
      "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d",
      "fac54203e7cc696cf0dfcb42c92a1d9dbaf70ad9e621f4bd8d98662f00e3c125",
      "aeb6bcfe274b70a14fb067a5e5578264db0fa9b51af5e0ba159158f329e06e77",
      "d37ee418976dd95753c1c73862b9398fa2a2cf9b4ff0fdfe8b30cd95209614b7",
      "4e3bbb1f7b478dcfe71fb631631519a3bca12c9aefca1612bfce4c13a86264d4",
      "76e67dadbcdf1e10e1b74ddc608abd2f98dfb16fbce75277b5232a127f2087ef",
      "ddb89be403809e325750d3d263cd78929c2942b7942a34b77e122c9594a74c8c",
      "5dc9da79a70659a9ad559cb701ded9a2ab9d823aad2f4960cfe370eff4604328"};
  for (size_t n = 1; n <= 8; ++n)
    EXPECT_EQ(listtree::HashHex(TListTree(First(n)).TreeHash()), hashes[n - 1]) << n;
  EXPECT_EQ(TListTree(First(1)).RootHex(),
            "5cc26cdeaf1949b023361937a0119ed5d1f0cd9fba7d5577f2da20280f29cc64");
  EXPECT_EQ(TListTree(First(2)).RootHex(),
            "129432fd979b329cb573a647b1b257c21ef8d0cb96f4e7da42d4530ecd33b146");
  EXPECT_EQ(TListTree(First(7)).RootHex(), kRoot7);
  // No lines: the tree hash is SHA-256 of nothing.
  EXPECT_EQ(listtree::HashHex(TListTree({}).TreeHash()),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(TListTree({}).RootHex(),
            "f0c1e0b4cd1983b9c92909f8145cc102993e4c797489c0ba98639fd93056b82f");
  // The root computed without the tree: the same numbers.
  EXPECT_EQ(listtree::HashHex(listtree::ListRoot(First(7))), kRoot7);
  EXPECT_EQ(listtree::HashHex(listtree::ListRoot(First(1))),
            "5cc26cdeaf1949b023361937a0119ed5d1f0cd9fba7d5577f2da20280f29cc64");
  EXPECT_EQ(listtree::HashHex(listtree::ListRoot({})),
            "f0c1e0b4cd1983b9c92909f8145cc102993e4c797489c0ba98639fd93056b82f");
  // Every shape of the last subtrees up to 40 lines agrees with the levels.
  std::vector<std::string> lines;
  for (int n = 1; n <= 40; ++n) {
    lines.push_back(std::to_string(n * 7919));
    EXPECT_EQ(listtree::ListRoot(lines), TListTree(lines).Root()) << n;
  }
}

TEST(ListTree, ProofsOfTheFirstLastAndMiddleLinesHold) {
  const TListTree tree(First(7));
  EXPECT_EQ(tree.ProofText(1), kProof7Line1);
  EXPECT_EQ(tree.ProofText(7),
            "7:0ebc5d3437fbe2db158b9f126a1d118e308181031d0a949f8dededebc558ef6a"
            "d37ee418976dd95753c1c73862b9398fa2a2cf9b4ff0fdfe8b30cd95209614b7");
  EXPECT_EQ(tree.ProofText(4),
            "7:0298d122906dcfc10892cb53a73992fc5b9f493ea4c9badb27b791b4127a7fe7"
            "fac54203e7cc696cf0dfcb42c92a1d9dbaf70ad9e621f4bd8d98662f00e3c125"
            "837dbb152e9b079010717e84e865da4ebc0fa198a806d59d31bf15accef22d0e");
  for (uint64_t n = 1; n <= 7; ++n) {
    uint64_t count = 0;
    EXPECT_EQ(CheckProof(kLeaves[n - 1], n, tree.ProofText(n), kRoot7, count), TProofVerdict::Holds)
        << n;
    EXPECT_EQ(count, 7u);
  }
  // The last of five lines has no sibling below the top: one hash.
  EXPECT_EQ(TListTree(First(5)).ProofText(5),
            "5:d37ee418976dd95753c1c73862b9398fa2a2cf9b4ff0fdfe8b30cd95209614b7");
  EXPECT_EQ(tree.ProofText(0), "");
  EXPECT_EQ(tree.ProofText(8), "");
}

TEST(ListTree, ListsOfOneAndTwoLines) {
  const std::vector<std::string> one = {"E001 Anna"};
  const TListTree tree1(one);
  EXPECT_EQ(tree1.ProofText(1), "1:");
  EXPECT_EQ(tree1.RootHex(), "42951b8b7459cb718992c378c4de8670e5a2073cf5b0a029b003b183b5531e71");
  EXPECT_EQ(Check("E001 Anna", 1, "1:", tree1.RootHex()), TProofVerdict::Holds);
  EXPECT_EQ(Check("E002 Anna", 1, "1:", tree1.RootHex()), TProofVerdict::Differs);
  const TListTree tree2(First(2));
  EXPECT_EQ(tree2.ProofText(1),
            "2:96a296d224f285c67bee93c30f8a309157f0daa35dc5b87e410b78630a09cfc7");
  EXPECT_EQ(tree2.ProofText(2),
            "2:6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d");
  EXPECT_EQ(Check(kLeaves[1], 2, tree2.ProofText(2), tree2.RootHex()), TProofVerdict::Holds);
  // Line 1 shown as line 2 with line 1's proof.
  EXPECT_EQ(Check(kLeaves[0], 2, tree2.ProofText(1), tree2.RootHex()), TProofVerdict::Differs);
}

TEST(ListTree, ForgedOrDamagedProofsAreRefused) {
  const std::string line = kLeaves[0];
  EXPECT_EQ(Check(line, 1, kProof7Line1, kRoot7), TProofVerdict::Holds);
  // Another line, another number, another list's root, another hash digit.
  EXPECT_EQ(Check("x", 1, kProof7Line1, kRoot7), TProofVerdict::Differs);
  EXPECT_EQ(Check(line, 2, kProof7Line1, kRoot7), TProofVerdict::Differs);
  EXPECT_EQ(Check(line, 1, kProof7Line1, TListTree(First(8)).RootHex()), TProofVerdict::Differs);
  std::string forged = kProof7Line1;
  forged[10] = forged[10] == '0' ? '1' : '0';
  EXPECT_EQ(Check(line, 1, forged, kRoot7), TProofVerdict::Differs);
  // A proof claiming another count: the root binds the count. Line 7's hashes walk the
  // same way as those of line 4 of four lines, which the count tells apart.
  EXPECT_EQ(Check(line, 1, "6" + kProof7Line1.substr(1), kRoot7), TProofVerdict::Differs);
  const std::string proof7 = TListTree(First(7)).ProofText(7);
  EXPECT_EQ(Check(kLeaves[6], 7, proof7, kRoot7), TProofVerdict::Holds);
  EXPECT_EQ(Check(kLeaves[6], 4, "4" + proof7.substr(1), kRoot7), TProofVerdict::Differs);
  // Hashes missing or left over, a number outside the list, text that is no proof.
  EXPECT_EQ(Check(line, 1, kProof7Line1.substr(0, kProof7Line1.size() - 64), kRoot7),
            TProofVerdict::Malformed);
  EXPECT_EQ(Check(line, 1, kProof7Line1 + kRoot7, kRoot7), TProofVerdict::Malformed);
  EXPECT_EQ(Check(line, 1, kProof7Line1.substr(0, kProof7Line1.size() - 1), kRoot7),
            TProofVerdict::Malformed);
  EXPECT_EQ(Check(line, 0, kProof7Line1, kRoot7), TProofVerdict::OutOfRange);
  EXPECT_EQ(Check(line, 8, kProof7Line1, kRoot7), TProofVerdict::OutOfRange);
  for (const std::string bad : {"", ":", "0:", "07:", "-7:", "7", "x:", "99999999999999999999:"})
    EXPECT_EQ(Check(line, 1, bad, kRoot7), TProofVerdict::Malformed) << bad;
  std::string upper = kProof7Line1;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(Check(line, 1, upper, kRoot7), TProofVerdict::Malformed);
  EXPECT_EQ(Check(line, 1, kProof7Line1, kRoot7.substr(1)), TProofVerdict::Malformed);
}
