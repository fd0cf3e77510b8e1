// The full-screen draw from imported data. It shows what TDataDraw decides: Ready →
// Selecting → Rolling → Between batches … → Finished, driven by timers, never by a nested
// event loop.
#pragma once

#include <optional>
#include <vector>

#include "core/draw/DataDraw.h"
#include "gui/stage/DrawScreenBase.h"

class QFrame;
class QLabel;
class QTimer;
class QToolButton;
class TCelebration;
class TRevealCards;
class TScrollText;

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

  const TDataDraw& Engine() const { return m_engine; }
  bool Stopped() const { return m_engine.Stopped(); }
  bool Busy() const { return m_engine.Busy(); }
  bool MayClose() const { return m_engine.Stopped() && !m_engine.LeaveNeedsQuestion(); }

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
  // A batch of more than six: its whole lines, in columns.
  TScrollText* MLuckNow;
  // A batch of up to six: a card for each winner, with the photo when there is one.
  TRevealCards* CardsNow;
  // On the band before the first batch: the prize item that comes next and its gift.
  QLabel* LbNextItem;
  QLabel* LbNextGift;
  TCelebration* Celebration;
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
  std::vector<QLabel*> RollLabels;

 public slots:
  void SBeginClick();
  void SContinueClick();
  void SOutClick();
  void EKeyCtrlKeyPress();  // Enter
  void TMListTimer();
  void TMListNowTimer();
  void RollTick();
  // The roll's last frame has been seen: the batch is revealed, and with it the texts, the
  // winners list and the prize change.
  void ShowReveal();
  void ShowSummary();

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
  void LayoutChanged() override { LayoutPanels(); }
  QRect EnterArea() const override;
  QRect StageBand() const override;
  QRect BannerArea() const override;

 private:
  void StartBatch();
  void SelectWinners();
  void StopRoll();
  void ApplyReveal();
  void ShowNext(int itemIndex);
  void Celebrate();
  void ShowRollTexts(const std::vector<std::string>& texts);
  void HideRollLabels();
  void SyncWinnerList();
  void ShowListFrom(int row);
  void ShowPrize(int itemIndex);
  void SetShowList(const std::string& gbkText);
  void FormClose();
  void LayoutPanels();
  void LayoutReveal();
  void LayoutSummary();
  void FitRollLabels();
  bool Leave();
  bool SettleEarlierDraw(bool& resumed, TDataDraw::BatchEnd& end);
  void ShowResumed(const TDataDraw::BatchEnd& end);
  void ShowSaveResult(const TDataDraw::BatchEnd& end);
  void ShowJournalError();
  void ShowProof(bool shown);
  void ShowAudienceNumber();
  // Absent winners: Q opens the choice (↑↓ or the number in the batch, Enter, Esc); a click
  // on a winner in the list or on a card asks at once.
  void ShowHint();
  bool ChooseKey(int key);
  void ShowChoice();
  void EndChoice();
  void AskAbsent(size_t place);
  void StartReplacement();
  std::vector<size_t> RevealedPlaces() const;

  TDataDraw m_engine;
  bool m_closed = false;
  int m_listBaseTop = 1;
  int m_listShown = 0;           // winners list lines already handed to MUser2_1
  int m_listRevealed = 0;        // winners list lines of batches already revealed
  int m_listFirst = 0;           // first row of the winners list in view
  int m_listRows = 5;            // rows the winners list shows at once
  int m_crawlRow = 0;            // first row in view of a batch or summary taller than its panel
  bool m_revealPending = false;  // a batch has been stopped and is not shown yet
  TDataDraw::BatchEnd m_end;     // what the end of that batch decided
  std::vector<std::string> m_batchLines;  // candidate lines of the batch, in pick order
  bool m_celebrateBatch = false;
  std::string m_exhaustedText;
  QPixmap m_prizePicture;
  bool m_revealCrawls = false;
  bool m_summaryDue = false;          // the finish message has been answered
  bool m_choosing = false;            // Q was pressed: an absent winner is being chosen
  size_t m_choice = 0;                // the winner's place the choice stands on
  bool m_replacing = false;           // the batch being rolled or shown is a replacement
  bool m_lastWasReplacement = false;  // the cards show a replacement, not a batch
  size_t m_replacePlace = 0;
  int m_listGeneration = 0;  // the engine's list generation MUser2_1 shows
  int m_listDropped = 0;     // blank lines of the engine's list not handed to MUser2_1
  QTimer* TMReplace;         // a replacement's roll stops by itself
};
