// The full-screen draw from imported data. Its inputs (keys, clicks, timers) go to its stage,
// TStage over the engine TDataDraw, and it applies the frame each one answers: it keeps the
// widgets, the timers and the painting, driven by timers, never by a nested event loop.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/draw/Console.h"
#include "core/draw/DataDraw.h"
#include "core/draw/Stage.h"
#include "gui/stage/DrawScreenBase.h"
#include "gui/stage/RevealCards.h"
#include "gui/stage/StageSound.h"
#include "gui/ui/SetUpScreen.h"

class QFrame;
class QLabel;
class QTimer;
class QToolButton;
class TBlankCover;
class TCelebration;
class TConsoleForm;
class TStageOverlay;
class TGrandPrize;
class TScrollText;
class TSphereStage;
namespace remote {
class THostRemote;
}

class TGetLuckMainForm : public TDrawScreenBase {
  Q_OBJECT
 public:
  // The screen works on `session` through its engine. `seed` replaces the system's random
  // secret of the draw (and the clock's seed of the generator), so that a draw can be
  // replayed exactly.
  explicit TGetLuckMainForm(TDrawSession& session, QWidget* parent = nullptr,
                            std::optional<uint32_t> seed = {});
  ~TGetLuckMainForm() override;

  // Loads the draw of `taskId` and prepares the screen; 1 when it may be shown. Failures are
  // shown.
  int SetUpDraw(int32_t taskId);

  // For tests: the engine under the stage, and the stage.
  const TDataDraw& Engine() const { return m_engine; }
  const TStage& Stage() const { return m_stage; }
  bool Stopped() const { return !m_stage.Busy(); }
  // The batch's winners are being fixed.
  bool Busy() const { return m_stage.Phase() == TStagePhase::Selecting; }
  bool MayClose() const { return m_stage.MayClose(); }

  // The host's phone: its buttons reach the stage through the same entry points as the keys
  // and clicks, on this thread, and it hears the stage's state after every move. Its pairing
  // ends when the screen closes. Null: no remote.
  void SetRemote(remote::THostRemote* remote);
  // What the main window knows of the room (claims, check-in, the phones), asked whenever
  // the console looks at the room.
  void SetRoomFacts(std::function<void(console::TRoom&)> facts) { m_roomFacts = std::move(facts); }

  // The operator's console on the main window's screen while the stage stands on another
  // (null on one screen); the projector's 黑屏 cover; the one screen's overlay (key I).
  TConsoleForm* Console() const { return m_console; }
  // What the stage told, as the console reads it.
  const console::TFeed& Feed() const { return m_feed; }
  QWidget* BlankCover() const;
  QLabel* Overlay() const;
  // The show's sound of the draw set up (null before): the M key mutes it, and the
  // operator's console may hold its switch (TSoundMute) while the screen is up.
  TStageSound* Sound() { return m_sound.get(); }

  QLabel* LbMain;
  QLabel* LbShowList;
  QLabel* HintList;
  QLabel* LGet;
  QLabel* IMGet;
  // Ready screen: the draw's proof (list fingerprint, candidates, commitment) and the
  // audience's number as it is typed.
  QLabel* LbProof;
  QLabel* LbAudience;
  QToolButton* SBegin;
  QToolButton* SContinue;
  QToolButton* SOut;
  QFrame* PLuckNow;
  // A batch of more than six: each winner's id and name, in columns.
  TScrollText* MLuckNow;
  // A batch of up to six: a card for each winner, with the photo when there is one.
  TRevealCards* CardsNow;
  // On the band before the first batch: the prize item that comes next and its gift.
  QLabel* LbNextItem;
  QLabel* LbNextGift;
  TCelebration* Celebration;
  TGrandPrize* PGrand;  // the grand prize's moment, over the whole screen
  QFrame* PUser2;
  TScrollText* MUser2_1;
  // The winners of every prize item, shown in the reveal's place once all are drawn.
  QFrame* PSummary;
  TScrollText* MSummary;
  // Steps the winners list by a whole line when it holds more than its panel shows.
  QTimer* TMList;
  // Steps a batch or a summary that is taller than its panel by a whole row.
  QTimer* TMListNow;
  QTimer* TMRoll;
  // How long the roll rests on the batch's first winner before the reveal.
  QTimer* TMLanding;
  // How long the last batch stays revealed before the summary takes its place.
  QTimer* TMSummary;
  QTimer* TMRemote;
  std::vector<QLabel*> RollLabels;

 public slots:
  void SBeginClick();
  void SContinueClick();
  void SOutClick();
  void EKeyCtrlKeyPress();  // Enter
  void TMListTimer();
  void TMListNowTimer();
  void RollTick();
  // The landing's timer: the batch is revealed, and with it the texts, the winners list and
  // the prize change.
  void ShowReveal();
  // The summary's timer: every winner in the reveal's place.
  void ShowSummary();
  // Hands the remote's waiting inputs to the stage.
  void DrainRemote();

 signals:
  // The batch's winners are chosen and the roll has started.
  void rollingStarted();

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void reject() override;
  void done(int r) override;
  void EnterPressed() override { EKeyCtrlKeyPress(); }
  bool OtherKeyPressed(const QKeyEvent* e) override;
  bool PriorityKeyPressed(const QKeyEvent* e) override;
  void LayoutChanged() override {
    LayoutPanels();
    ShowOverlay();
  }
  QRect EnterArea() const override;
  QRect StageBand() const override;
  QRect BannerArea() const override;

 private:
  // Applies a frame of the stage, and what follows it.
  void Run(TStageFrame f);
  // Applies the frame; `then` runs once its messages are told (never when the frame asks a
  // question or closes the screen).
  void Apply(const TStageFrame& f, std::function<void()> then);
  // Tells messages[from, to) one after the other, without waiting in a nested loop, then
  // runs `then`.
  void Tell(const std::vector<TStageMessage>& messages, size_t from, size_t to,
            std::function<void()> then);
  // Asks the frame's question; its answer goes to the stage.
  void Ask(const TStageFrame& f);
  void ShowStart();
  // F2: the operator's window for a change to the plan; F3: for a void. Their values go to
  // the stage, which refuses them (a message) when the draw cannot take them now.
  void OpenPlanChange();
  void OpenVoid();
  // Shows an operator's window off the stage (WA_DeleteOnClose, window-modal).
  void ShowOperatorDialog(QDialog* d);
  // A change holds: the cards make way for the band that says it.
  void ShowChange(const TStageFrame& f);
  void SelectWinners();
  void ShowRoll(const TStageFrame& f);
  void ShowBatch(const TStageFrame& f, std::function<void()> then);
  void ShowCards(const TStageReveal& reveal);
  // The reveal's cards, with their photos.
  std::vector<TStageCard> CardsOf(const TStageReveal& reveal) const;
  // Draws the landing's reveal ahead while the roll rests, on the grand prize's screen too
  // when it is the grand prize's.
  void PrepareReveal(const TStageReveal& reveal);
  void ShowSummaryPanel(const TStageFrame& f);
  void Celebrate();
  // The draw's last winners on the whole screen (a grand reveal), and gone again; not
  // `shown`: drawn ahead only.
  void ShowGrand(const TStageReveal& reveal, bool shown = true);
  void HideGrand();
  // The band's texts before the first batch; none: the band has no text.
  void ShowNext(const std::optional<TStageBand>& band);
  void ShowRollTexts(const std::vector<std::string>& texts);
  void HideRollLabels();
  // The winners list's lines as revealed, and the bytes of its widest winner line.
  void ShowWinnerList(const std::vector<std::string>& listLines, size_t widest);
  // `text` (the batch or the summary) steps by a row on TMListNow.
  void Crawl(TScrollText* text);
  void ShowChoice(const TStageFrame& f);
  // Out of the choice: no card or line of the batch is marked.
  void EndChoiceMarks();
  void ShowListFrom(int row);
  void ShowPrize(int itemIndex, const std::string& gbkText);
  void SetShowList(const std::string& gbkText);
  void SetHint(const std::string& gbkText);
  void FormClose();
  void LayoutPanels();
  void LayoutReveal();
  void LayoutSummary();
  void ShowProof(bool shown, const std::string& gbkText);
  void ShowAudienceNumber(const std::string& gbkText);
  // After each frame: the cover, the console and the overlay follow the stage.
  void FrameShown();
  // The console opens when the stage stands on another screen than the main window's.
  void OpenConsole();
  // The room as the console shows it: the machine, the phones, the main window's facts.
  console::TRoom Room() const;
  void ShowOverlay();

  TDataDraw m_engine;
  // The screen's phase and rules; the window applies what it answers.
  TStage m_stage{m_engine};
  bool m_setUp = false;   // the engine holds the task: closing empties the session
  bool m_closed = false;  // done: frames still on their way show nothing
  remote::THostRemote* m_remote = nullptr;
  int m_listBaseTop = 1;
  int m_listFirst = 0;  // first row of the winners list in view
  int m_listRows = 5;   // rows the winners list shows at once
  int m_crawlRow = 0;   // first row in view of a batch or summary taller than its panel
  QPixmap m_prizePicture;
  bool m_revealCrawls = false;
  TScrollText* m_crawling = nullptr;  // what TMListNow steps
  QStringList m_listLines;            // the winners list as last revealed
  size_t m_listWidest = 0;
  std::vector<TItemSummary> m_summary;  // the summary's items once it shows
  QStringList m_revealLines;            // a batch too large for cards, as revealed
  TStageReveal m_landed;                // the reveal the roll rests on, and its cards drawn ahead
  std::vector<TStageCard> m_landedCards;
  // 名单球: the roll as a sphere of cards in the labels' place; null for 滚动号码.
  std::unique_ptr<TSphereStage> m_sphere;
  // What the stage told, for the console and the overlay; it watches the session while the
  // screen lives.
  console::TFeed m_feed;
  TSessionWatch m_watch;
  std::function<void(console::TRoom&)> m_roomFacts;
  TConsoleForm* m_console = nullptr;
  TBlankCover* m_cover = nullptr;
  TStageOverlay* m_overlay = nullptr;
  bool m_overlayAsked = false;           // the operator pressed I; dropped when a batch starts
  TDrawSession& m_watched;               // the engine's session, which the sound watches
  std::unique_ptr<TStageSound> m_sound;  // after the engine: it watches the session
};
