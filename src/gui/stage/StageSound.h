// The show's sound on the draw screen: an observer of the draw session that hears the
// stage's states, asks core which cue sounds (TCueChooser) and has it played. Playing never
// holds a key: the players live on a thread of their own (with the module tombolix_music,
// loaded there), and every request is posted to it. A missing module, a missing or broken
// file, or a sound device that is slow or absent leave the draw silent, never stopped.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "core/draw/DrawSession.h"
#include "core/draw/SoundCues.h"

class TStageSound : public TStageObserver, public TSoundMute {
 public:
  // Prepares the players of `sounds` and watches `session` while it lives.
  TStageSound(TSoundSettings sounds, TDrawSession& session);
  ~TStageSound() override;
  TStageSound(const TStageSound&) = delete;
  TStageSound& operator=(const TStageSound&) = delete;

  void Revealed(const TRevealedList&) override {}
  void Moved(const TStageState& state) override;

  bool Muted() const override { return m_muted; }
  void SetMuted(bool muted) override;
  void ToggleMute() { SetMuted(!m_muted); }
  // Everything stops (the screen closes).
  void Stop();

  // What the stage chose so far, in order, whether or not it could sound: the one-shot cues
  // and the loops started.
  const std::vector<TSoundCue>& Shots() const { return m_shots; }
  const std::vector<TSoundPlay>& Loops() const { return m_loops; }
  // The requests handed to the players (a cue with a sound, not muted).
  int Sent() const { return m_sent; }

 private:
  void Start(const TSoundPlay& play);

  TSoundSettings m_sounds;
  TCueChooser m_chooser;
  TSessionWatch m_watch;
  std::optional<TSoundPlay> m_loop;  // the loop of the moment, sounding unless muted
  bool m_muted = false;
  std::vector<TSoundCue> m_shots;
  std::vector<TSoundPlay> m_loops;
  int m_sent = 0;
};

// How many players the sound thread has made this run (the module found and a file opened
// for a cue or a preview): what a test can see of a sound it cannot hear.
int SoundPlayersMade();

// The configuration window's 试听: plays `sound` once on the sound thread, in place of the
// one before; a sound that is not set stops it.
void PreviewSound(const TCueSound& sound);
