#include "core/records/ExampleTasks.h"

#include <cstdint>
#include <cstdio>

#include "core/db/TombolixDM.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

using text::G;

constexpr const char* kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                     "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗",
                                     "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹"};
constexpr const char* kGiven[] = {"伟",   "芳",   "娜",   "秀英", "敏",   "静",   "丽",   "强",
                                  "磊",   "军",   "洋",   "勇",   "艳",   "杰",   "娟",   "涛",
                                  "明",   "超",   "秀兰", "霞",   "平",   "刚",   "桂英", "晓东",
                                  "建华", "文博", "思远", "雨萱", "子涵", "浩然", "欣怡", "宇航"};
constexpr const char* kDepartments[] = {"市场部", "销售部", "研发部", "财务部",
                                        "人事部", "行政部", "客服部", "生产部"};
constexpr const char* kPrefixes[] = {"138", "139", "136", "150", "151", "158",
                                     "186", "187", "135", "177", "188", "132"};

template <typename T, size_t N>
constexpr size_t Count(T (&)[N]) {
  return N;
}

struct ItemSeed {
  const char* name;
  int luckCount;
  int listCount;
  const char* award;
};

bool InsertItems(db::TConnection& c, db::TQuery& q, int taskId, const ItemSeed* items, int n,
                 std::string& error) {
  for (int i = 0; i < n; ++i) {
    int itemId = 0;
    if (!db::AllocateId(c, q, db::kSeqItemId, itemId, error)) return false;
    const db::Params p = {int64_t{itemId},
                          G(items[i].name),
                          int64_t{taskId},
                          int64_t{items[i].luckCount},
                          int64_t{items[i].listCount},
                          G(items[i].award),
                          std::string(),
                          int64_t{i + 1}};
    if (!db::ExecSql(q, db::sql::kInsertItem, p, error)) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ExampleCandidates(int count) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(count));
  uint32_t state = 20261208u;
  auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int i = 0; i < count; ++i) {
    std::string phone = kPrefixes[next() % Count(kPrefixes)];
    // The running index in the last digits keeps every number distinct.
    const uint32_t middle = next() % 10000;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04u%04d", middle, i % 10000);
    phone += digits;
    std::string name = kSurnames[next() % Count(kSurnames)];
    name += kGiven[next() % Count(kGiven)];
    lines.push_back(phone + " " + G(name) + " " + G(kDepartments[next() % Count(kDepartments)]));
  }
  return lines;
}

bool SeedExampleTasks(db::TConnection& c, std::string& error) {
  db::TQuery q(c);

  // A party draw from a list of 200 staff phone numbers; the middle four digits are masked.
  int taskId = 0;
  if (!db::AllocateId(c, q, db::kSeqTaskId, taskId, error)) return false;
  db::Params task = {int64_t{taskId},
                     G("年会抽奖示例"),
                     std::string(),
                     int64_t{0},
                     G("2027新春年会幸运大抽奖"),
                     int64_t{36},
                     std::string("clYellow"),
                     G("按回车键开始，再按回车键停止"),
                     int64_t{4},
                     int64_t{7},
                     std::string(),
                     int64_t{0},
                     int64_t{0},
                     std::string(),
                     int64_t{0}};
  if (!db::ExecSql(q, db::sql::kInsertTask, task, error)) return false;
  const ItemSeed dataItems[] = {
      {"一等奖", 1, 1, "笔记本电脑"}, {"二等奖", 3, 3, "智能手机"}, {"三等奖", 10, 5, "蓝牙耳机"}};
  if (!InsertItems(c, q, taskId, dataItems, 3, error)) return false;
  const std::vector<std::string> lines = ExampleCandidates(200);
  const std::string dataPath = paths::DrawDataPath(taskId);
  if (!WriteDrawDataFile(dataPath, G("手机号码 姓名 部门"), lines, LongestIdLength(lines), error) ||
      !SaveListFingerprint(taskId, dataPath, error))
    return false;
  if (!db::ExecSql(q, db::sql::kUpdateDataFilePath, {dataPath, int64_t{taskId}}, error))
    return false;

  // A prize wheel: each press wins with LuckCount / 1000.
  if (!db::AllocateId(c, q, db::kSeqTaskId, taskId, error)) return false;
  task = {int64_t{taskId},
          G("幸运转盘示例"),
          std::string(),
          int64_t{0},
          G("幸运转盘 好礼等你拿"),
          int64_t{36},
          std::string("clWhite"),
          G("谢谢您的参与"),
          int64_t{1000},
          int64_t{0},
          std::string(),
          int64_t{1},
          int64_t{1},
          std::string(),
          int64_t{0}};
  if (!db::ExecSql(q, db::sql::kInsertTask, task, error)) return false;
  const ItemSeed probItems[] = {{"一等奖", 5, 5, "平板电脑"},
                                {"二等奖", 30, 30, "电影票两张"},
                                {"三等奖", 100, 100, "精美水杯"}};
  return InsertItems(c, q, taskId, probItems, 3, error);
}
