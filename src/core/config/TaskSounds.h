// The task's 音效: a file and a volume for each cue of the show (core/draw/SoundCues.h) and
// the items' own pieces. The roll loop's file is the task's background music
// (LuckTask.MusicFilePath), so an older program and the event package still play it; the
// rest lives in a table of its own, made on the first save, which an older program passes
// over. A task never saved with sounds sounds as it always did (LegacySounds).
#pragma once

#include <cstdint>
#include <string>

#include "core/draw/SoundCues.h"
#include "core/records/Records.h"

namespace config {

// The sounds of `task` (its row as loaded, for the roll loop's file). False with a GBK error
// when the database fails; `out` is then the task's legacy sounds.
bool LoadTaskSounds(const TLuckTask& task, TSoundSettings& out, std::string& error);
// Stores the sounds of task `taskId`, all or nothing: the roll loop's file as the task's
// background music, the volumes clamped to 0 … 100, paths trimmed. False with a GBK error
// and nothing changed.
bool SaveTaskSounds(int32_t taskId, const TSoundSettings& sounds, std::string& error);
// Removes the task's sounds (its task was deleted). False with a GBK error.
bool DeleteTaskSounds(int32_t taskId, std::string& error);

}  // namespace config
