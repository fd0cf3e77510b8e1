// The main window: the list of draw tasks and the buttons that open every other window.
#pragma once

#include <QMainWindow>

#include "app/SetUpScreen.h"
#include "draw/DrawSession.h"

class QLabel;
class QStatusBar;
class QTableWidget;
class QToolButton;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);

  // Refills LVHeaders from LuckTask and selects the first row.
  void LoadTaskList();

  void SetDrawScreenFactory(DrawScreenFactory f) { m_drawFactory = std::move(f); }
  void SetQueryScreenFactory(QueryScreenFactory f) { m_queryFactory = std::move(f); }
  void SetConfigWindowOpener(ConfigWindowOpener f) { m_configOpener = std::move(f); }

  QLabel* ImageHead;
  QToolButton* SBtnAbout;
  QToolButton* SBtnHelp;
  QLabel* Image1;
  QToolButton* SBtnGetLuck;
  QToolButton* SBtnConfig;
  QToolButton* SBtnQuery;
  QToolButton* SBtnExit;
  QTableWidget* LVHeaders;
  QStatusBar* StBMain;

 public slots:
  void FormCreate();
  void SBtnGetLuckClick();
  void SBtnConfigClick();
  void SBtnQueryClick();
  void SBtnHelpClick();
  void SBtnAboutClick();
  void SBtnExitClick();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  int SelectedRow() const;
  void PlaceBannerButtons();
  void PaintBanner();

  DrawScreenFactory m_drawFactory;
  QueryScreenFactory m_queryFactory;
  ConfigWindowOpener m_configOpener;
  // The program's one draw session, lent to the draw screen or results window that is open.
  TDrawSession m_drawSession;
};
