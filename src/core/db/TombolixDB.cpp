#include "core/db/TombolixDB.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace db {

std::string EngineMessage(sqlite3* h) {
  return text::Utf8ToGbk(h ? sqlite3_errmsg(h) : "out of memory");
}

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

TConnection::~TConnection() { Close(); }

void TConnection::Close() {
  if (m_db) {
    sqlite3_close_v2(m_db);
    m_db = nullptr;
  }
}

void TQuery::Close() {
  m_active = false;
  m_columns.clear();
  m_rows.clear();
  m_pos = 0;
}

const Value* TQuery::Field(std::string_view name) const {
  if (m_pos >= m_rows.size()) return nullptr;
  for (size_t i = 0; i < m_columns.size(); ++i) {
    if (SameName(m_columns[i], name)) return &m_rows[m_pos][i];
  }
  return nullptr;
}

int32_t TQuery::FieldAsInteger(std::string_view name) const {
  const Value* v = Field(name);
  if (!v) return 0;
  if (const auto* i = std::get_if<int64_t>(v)) return static_cast<int32_t>(*i);
  if (const auto* s = std::get_if<std::string>(v)) {
    int32_t n = 0;
    const std::string t = text::Trim(*s);
    if (!t.empty() && t[0] == '-' && text::ParseInt32(std::string_view(t).substr(1), n)) return -n;
    return text::ParseInt32(t, n) ? n : 0;
  }
  return 0;
}

std::string TQuery::FieldAsString(std::string_view name) const {
  const Value* v = Field(name);
  return v ? ValueText(*v) : std::string();
}

std::string TQuery::FieldText(int position) const {
  if (m_pos >= m_rows.size() || position < 0 || static_cast<size_t>(position) >= m_columns.size())
    return {};
  return ValueText(m_rows[m_pos][static_cast<size_t>(position)]);
}

std::string NotConnectedText() { return text::G("数据库未连接"); }

std::string ValueText(const Value& v) {
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  return {};
}

bool RunSql(TQuery& query, std::string_view statement, const Params& params, bool returnsRows,
            std::string& error) {
  query.Close();
  sqlite3* h = query.m_conn->Handle();
  if (!h) {
    error = NotConnectedText();
    return false;
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(h, statement.data(), static_cast<int>(statement.size()), &st, nullptr) !=
      SQLITE_OK) {
    error = EngineMessage(h);
    sqlite3_finalize(st);
    return false;
  }
  if (static_cast<size_t>(sqlite3_bind_parameter_count(st)) != params.size()) {
    error = text::G("参数个数不符");
    sqlite3_finalize(st);
    return false;
  }
  for (size_t i = 0; i < params.size(); ++i) {
    const int idx = static_cast<int>(i) + 1;
    int rc = SQLITE_OK;
    if (const auto* n = std::get_if<int64_t>(&params[i])) {
      rc = sqlite3_bind_int64(st, idx, *n);
    } else if (const auto* s = std::get_if<std::string>(&params[i])) {
      const std::string u8 = text::GbkToUtf8(*s);
      rc = sqlite3_bind_text(st, idx, u8.data(), static_cast<int>(u8.size()), SQLITE_TRANSIENT);
    } else {
      rc = sqlite3_bind_null(st, idx);
    }
    if (rc != SQLITE_OK) {
      error = EngineMessage(h);
      sqlite3_finalize(st);
      return false;
    }
  }
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
  const int nCols = sqlite3_column_count(st);
  for (int c = 0; c < nCols; ++c) columns.emplace_back(sqlite3_column_name(st, c));
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    std::vector<Value> row;
    row.reserve(static_cast<size_t>(nCols));
    for (int c = 0; c < nCols; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
          row.emplace_back(static_cast<int64_t>(sqlite3_column_int64(st, c)));
          break;
        case SQLITE_NULL:
          row.emplace_back(std::monostate{});
          break;
        default: {
          const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
          const int n = sqlite3_column_bytes(st, c);
          row.emplace_back(text::Utf8ToGbk(std::string_view(p ? p : "", static_cast<size_t>(n))));
        }
      }
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    error = EngineMessage(h);
    sqlite3_finalize(st);
    return false;
  }
  sqlite3_finalize(st);
  if (returnsRows) {
    query.m_columns = std::move(columns);
    query.m_rows = std::move(rows);
    query.m_active = true;
  }
  error.clear();
  return true;
}

bool OpenSql(TQuery& query, std::string_view statement, const Params& params, std::string& error) {
  return RunSql(query, statement, params, true, error);
}

bool ExecSql(TQuery& query, std::string_view statement, const Params& params, std::string& error) {
  return RunSql(query, statement, params, false, error);
}

bool ExecRaw(TConnection& connection, const char* statement, std::string& error) {
  if (!connection.Handle()) {
    error = NotConnectedText();
    return false;
  }
  char* msg = nullptr;
  if (sqlite3_exec(connection.Handle(), statement, nullptr, nullptr, &msg) != SQLITE_OK) {
    error = text::Utf8ToGbk(msg ? msg : sqlite3_errmsg(connection.Handle()));
    sqlite3_free(msg);
    return false;
  }
  return true;
}

}  // namespace db
