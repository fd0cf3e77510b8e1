// Spreadsheet export of the winners: an xlsx workbook with one worksheet per prize item.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/records/Records.h"

// Writes one worksheet per prize item (or only `itemId` when it is 0 or more) whose winner
// file exists, in list order: A1 the item name (bold, centred, merged over the columns),
// row 2 the title line's fields as bold column heads, then one winner a row with each field
// in its own column (thin borders); all in 宋体 and text format so that long digit strings
// and leading zeros stay text. Each column is as wide as its widest cell. After them, when
// there are any: the sheet 缺席名单 (absent winners), and for a whole task (`itemId` below 0)
// the sheet 签到名单 (号码, 签到时间 of each check-in), the sheet 领奖名单 (号码, 奖项, 领取时间,
// 领奖台 of each claim of the exported items, which also get a 领奖 column), the sheet 作废名单
// (voided winners of the exported items, with 作废原因, 作废时间 and 重抽) and the sheet
// 抽奖凭证. The workbook
// is written beside `gbkPath` and renamed into place: a failure leaves no file and the
// previous one as it was. False with the error text on any failure.
bool ExportWinnersExcel(const TArrLuckItem& items, const TLuckTask& task, int itemId,
                        std::string_view gbkPath, std::string& error);

// Worksheet names for the given names (UTF-8), in order: at most 31 characters, none of
// : \ / ? * [ ], no apostrophe at either end, not empty, and unique regardless of case.
// Each stays as close to its name as it can: a bad character becomes '_', a long name is
// cut, a repeated one gets " (2)", " (3)", … .
std::vector<std::string> WorksheetNames(const std::vector<std::string>& utf8Names);

// Width of column A for a cell text of `gbkBytes` bytes: bytes + 2, at most 255.
double ColumnWidthFor(size_t gbkBytes);
