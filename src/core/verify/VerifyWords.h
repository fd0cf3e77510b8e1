// What tombolix-verify says, in the two languages it speaks: its report is written in
// Chinese (GBK, as every core text) and told in English on request, line by line; and its
// answer to a proof that a line is in a list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/records/ListTree.h"

enum class TVerifyLanguage { Chinese, English };

// A line of the check's report (GBK) in English (ASCII, the values it names kept as they
// are): the lines and phrases the check writes are translated whole, so a value (an id, a
// file name) is never taken apart; a phrase it does not know stays as it is.
std::string VerifyLineInEnglish(std::string_view gbkLine);

// The answer to a proof that `line` is line `number` of the list with `rootHex` (GBK):
// 是/否 and why, naming the number and the list's number of lines.
std::string ProofAnswer(listtree::TProofVerdict verdict, uint64_t number, uint64_t count,
                        std::string_view rootHex);
