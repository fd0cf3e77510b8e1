// 作废 in the results window: a winner of a finished draw from a list is voided through the
// draw's engine, on the draw's record, and the place stays empty (a redraw happens only on the
// draw screen).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/draw/DrawSession.h"
#include "core/records/Records.h"

namespace query {

// Whether the results offer 作废: a task drawn from a list whose draw finished on the record
// (its finished journal is there); the engine has the last word.
bool MayVoidFromResults(const TLuckTask& task);

// The question asked before anything else when the winner already claimed the prize (GBK):
// "该中奖者已领奖（2026-12-10 20:31:05 结果查询），仍要作废?"
std::string ClaimedVoidQuestion(std::string_view time, std::string_view desk);
// The reason recorded for a winner who had claimed (the claim's time as on the claim record):
// the reason chosen, then "；已于 20:31 领奖（结果查询）", so the record says both.
std::string ClaimedVoidReason(std::string_view reason, std::string_view time,
                              std::string_view desk);
// The confirmation (GBK): "确定作废[一等奖] 13800000002 李四?\n原因：误抽\n名额将空缺，不再重抽。"
// where `shown` is the winner's line as the grid shows it.
std::string VoidConfirmText(std::string_view itemName, std::string_view shown,
                            std::string_view reason);
// What the window says once the void is on record: "已作废：[一等奖]
// 13800000002（误抽），名额空缺".
std::string VoidDoneText(std::string_view itemName, std::string_view id, std::string_view reason);

// Whether VoidFromResults would take the winner, asked before the operator chooses a reason:
// the same checks, nothing written. False with the engine's message (GBK).
bool CheckVoidFromResults(TDrawSession& session, int32_t taskId, int32_t itemId, int row,
                          std::string_view id, std::string& message);

// Voids the winner `id` (as on the list) of item `itemId`, shown as winner `row` (0 for the
// first) of the item's winner file, which tells two lines of one id apart, for `reason` at
// `time` (YYYY-MM-DD HH:MM:SS). The task's finished draw is opened again through its engine
// on `session`, the void goes into its journal with no redraw, and the draw's files are
// written again (the winner leaves the winner file for the item's void file). Afterwards
// `session` holds the task and its items as the results load them. False with the engine's
// message (GBK) and nothing changed when it cannot hold: an unfinished draw, a list or items
// changed since the draw, a winner voided already or not a winner of the item. Also false
// when the void is on record but the files could not be written (the next opening writes
// them), with the writer's text.
bool VoidFromResults(TDrawSession& session, int32_t taskId, int32_t itemId, int row,
                     std::string_view id, std::string_view reason, std::string_view time,
                     std::string& message);

}  // namespace query
