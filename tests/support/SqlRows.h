// What a query answers, for tests that look into the database.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

// Each row of `sql` on the connection as its columns' texts joined by '|' (NULL as empty).
// A statement that does not prepare fails the test and has no rows.
std::vector<std::string> Rows(sqlite3* h, const std::string& sql);
