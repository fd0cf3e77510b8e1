// The database layer: one SQLite connection, query objects that hold a complete result,
// and the statements of the system, each with its values bound as parameters. Texts cross
// this layer as GBK and are stored as UTF-8.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;

namespace db {

// A bound parameter or a field value: NULL, an integer or a GBK text.
using Value = std::variant<std::monostate, int64_t, std::string>;
using Params = std::vector<Value>;

class TConnection {
 public:
  TConnection() = default;
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;
  ~TConnection();

  bool Connected() const { return m_db != nullptr; }
  sqlite3* Handle() const { return m_db; }
  void Close();

 private:
  friend bool ConnectDatabase(TConnection&, std::string_view, std::string_view, std::string&);
  sqlite3* m_db = nullptr;
};

// A query object. Each statement run on it replaces its previous result, which is read in
// full when the statement runs, so the record count is known at once.
class TQuery {
 public:
  explicit TQuery(TConnection& connection) : m_conn(&connection) {}

  bool Active() const { return m_active; }
  void Close();

  int RecordCount() const { return static_cast<int>(m_rows.size()); }
  void First() { m_pos = 0; }
  void Next() {
    if (m_pos < m_rows.size()) ++m_pos;
  }
  bool Eof() const { return m_pos >= m_rows.size(); }

  // Fields of the current row. By name (case-insensitive) or by 0-based position.
  int32_t FieldAsInteger(std::string_view name) const;
  std::string FieldAsString(std::string_view name) const;  // GBK
  std::string FieldText(int position) const;               // text form of the value

 private:
  friend bool RunSql(TQuery&, std::string_view, const Params&, bool, std::string&);
  const Value* Field(std::string_view name) const;

  TConnection* m_conn;
  bool m_active = false;
  std::vector<std::string> m_columns;
  std::vector<std::vector<Value>> m_rows;
  size_t m_pos = 0;
};

// The engine's message for the handle (GBK); "out of memory" without one.
std::string EngineMessage(sqlite3* handle);

// Runs one statement; the error text is emptied on success and holds the engine's message on
// failure, with the query left closed.
bool RunSql(TQuery& query, std::string_view statement, const Params& params, bool returnsRows,
            std::string& error);
bool OpenSql(TQuery& query, std::string_view statement, const Params& params, std::string& error);
bool ExecSql(TQuery& query, std::string_view statement, const Params& params, std::string& error);

// The error text of every database call made without a connection.
std::string NotConnectedText();

// Text form of a value as the database gives it: integers in decimal, NULL as empty.
std::string ValueText(const Value& v);

// Runs a transaction-control or schema statement with no parameters and no result.
bool ExecRaw(TConnection& connection, const char* statement, std::string& error);

// Every statement the system issues.
namespace sql {
inline constexpr std::string_view kSelectSequence = " select SeqId from Sequence where SeqType= ?";
inline constexpr std::string_view kInsertSequence = "insert into Sequence values(?,1002, 'TaskId')";
inline constexpr std::string_view kUpdateSequence = " update Sequence set SeqId=? where SeqType= ?";
inline constexpr std::string_view kSelectTaskList =
    " select TaskName, MainTitle, TaskId,OrderBy from LuckTask ";
// The draw data file of every task, for the list's state columns.
inline constexpr std::string_view kSelectTaskDataPaths =
    "select TaskId, DataFilePath from LuckTask";
inline constexpr std::string_view kSelectTask =
    " select TaskId,TaskName,MainImageName,IdType,MainTitle,FontSize "
    ",FontColor,RemainText,HideBegin,HideEnd,PassWd,OrderBy,DataFilePath,LuckAgain,MusicFilePath,"
    "ShowLuck  from LuckTask where TaskId= ?";
inline constexpr std::string_view kSelectItems =
    " select ItemId ,ItemName,TaskId,LuckCount,ListCount,AwardName,AwardImageName "
    " from TaskItem where TaskId= ? order by ListIndex ";
inline constexpr std::string_view kSelectItemByName =
    "select ItemId, ItemName, TaskId, LuckCount, ListCount, AwardName, AwardImageName, ListIndex "
    "from TaskItem where ItemName= ? and TaskId= ?";
inline constexpr std::string_view kInsertTask =
    "insert into LuckTask (TaskId, TaskName, MainImageName, IdType, MainTitle, FontSize, "
    "FontColor, RemainText, HideBegin, HideEnd, PassWd, OrderBy, DataFilePath, LuckAgain, "
    "MusicFilePath, ShowLuck) values (?,?,?,?,?,?,?,?,?,?,?,?,'',?,?,?)";
inline constexpr std::string_view kUpdateTask =
    "update LuckTask set TaskName=?, MainImageName=?, IdType=?, MainTitle=?, FontSize=?, "
    "FontColor=?, RemainText=?, HideBegin=?, HideEnd=?, OrderBy=?, DataFilePath=?, LuckAgain=?, "
    "PassWd=?, MusicFilePath=?, ShowLuck=? where TaskId=?";
inline constexpr std::string_view kDeleteTask = "delete from LuckTask where TaskId=?";
inline constexpr std::string_view kDeleteTaskItems = "delete from TaskItem where TaskId=?";
inline constexpr std::string_view kUpdateDataFilePath =
    "update LuckTask set DataFilePath = ? where TaskId =?";
inline constexpr std::string_view kInsertItem =
    "insert into TaskItem (ItemId, ItemName, TaskId, LuckCount, ListCount, AwardName, "
    "AwardImageName, ListIndex) values (?,?,?,?,?,?,?,?)";
inline constexpr std::string_view kUpdateItem =
    "update TaskItem set ItemName=?, LuckCount=?, ListCount=?, AwardName=?, AwardImageName=? "
    "where TaskId=? and ItemId=?";
inline constexpr std::string_view kUpdateItemIndex =
    "update TaskItem set ListIndex=? where TaskId=? and ItemName=?";
inline constexpr std::string_view kDeleteItem = "delete from TaskItem where TaskId=? and ItemId=?";
inline constexpr std::string_view kCountItemsNamed =
    "select count(*) as Named from TaskItem where TaskId=? and ItemName=? and ItemId<>?";
inline constexpr std::string_view kSelectTaskRules = "select Rules from LuckTask where TaskId=?";
inline constexpr std::string_view kSelectItemRules =
    "select ItemId, Rules from TaskItem where TaskId=? order by ItemId";
inline constexpr std::string_view kUpdateTaskRules = "update LuckTask set Rules=? where TaskId=?";
inline constexpr std::string_view kSelectCheckinOnly =
    "select CheckinOnly from LuckTask where TaskId=?";
inline constexpr std::string_view kUpdateCheckinOnly =
    "update LuckTask set CheckinOnly=? where TaskId=?";
inline constexpr std::string_view kSelectStageColumns =
    "select StageColumns from LuckTask where TaskId=?";
inline constexpr std::string_view kUpdateStageColumns =
    "update LuckTask set StageColumns=? where TaskId=?";
inline constexpr std::string_view kSelectStageKeys =
    "select StageKeys from LuckTask where TaskId=?";
inline constexpr std::string_view kUpdateStageKeys =
    "update LuckTask set StageKeys=? where TaskId=?";
inline constexpr std::string_view kUpdateItemRules =
    "update TaskItem set Rules=? where TaskId=? and ItemId=?";
}  // namespace sql

}  // namespace db
