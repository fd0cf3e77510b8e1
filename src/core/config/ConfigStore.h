// Helpers shared by the task and prize item rules: the data module's queries, a group of
// statements that is written all or nothing, and the check of a number field.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/db/TombolixDB.h"

namespace config::detail {

// The data module's shared query, or null with the not-connected text in `error`.
db::TQuery* SharedQuery(std::string& error);
db::TQuery* TaskQuery(std::string& error);
db::TQuery* ItemQuery(std::string& error);

// Runs `statements` inside a savepoint on the data module's connection: when it returns
// false, or the release fails, everything it wrote is rolled back.
bool AllOrNothing(const std::function<bool(db::TQuery&, std::string&)>& statements,
                  std::string& error);

// Checks a trimmed number field: digits only and at most `max`. On failure `message` holds
// the operator's text naming the field by `label`.
bool NumberField(std::string_view trimmed, int32_t max, std::string_view utf8Label, int32_t& value,
                 std::string& message);

}  // namespace config::detail
