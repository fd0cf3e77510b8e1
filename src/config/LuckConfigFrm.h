// The configuration window: the task tree, the settings of one draw task ("基本配置"), its
// prize items ("奖项配置") and the import of its draw data ("抽奖数据导入"). The rules live in
// config/TaskSettings and config/ItemSettings; the window holds the controls and shows what
// the rules answer.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "config/ItemSettings.h"
#include "config/TaskList.h"
#include "config/TaskListHost.h"
#include "config/TaskSettings.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// Opens the preset-winner editor modally over `owner` and returns when it has closed.
using PresetEditorOpener =
    std::function<void(QWidget* owner, const config::TPresetEditorArgs& args)>;

class TLuckConfigForm : public QDialog {
  Q_OBJECT
 public:
  // Copies the host's task list into the tree, with the host's selected task selected; the
  // host reloads its list after every save and delete.
  explicit TLuckConfigForm(TTaskListHost* host);

  // What 指定中奖 opens; without one the button asks its question and does nothing more.
  void SetPresetEditorOpener(PresetEditorOpener f) { m_presetOpener = std::move(f); }

  // The tasks of the tree, in node order.
  config::TTaskList Tasks;
  // True while the shown task draws from imported data and its draw data file exists.
  bool DataImported = false;
  // The draw data file of the shown task while DataImported, else empty.
  QString ImportedDataFile;

  // Shows the data status in both tabs and sets DataImported, ImportedDataFile and
  // EdtDataFilePath (the path only for an imported state).
  void ShowDataState(config::DataState state, const QString& path);

  // Task tree.
  QLabel* Panel1;
  QTreeWidget* LuckTaskTV;
  QMenu* PMTask;
  QAction* N1;
  QAction* N2;
  QPushButton* SpeedButton3;
  QPushButton* SpeedButton4;
  QTabWidget* PageControl1;
  QWidget* TSBase;
  QWidget* TSItem;
  QWidget* TsData;

  // 基本配置
  QLineEdit* EdtTaskId;
  QLineEdit* EdtTaskName;
  QLineEdit* EdtMainTitle;
  QLineEdit* EdtFontSize;
  QWidget* UpDown1;
  QComboBox* CLBColor;
  QComboBox* CBOrderBy;
  QCheckBox* CKShowLuck;
  QWidget* PData;
  QComboBox* CBLuckAgain;
  QComboBox* CBIdType;
  QWidget* PProb;
  QLineEdit* EProb;
  QLabel* LShow;
  QLineEdit* EdtRemainText;
  QLineEdit* EdtMainImage;
  QPushButton* SpSelectImage;
  QLineEdit* EdtMusicFilePath;
  QPushButton* SpSelectMusic;
  QWidget* PHide;
  QLineEdit* EdtHideBegin;
  QLineEdit* EdtHideEnd;
  QLineEdit* EdtPassWord;
  QLineEdit* EdtDataFilePath;
  QLineEdit* EdtDateFlag;
  QLabel* Label16;
  QLabel* LDesc;
  QPushButton* BtnSaveBase;
  QPushButton* BtnCancelBase;
  QPushButton* BtnCloseBase;

  // 奖项配置
  QLabel* Label25;
  QLabel* Label18;
  QListWidget* LBItem;
  QLineEdit* DBEdtId;
  QLineEdit* DBEdtName;
  QLineEdit* DBEdtLuckCount;
  QLabel* LListCount;
  QLineEdit* DBEditListCount;
  QLineEdit* DBEdtAwardName;
  QLineEdit* DBEdtAwardImage;
  QPushButton* SbSelectItem;
  QLineEdit* EdtListIndex;
  QPushButton* SpeedButton1;
  QPushButton* SpeedButton2;
  QPushButton* BntCheat;
  QPushButton* BtnAddItem;
  QPushButton* BtnDelItem;
  QPushButton* BtnSaveItem;
  QPushButton* BtnCancelItem;
  QPushButton* BtnCloseItem;

  // 抽奖数据导入. BtnSaveData (导入) is laid out and enabled by the draw type; the import
  // that it runs is connected by the import code.
  QLabel* LBData;
  QComboBox* CBFileType;
  QLineEdit* EdtFileName;
  QPushButton* SpFileData;
  QPlainTextEdit* MLog;
  QProgressBar* PrgBar;
  QPushButton* BtnSaveData;
  QPushButton* BtnCancelData;
  QPushButton* BtnCloseData;

 public slots:
  void LuckTaskTVClick();
  void N1Click();
  void N2Click();
  void SpeedButton3Click() { N1Click(); }
  void SpeedButton4Click() { N2Click(); }
  void CBOrderByChange();
  void BtnSaveBaseClick();
  void BtnCancelBaseClick();
  void BtnCloseBaseClick();
  void SpSelectImageClick();
  void SpSelectMusicClick();

  void LBItemClick();
  void BtnAddItemClick();
  void BtnSaveItemClick();
  void BtnCancelItemClick();
  void BtnDelItemClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SbSelectItemClick();
  void ItemFieldChange();
  void BntCheatClick();

  void SpFileDataClick();
  void BtnCancelDataClick();
  // The import (config/LuckConfigImport.cpp).
  void BtnSaveDataClick();

 public:
  void LoadTaskTree();
  void ShowSelectedTask();
  void ResetBaseTab();
  void ApplyDrawType();
  void DeleteTask();
  void ResetItemTab();
  void ClearItemFields();
  void LoadItemList();
  void ShowSelectedItem();
  void ResetImportTab();

 protected:
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillBaseTab(const TLuckTask* task);
  config::TTaskSettings BaseSettings() const;
  void FocusTaskField(config::TaskField field);
  void FocusItemField(config::ItemField field);
  int SelectedNode() const;
  void SelectNode(int index);
  QStringList ItemLines() const;
  void StepFontSize(int delta);

  TTaskListHost* m_host;
  // The task the base tab shows, 0 for a new one; the prize item the item tab shows (ItemId 0
  // for a new one).
  int32_t m_taskId = 0;
  config::TItemRow m_item;
  PresetEditorOpener m_presetOpener;
  bool m_quietTree = false;
  bool m_treeMouse = false;
  bool m_listMouse = false;
};

// Shows the configuration window modally over the host and destroys it afterwards.
void ShowLuckConfig(TTaskListHost& host, const PresetEditorOpener& presets = {});
