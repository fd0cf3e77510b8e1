// The check of a finished draw that anyone can run: the commitment against the secret, the
// candidate list and the preset lists against their hashes, the seed against its
// derivation, every batch replayed from the seed and the roll counts, and the winner files
// against the replay. It reads files only: no database, no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TVerifyResult {
  bool Passed = false;
  // GBK lines to print: one per batch, then each thing that differs, then the verdict.
  std::vector<std::string> Lines;
  // The things that differ (also among Lines), empty when it passed.
  std::vector<std::string> Problems;
  // The openings of the task's draw: the summary and one line per opening of the chain
  // (printed before the verdict); empty for a journal written before openings were counted.
  std::vector<std::string> Openings;
  // The root of the hash tree over the list's candidate lines (ListTree.h) and their number,
  // once the list was read; a guest's proof of their line is checked against it.
  std::string ListRoot;
  size_t ListCount = 0;
  // The draw's 抽奖凭证 as the Ready screen showed it (the list's fingerprint and count,
  // those checked in, the commitment, the opening), for a guest to hold against a photograph;
  // empty until the journal and the list were read.
  std::string Voucher;
};

// Checks the draw of `taskId` whose files lie below the data folder `gbkRoot` (DATA_FILE/,
// LUCK_FILE/): the finished journal JOURNAL_<TaskId>_DONE.txt, or the unfinished one.
TVerifyResult VerifyDrawFolder(const std::string& gbkRoot, int32_t taskId);

// The same for an audit bundle (a zip the results window exported); its entries are
// unpacked into a temporary folder first.
TVerifyResult VerifyAuditBundle(const std::string& gbkZipPath);

// The verdicts as printed.
std::string VerifyPassedText();  // "验证通过"
std::string VerifyFailedText();  // "验证未通过"
