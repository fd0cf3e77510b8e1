// The openings of a task's draw: each new journal head written at set-up is one, numbered
// from 1. The count and the key of the last head are kept in the database (LuckTask), so
// deleting LUCK_FILE or its history does not reset them; each head names its number and
// the previous head's key, so the heads form a chain in which a deleted one leaves a gap.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/draw/DrawJournal.h"

// What the database holds of a task's openings: how many, and the key (JournalHeadKey) of
// the head the last one wrote (empty before the first).
struct TOpenings {
  int32_t Count = 0;
  std::string LastHead;
};

// Reads the task's openings; false with the error text (no database, no such task).
bool LoadOpenings(int32_t taskId, TOpenings& openings, std::string& error);

// Numbers the opening whose head is `head`: the next number after the database's count and
// the previous head's key go into the head, and the database takes the number and the key
// of the head's line before the head is written anywhere, so no head on disk is ever
// uncounted. False with the error text; then the head is left without a number.
bool CountOpening(TJournalHead& head, std::string& error);

// The Ready screen's line beside the commitment: "本任务第N次开启" (GBK); empty for a head
// without a number (a journal written before openings were counted).
std::string OpeningText(const TJournalHead& head);

// The line the audience can photograph before the draw, the same on the Ready screen and in
// the verifier's report (GBK): the list's fingerprint and its `lines`, the first 8 digits of
// the list's root `rootHex` (what a guest's phone and the notice show in full), for a draw of
// those checked in their fingerprint and number, the commitment, shortened, and the
// opening's number when the head has one.
std::string VoucherText(const TJournalHead& head, size_t lines, std::string_view rootHex);
