// The results window: the prize items of the current draw task, the winners of the selected
// one (and, struck through below them, those marked absent or voided), a search in them, the
// export to a text file or a workbook, a claim and a void of the selected winner.
#pragma once

#include <QDialog>
#include <QRect>
#include <memory>
#include <vector>

#include "core/draw/DrawSession.h"
#include "core/records/WinnerFiles.h"
#include "core/results/QueryRules.h"
#include "gui/ui/DesignLayout.h"
#include "gui/ui/SetUpScreen.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class QToolButton;

class TQueryForm : public QDialog {
  Q_OBJECT
 public:
  // The window loads its task into `session`.
  explicit TQueryForm(TDrawSession& session, QWidget* parent = nullptr);

  // Loads the task `taskId` and its prize items and shows the first item's winners; 1 when
  // the window is to be shown. A failure has shown its message.
  int SetUpQuery(int32_t taskId);
  // The claim desk the check-in service holds for the task, which 领取 records through; null
  // (none held) makes 领取 read and write the results' claims alone.
  void SetClaimDesk(std::shared_ptr<claims::TClaimDesk> desk) { m_claims = std::move(desk); }
  // LBItem := the names of the current prize items; the first is selected.
  void FillItemList();
  // The grid := the winner file of the selected prize item (head row 0, at most 1000 rows),
  // LbCount := the number of winners or the reader's advice text.
  void ShowItemWinners();
  // Selects the next winner after the selected row, wrapping once, with a field that holds
  // EdtFindId's text (Latin letters in any case); "未找到" when there is none.
  void FindWinner();

  QLabel* PItem;
  QLabel* PTitle;
  QListWidget* LBItem;
  QTableWidget* SGLuckId;
  QLabel* LbCount;
  QLabel* Label1;
  QLineEdit* EdtFindId;
  QToolButton* SBFind;
  QCheckBox* CBOnly;
  QPushButton* BitBtn2;
  QPushButton* BitBtn1;
  // The audit bundle of a finished draw, for tombolix-verify.
  QPushButton* BtnAudit;
  // Records the prize of the selected winner as claimed (a winner without a phone).
  QPushButton* BtnClaim;
  // Voids the selected winner of a draw from a list (作废), on the draw's record.
  QPushButton* BtnVoid;
  QPushButton* BtnNotice;
  QPushButton* BtnCloseBase;

 public slots:
  void LBItemClick();
  void EdtFindIdKeyPress();
  void SBFindClick();
  void BitBtn1Click();
  void BitBtn2Click();
  void BtnAuditClick();
  void BtnClaimClick();
  void BtnVoidClick();
  void BtnCloseBaseClick();

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void ExportWinners(query::ExportKind kind);
  // The head row is shown as the grid's column heads, which stay in view while scrolling.
  void ShowHeadRow();
  // Adds the item's absent winners, marked, below its winners.
  void ShowAbsent(const TLuckItem& item);
  // Adds the item's voided winners, struck through, below the winners and absent winners,
  // with when and why in a column of their own.
  void ShowVoids(const TLuckItem& item);
  // The check-in column for the first `count` winner rows.
  void ShowCheckins(int count);
  // The 领取 column (time and desk) for the first `count` winner rows of `item`.
  void ShowClaims(const TLuckItem& item, int count);
  // 颁奖方式: 指定 beside each winner a named award was handed to.
  void ShowNamed(const TLuckItem& item, int count);
  // The first column after the winners' fields that no head names, made when missing.
  int FreeColumn(int width);
  // Each column as wide as its head and texts; when they are wider than the grid together,
  // the widest give way (their texts cut short), so the marks at the right (缺席, 签到,
  // 领取) stay in view without scrolling sideways.
  void FitColumns();

  TDrawSession& m_session;
  std::shared_ptr<claims::TClaimDesk> m_claims;
  TDesignLayout m_layout;
  // The winners and absent winners the grid shows, which 查找 searches.
  TWinnerFile m_winners;
  TAbsentFile m_absent;
  // The voided winners shown, and the grid row of the first (-1: none).
  TVoidFile m_voids;
  int m_voidRow = -1;
};

// The results window as the main window opens it.
std::unique_ptr<TSetUpScreen> MakeQueryScreen(QWidget* owner, TDrawSession& session);
