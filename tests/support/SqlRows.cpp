#include "SqlRows.h"

#include <gtest/gtest.h>

std::vector<std::string> Rows(sqlite3* h, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    std::string r;
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      if (c) r += "|";
      const unsigned char* t = sqlite3_column_text(st, c);
      r += t ? reinterpret_cast<const char*>(t) : "";
    }
    rows.push_back(r);
  }
  sqlite3_finalize(st);
  return rows;
}
