// The full-screen draw from imported data. It shows what TDataDraw decides: Ready →
// Selecting → Rolling → Between batches … → Finished, driven by timers, never by a nested
// event loop.
#pragma once

#include <optional>
#include <vector>

#include "draw/DataDraw.h"
#include "draw/DrawScreenBase.h"

class QFrame;
class QLabel;
class QTimer;
class QToolButton;
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
  TScrollText* MLuckNow;
  QFrame* PUser2;
  TScrollText* MUser2_1;
  // The winners of every prize item, shown in the reveal's place once all are drawn.
  QFrame* PSummary;
  TScrollText* MSummary;
  QTimer* TMList;
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
  // The roll's last frame has been seen: the batch is revealed.
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
  QRect StageBand() const override { return QRect(0, 286, 1016, 106); }

 private:
  void StartBatch();
  void SelectWinners();
  void StopRoll();
  void FinishBatch();
  void ShowRollTexts(const std::vector<std::string>& texts);
  void HideRollLabels();
  void SyncWinnerList();
  void ShowPrize(int itemIndex);
  void SetShowList(const QString& text, const QColor& colour);
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

  TDataDraw m_engine;
  bool m_closed = false;
  int m_listBaseTop = 1;
  int m_listShown = 0;  // winners list lines already handed to MUser2_1
  std::string m_exhaustedText;
  QPixmap m_prizePicture;
  bool m_revealCrawls = false;
  bool m_summaryDue = false;  // the finish message has been answered
};
