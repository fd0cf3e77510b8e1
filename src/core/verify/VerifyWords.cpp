#include "core/verify/VerifyWords.h"

#include <regex>
#include <utility>
#include <vector>

#include "core/text/Gbk.h"

using text::G;

namespace {

// Whole lines and the phrases with numbers in them, as the check writes them (UTF-8
// patterns); what they capture are values, kept as they are.
const std::vector<std::pair<std::regex, std::string>>& Patterns() {
  static const std::vector<std::pair<std::regex, std::string>> patterns = [] {
    const std::vector<std::pair<const char*, const char*>> texts = {
        {"^名单(\\d+)人, 承诺值与密钥一致, 现场号码(.*), 种子(\\d+)$",
         "List of $1 candidates, the commitment matches the secret, audience's number $2, "
         "seed $3"},
        {"^第(\\d+)批 奖项(\\d+) (\\d+)名: ", "Batch $1, item $2, $3 winner(s): "},
        {"^抽奖凭证  名单 ([0-9a-f]+)  (\\d+)人  根值 ([0-9a-f]+)  ",
         "Draw voucher  list $1  $2 people  root $3  "},
        {"签到 ([0-9a-f]+)  (\\d+)人  ", "checked in $1  $2 people  "},
        {"承诺 ([0-9a-f]+)", "commitment $1"},
        {"  本任务第(\\d+)次开启$", "  opening $1 of this task's draw"},
        {"^第(\\d+)次缺席 奖项(\\d+): ", "Absence $1, item $2: "},
        {" 缺席, 替补 ", " absent, replacement "},
        {"滚动(\\d+)次后随机数状态为(\\d+), 抽奖记录为(\\d+)",
         "after $1 roll ticks the generator's state is $2, the journal has $3"},
        {"^抽奖记录中的种子(\\d+)与推导结果(\\d+)不符$",
         "The journal's seed $1 differs from the one derived, $2"},
        {"^抽奖规则指纹([0-9a-f]+)", "Rules' fingerprint $1"},
        {", 排除其他任务的中奖者(\\d+)人", ", excluding $1 winners of other tasks"},
        {", 排除名单列出(\\d+)个号码, 其中名单中(\\d+)人",
         ", the exclusion lists name $1 ids, $2 of them on this list"},
        {"^仅抽取已签到人员: 签到名单指纹([0-9a-f]+), (\\d+)人, 与指纹一致",
         "Only those checked in: check-in list's fingerprint $1, $2 people, matching it"},
        {"^领奖记录(\\d+)条, 均为本次抽奖的中奖者$",
         "$1 prize claims, all by winners of this draw"},
        {"^本任务第(\\d+)次开启", "Opening $1 of this task's draw"},
        {"^  第(\\d+)次开启 承诺值 ([0-9a-f]+) \\(本次抽奖\\)$",
         "  Opening $1, commitment $2 (this draw)"},
        {"^  第(\\d+)次开启 承诺值 ([0-9a-f]+) \\(未用于本次抽奖\\)$",
         "  Opening $1, commitment $2 (not used for this draw)"},
        {", 此前(\\d+)次开启的记录头齐全, 链条完整",
         ", the heads of the $1 openings before it are all there, the chain is whole"},
        {", 此前没有开启过", ", never opened before"},
        {", 此后又开启(\\d+)次", ", opened $1 more time(s) since"},
        {"^第(\\d+)次开启的抽奖记录头缺失\\(已被删除,或不在审计包中\\): "
         "第(\\d+)次开启的记录头指向([0-9a-f]+)$",
         "The journal head of opening $1 is missing (deleted, or not in the audit bundle): "
         "the head of opening $2 names $3"},
        {"^第(\\d+)次开启的记录头指向第(\\d+)次开启,开启次数不连续$",
         "The head of opening $1 names opening $2: the openings are not consecutive"},
        {"^第(\\d+)次开启的记录头没有指向上一次开启,此前(\\d+)次开启的记录头缺失$",
         "The head of opening $1 names no previous opening: the heads of the $2 openings "
         "before it are missing"},
        {"^是: 这一行是名单的第(\\d+)行 \\(名单共(\\d+)行, 根值 ([0-9a-f]+)\\)$",
         "YES: this line is line $1 of the list ($2 lines, root $3)"},
        {"^否: 证明不成立, 这一行不是根值为([0-9a-f]+)的名单的第(\\d+)行$",
         "NO: the proof does not hold: this line is not line $2 of the list with root $1"},
        {"^否: 名单共(\\d+)行, 没有第(\\d+)行$", "NO: the list has $1 lines, there is no line $2"},
        {"^名单哈希树根值: ([0-9a-f]+) \\((\\d+)行\\)$", "List's root (hash tree): $1 ($2 lines)"},
        {"^抽奖记录标为已完成,但奖项(\\d+)尚未抽完$",
         "The journal is marked finished, but item $1 is not fully drawn"},
    };
    std::vector<std::pair<std::regex, std::string>> out;
    for (const auto& [from, to] : texts) out.emplace_back(std::regex(from), to);
    return out;
  }();
  return patterns;
}

// Phrases without numbers, longest first where one holds another.
const std::vector<std::pair<std::string_view, std::string_view>>& Phrases() {
  static const std::vector<std::pair<std::string_view, std::string_view>> phrases = {
      {"验证通过", "Verification passed"},
      {"验证未通过", "Verification FAILED"},
      {"否: 证明文本或根值的格式不对", "NO: the proof text or the root is not well-formed"},
      {"抽奖记录中的密钥与抽奖凭证的承诺值不符",
       "The journal's secret does not match the commitment"},
      {"抽奖记录中的抽奖规则不是本程序写下的规范文本(规则已被改动)：",
       "The journal's rules are not in the canonical form (they were changed): "},
      {"抽奖记录中的抽奖规则与其指纹不符(规则已被改动)",
       "The journal's rules do not match their fingerprint (they were changed)"},
      {"抽奖记录中的排除名单未按规定排序", "The journal's excluded ids are not sorted"},
      {"抽奖记录中的签到名单与其指纹不符(名单已被改动)",
       "The journal's check-in list does not match its fingerprint (it was changed)"},
      {"抽奖记录中的签到名单未按规定排序", "The journal's check-in list is not sorted"},
      {"抽奖记录中的缺席记录不在批次之后", "An absence in the journal does not follow a batch"},
      {"抽奖记录中的计数与重放结果不符", "the journal's counts differ from the replay"},
      {"抽奖记录缺少开始记录(START)", "The journal has no START record"},
      {"抽奖尚未完成,还没有中奖名单文件可以核对",
       "The draw is not finished: there are no winner files to check yet"},
      {"抽奖尚未开始,没有可验证的批次", "The draw has not started: no batch to check"},
      {"审计包中没有已完成的抽奖记录", "The audit bundle holds no finished journal"},
      {"没有抽奖凭证(由旧版本写下),无法验证",
       " has no commitment (written by an older version) and cannot be checked"},
      {"的最后一行不完整或已被改动", ": its last line is incomplete or was changed"},
      {"不是有效的zip文件,或者已经损坏", " is not a valid zip file, or is damaged"},
      {"_*.txt)与抽奖记录中的指纹不符", "_*.txt) do not match the journal's fingerprint"},
      {"与抽奖记录中的指纹不符", " does not match the journal's fingerprint"},
      {"与重放结果不符", " differs from the replay"},
      {"缺席者不是此位置上的中奖者", "the absent winner is not the winner at this place"},
      {"抽奖记录中的替补为 ", "the journal's replacement is "},
      {", 第一个违反抽奖规则的中奖者为 ", ", the first winner breaking a rule is "},
      {", 该替补违反抽奖规则: ", ", the replacement breaks a rule: "},
      {", 按规则重放应为 ", ", the replay by the rules gives "},
      {"抽奖记录为 ", "the journal has "},
      {"不是此时应抽的奖项", " is not the item to be drawn now"},
      {"(无人可替补)", "(nobody left to replace)"},
      {"  一致", "  match"},
      {", 规则与指纹一致", ", the rules match it"},
      {", 均在签到记录文件中", ", all in the check-in file"},
      {", 目录中没有签到记录文件", ", the folder holds no check-in file"},
      {") 已标为缺席,奖项应由替补领取", ") was marked absent; the replacement claims the prize"},
      {") 不是本次抽奖的中奖者", ") is not a winner of this draw"},
      {"领奖记录文件", "The claim file "},
      {"领奖记录中", "The claims name "},
      {"不属于这次抽奖", " does not belong to this draw"},
      {"抽奖记录中的签到人员", "The journal's checked-in id "},
      {"不在签到记录文件中", " is not in the check-in file"},
      {"不在抽奖记录中", " is not in the journal"},
      {"找不到中奖名单文件", "Winner file not found: "},
      {"找不到缺席名单文件", "Absent file not found: "},
      {"找不到抽奖记录文件", "Journal not found: "},
      {"找不到审计包文件", "Audit bundle not found: "},
      {"无法读取名单文件", "Cannot read the list "},
      {"无法读取指定中奖文件", "Cannot read the preset file "},
      {"无法创建临时目录", "Cannot create a temporary folder"},
      {"中奖名单文件", "The winner file "},
      {"缺席名单文件", "The absent file "},
      {"指定中奖文件(", "The preset files ("},
      {"抽奖记录文件", "The journal "},
      {"属于抽奖任务", " belongs to task "},
      {"名单文件", "The list "},
      {"无法读取：", " cannot be read: "},
      {"已损坏", " is damaged"},
      {"抽奖规则中的字段[", "The rules' field ["},
      {"]不在名单的标题行中", "] is not in the list's title line"},
      {"的票数[", "'s tickets ["},
      {"]不是0或正整数", "] are not 0 or a whole number"},
      {"]过大(最多9223372036854775807)", "] are too many (at most 9223372036854775807)"},
      {"已被标为缺席", "was marked absent"},
      {"已经中奖", "has already won"},
      {"是被排除任务的中奖者", "is a winner of an excluded task"},
      {"在本任务的排除名单中", "is on the task's exclusion list"},
      {"在本奖项的排除名单中", "is on the item's exclusion list"},
      {"没有签到", "did not check in"},
      {"票数为0", "holds 0 tickets"},
      {"不是名单中的候选人", "is not a candidate of the list"},
      {"不符合条件：", "does not meet the condition: "},
      {"不在名单中", " is not on the list"},
      {"审计包", "The audit bundle "},
      {"(无)", "(none)"},
  };
  return phrases;
}

}  // namespace

std::string VerifyLineInEnglish(std::string_view gbkLine) {
  std::string line = text::GbkToUtf8(gbkLine);
  for (const auto& [pattern, english] : Patterns())
    line = std::regex_replace(line, pattern, english, std::regex_constants::format_first_only);
  // Phrase by phrase from the left; UTF-8 lets a phrase match only at a character's start.
  std::string out;
  for (size_t at = 0; at < line.size();) {
    size_t best = 0;
    std::string_view english;
    for (const auto& [zh, en] : Phrases())
      if (zh.size() > best && line.compare(at, zh.size(), zh) == 0) {
        best = zh.size();
        english = en;
      }
    if (best) {
      out += english;
      at += best;
    } else {
      out += line[at++];
    }
  }
  return text::Utf8ToGbk(out);
}

std::string ProofAnswer(listtree::TProofVerdict verdict, uint64_t number, uint64_t count,
                        std::string_view rootHex) {
  const std::string root(rootHex.substr(0, 16));
  switch (verdict) {
    case listtree::TProofVerdict::Holds:
      return G("是: 这一行是名单的第") + std::to_string(number) + G("行 (名单共") +
             std::to_string(count) + G("行, 根值 ") + root + ")";
    case listtree::TProofVerdict::OutOfRange:
      return G("否: 名单共") + std::to_string(count) + G("行, 没有第") + std::to_string(number) +
             G("行");
    case listtree::TProofVerdict::Differs:
      return G("否: 证明不成立, 这一行不是根值为") + root + G("的名单的第") +
             std::to_string(number) + G("行");
    case listtree::TProofVerdict::Malformed:
      break;
  }
  return G("否: 证明文本或根值的格式不对");
}
