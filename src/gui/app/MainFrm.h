// The main window: the list of draw tasks and the buttons that open every other window.
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include "core/config/TaskList.h"
#include "core/config/TaskState.h"
#include "core/draw/DrawSession.h"
#include "gui/config/TaskListHost.h"
#include "gui/ui/SetUpScreen.h"

class QLabel;
class QStatusBar;
class TCheckinFrm;
namespace spare {
class TAutoRelay;
}
class TCheckinService;
class TSpareFollowFrm;
class QTableWidget;
class QToolButton;

class TMainForm : public QMainWindow, public TTaskListHost {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Reloads the task list from LuckTask, refills LVHeaders from it and selects the first
  // unfinished draw that can go on, else the first row. On failure the list keeps its rows.
  void LoadTaskList();
  // Refills the draw type, candidates and state columns from the tasks' files, keeping the
  // rows and the selection: after every window the main window opened. The states read
  // (empty when they could not be).
  std::vector<config::TTaskState> RefreshTaskStates();
  // Selects the row at `index` (none for -1).
  void SelectRow(int index);
  // The selected task, or null.
  const config::TTaskRow* SelectedTask() const;

  QWidget* HostWindow() override { return this; }
  const config::TTaskList& Tasks() const override { return m_tasks; }
  int SelectedTaskIndex() const override { return SelectedRow(); }
  void TasksChanged(int32_t taskId) override;

  // LVHeaders' columns: the three shown and the stored draw type (zero wide), then the state.
  static constexpr int kOrderByColumn = 3;
  static constexpr int kDrawTypeColumn = 4;
  static constexpr int kCandidatesColumn = 5;
  static constexpr int kStateColumn = 6;
  static constexpr int kColumnCount = 7;

  // The window's designed size; the banner comes pre-rendered at its width.
  static constexpr int kDesignedWidth = 730;
  static constexpr int kDesignedHeight = 510;
  // The banner's upper band, `width` wide: its art with the program's caption.
  static QPixmap RenderBannerHead(int width);
  // The band of the big buttons, `width` wide.
  static QPixmap RenderBannerTools(int width);
  // The pictures the window shows at start, at their sizes: the program ships them
  // pre-rendered (with the banner's upper band, "main_head"), so none is drawn then.
  static std::vector<std::pair<QString, QSize>> ShippedArt();

  void SetDrawScreenFactory(DrawScreenFactory f) { m_drawFactory = std::move(f); }
  void SetQueryScreenFactory(QueryScreenFactory f) { m_queryFactory = std::move(f); }
  void SetConfigWindowOpener(ConfigWindowOpener f) { m_configOpener = std::move(f); }

  QLabel* ImageHead;
  QToolButton* SBtnAbout;
  QToolButton* SBtnHelp;
  QToolButton* SBtnShowCheck;
  QLabel* Image1;
  QToolButton* SBtnGetLuck;
  QToolButton* SBtnConfig;
  QToolButton* SBtnQuery;
  QToolButton* SBtnCheckin;
  QToolButton* SBtnExit;
  QToolButton* SBtnExportPackage;
  QToolButton* SBtnImportPackage;
  QToolButton* SBtnSpare;
  QToolButton* SBtnWriteRelay;
  QToolButton* SBtnTakeOver;
  QTableWidget* LVHeaders;
  QStatusBar* StBMain;

 public slots:
  void FormCreate();
  void SBtnGetLuckClick();
  void SBtnConfigClick();
  void SBtnQueryClick();
  void SBtnCheckinClick();
  void SBtnHelpClick();
  // 开场前检查 of the selected task.
  void SBtnShowCheckClick();
  // 导出活动包 of the selected task, 导入活动包 of a package file: the spare laptop's copy.
  void SBtnExportPackageClick();
  void SBtnImportPackageClick();
  void SBtnSpareClick();
  void SBtnWriteRelayClick();
  void SBtnTakeOverClick();
  void SBtnAboutClick();
  void SBtnExitClick();

 protected:
  void resizeEvent(QResizeEvent* e) override;
  // Keeps the window's place for the next start.
  void closeEvent(QCloseEvent* e) override;

 private:
  // The draw's automatic relay package when the task has a folder for it; null when not.
  std::unique_ptr<spare::TAutoRelay> StartAutoRelay(int32_t taskId);
  // A line for the operator in the status bar, never on the stage.
  void OperatorStatus(const QString& text);
  int SelectedRow() const;
  void PlaceWindow();
  void PlaceBannerButtons();
  void PaintBanner();

  config::TTaskList m_tasks;
  // The task the configuration window saved last while it is open.
  int32_t m_savedTaskId = 0;
  DrawScreenFactory m_drawFactory;
  QueryScreenFactory m_queryFactory;
  ConfigWindowOpener m_configOpener;
  // The program's one draw session, lent to the draw screen or results window that is open.
  TDrawSession m_drawSession;
  // The check-in of one task on the LAN, off until the operator starts it; and its window.
  std::unique_ptr<TCheckinService> m_checkin;
  TCheckinFrm* m_checkinFrm = nullptr;
  TSpareFollowFrm* m_spareFrm = nullptr;

 public:
  // The check-in service (made on first use).
  TCheckinService& Checkin();
  TCheckinFrm* CheckinWindow() const { return m_checkinFrm; }
  // At the program's start: the LAN server a task had running when the program last ended
  // (closed, killed or crashed) starts again on its address and port; a failure is told.
  void RestoreCheckin();

 private:
  int m_bannerWidth = 0;  // the width the banner was painted for
};
