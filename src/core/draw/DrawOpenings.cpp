#include "core/draw/DrawOpenings.h"

#include "core/db/TombolixDM.h"
#include "core/text/Gbk.h"

namespace {

db::TQuery* SharedQuery(std::string& error) {
  if (!TombolixDataModule) {
    error = db::NotConnectedText();
    return nullptr;
  }
  return &TombolixDataModule->ARryPub;
}

}  // namespace

bool LoadOpenings(int32_t taskId, TOpenings& openings, std::string& error) {
  openings = TOpenings();
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, "select Openings, LastHead from LuckTask where TaskId=?",
                         {int64_t{taskId}}, error))
    return false;
  q->First();
  if (q->Eof()) {
    error = text::G("不存在该抽奖任务,任务号=") + std::to_string(taskId);
    return false;
  }
  openings.Count = static_cast<int32_t>(q->FieldAsInteger("Openings"));
  openings.LastHead = q->FieldAsString("LastHead");
  error.clear();
  return true;
}

bool CountOpening(TJournalHead& head, std::string& error) {
  head.Opening = 0;
  head.PrevHead.clear();
  TOpenings was;
  if (!LoadOpenings(head.TaskId, was, error)) return false;
  if (was.Count < 0 || was.Count >= INT32_MAX) {
    error = text::G("数据库中抽奖任务") + std::to_string(head.TaskId) + text::G("的开启次数无效");
    return false;
  }
  TJournalHead numbered = head;
  numbered.Opening = was.Count + 1;
  numbered.PrevHead = was.Count > 0 ? was.LastHead : std::string();
  const std::string key = JournalHeadKey(FormatJournalHead(numbered));
  db::TQuery* q = SharedQuery(error);
  // Only over the count just read: a second writer cannot give two heads one number.
  if (!q || !db::ExecSql(
                *q, "update LuckTask set Openings=?, LastHead=? where TaskId=? and Openings=?",
                {int64_t{numbered.Opening}, key, int64_t{head.TaskId}, int64_t{was.Count}}, error))
    return false;
  TOpenings now;
  if (!LoadOpenings(head.TaskId, now, error)) return false;
  if (now.Count != numbered.Opening || now.LastHead != key) {
    error = text::G("无法记录抽奖任务") + std::to_string(head.TaskId) + text::G("的开启次数");
    return false;
  }
  head = std::move(numbered);
  return true;
}

std::string VoucherText(const TJournalHead& h, size_t lines, std::string_view rootHex) {
  using text::G;
  std::string v = G("抽奖凭证  名单 ") + h.DataHash.substr(0, 12) + "  " + std::to_string(lines) +
                  G("人  根值 ") + std::string(rootHex.substr(0, 8)) + "  ";
  if (h.CheckinOnly)
    v += G("签到 ") + h.PresentHash.substr(0, 8) + "  " + std::to_string(h.Present.size()) +
         G("人  ");
  v += G("承诺 ") + h.Commit.substr(0, 16);
  if (h.Opening > 0) v += "  " + OpeningText(h);
  return v;
}

std::string OpeningText(const TJournalHead& head) {
  if (head.Opening <= 0) return {};
  return text::G("本任务第") + std::to_string(head.Opening) + text::G("次开启");
}
