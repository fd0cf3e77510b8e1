// 公示单: the page published before the doors open, so that the hall knows the draw in advance
// and each guest can later check they were on the list. It says the task, its prize items,
// the rules in words, the list's count and fingerprint (the numbers the Ready screen shows
// in its 抽奖凭证 line), the root of the hash tree over the list's lines (ListTree.h, the
// number tombolix-verify prints as 名单哈希树根值), the date and how to check. All GBK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace check {

struct TNoticeItem {
  std::string Name;   // the item's name
  int32_t Count = 0;  // its winners (中奖个数)
  std::string Award;  // the prize, empty when none is named
};

struct TNoticeDate {
  int Year = 0;
  int Month = 0;
  int Day = 0;
};

struct TNotice {
  std::string Title;     // "公示单"
  std::string TaskName;  // the task's name
  std::vector<TNoticeItem> Items;
  std::vector<std::string> Rules;  // the rules, one sentence each
  int64_t Count = 0;               // the list's candidates, as the draw counts them
  std::string Fingerprint;         // SHA-256 of the draw data file, 64 lower-case hex digits
  std::string Root;                // the list's root, 64 lower-case hex digits
  // The Ready screen's words for the list: "名单 <first 12 of the fingerprint>  <Count>人".
  std::string Voucher;
  std::string Date;                // "2026年12月10日"
  std::vector<std::string> Steps;  // how to check, in order
};

// The notice of task `taskId` on `date`. False with the error text when the task cannot be
// read, has no list, or its list or rules cannot be used for the draw: a notice is never
// made of numbers the draw would not show.
bool MakeNotice(int32_t taskId, const TNoticeDate& date, TNotice& out, std::string& error);

// An item in one line: "一等奖  2名  奖品：电视机" (no prize part without an award).
std::string ItemText(const TNoticeItem& item);

// The notice's text as lines (GBK, no line ends): what the printed page says, in its order;
// for a text copy and for the tests.
std::vector<std::string> NoticeLines(const TNotice& notice);

}  // namespace check
