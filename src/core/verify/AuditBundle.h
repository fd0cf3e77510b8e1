// The audit of a finished draw, for the organiser and for anyone who checks it: a short
// report (fingerprints, commitment, secret, the audience's number, seed, program version)
// and a bundle (one zip) of every file tombolix-verify needs.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/records/Records.h"

// GBK label and value pairs, in the order shown.
using TAuditRows = std::vector<std::pair<std::string, std::string>>;

// The report of the task's finished draw (LUCK_FILE/JOURNAL_<TaskId>_DONE.txt of the
// current data root). False with the error text when there is none, or it was drawn
// before draws could be checked.
bool AuditReport(const TLuckTask& task, TAuditRows& rows, std::string& error);

// The report as a text file: "label: value" lines, GBK, CR LF.
std::string AuditReportText(const TAuditRows& rows);

// The bundle's entry of the report (UTF-8 name) and the sheet name in the xlsx export.
inline constexpr const char* kAuditReportEntry = "抽奖凭证.txt";
inline constexpr const char* kAuditSheetName = "抽奖凭证";
// A draw with rules also bundles its rules text (FormatRules, GBK) and the excluded ids (one
// a line, LF), the bytes their fingerprints are taken of.
inline constexpr const char* kAuditRulesEntry = "抽奖规则.txt";
inline constexpr const char* kAuditExcludedEntry = "排除名单.txt";
// A draw of those checked in: their ids as fingerprinted (each followed by LF).
inline constexpr const char* kAuditCheckinEntry = "签到名单.txt";

// Writes the bundle of the task's finished draw to `gbkZipPath` (atomically): the draw data
// file as DATA_FILE/<TaskId>.txt, the prize items' preset files, the finished journal, the
// winner files, the draw's claim file when prizes were claimed, each under the name it has in
// a data folder, the heads of the task's other openings (OPENINGS_<TaskId>.txt), the report,
// and for a draw with
// rules its rules and excluded ids. False with
// the error text; nothing is written then.
bool WriteAuditBundle(const TLuckTask& task, std::string_view gbkZipPath, std::string& error);
