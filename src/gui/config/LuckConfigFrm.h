// The configuration window: the task tree and three tabs, the settings of one draw task
// (基本配置, TTaskBaseTab), its prize items (奖项配置, TItemTab) and the import of its draw data
// (抽奖数据导入, TImportTab). The window keeps the task shown and what the tabs share of it;
// each tab holds its own controls and forwards them to the rules.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "core/config/ItemSettings.h"
#include "core/config/TaskList.h"
#include "core/config/TaskSettings.h"
#include "gui/config/ImportTab.h"
#include "gui/config/ItemTab.h"
#include "gui/config/SoundTab.h"
#include "gui/config/TaskBaseTab.h"
#include "gui/config/TaskListHost.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTreeWidget;

// Opens the preset-winner editor modally over `owner` and returns when it has closed.
using PresetEditorOpener =
    std::function<void(QWidget* owner, const config::TPresetEditorArgs& args)>;

class TLuckConfigForm : public QDialog, public TItemTabHost, public TImportTabHost {
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
  // Whether a tab holds edits that were not saved.
  bool HasUnsavedEdits() const;

  // Task tree.
  QLabel* Panel1;
  QTreeWidget* LuckTaskTV;
  QMenu* PMTask;
  QAction* N1;
  QAction* N2;
  QPushButton* SpeedButton3;
  QPushButton* SpeedButton4;
  QTabWidget* PageControl1;
  TTaskBaseTab* TSBase;
  TItemTab* TSItem;
  TImportTab* TsData;
  TSoundTab* TSSound;

  // TItemTabHost, TImportTabHost.
  int32_t ShownTaskId() const override { return m_taskId; }
  bool ShownDataImported() const override { return DataImported; }
  bool ProbabilityChosen() const override;
  void OpenPresetEditor(const config::TItemRow& item, const std::string& itemName) override;
  TIdType ChosenIdType() const override;
  void DataImportedAs(const QString& path) override;
  void DataFileKept() override { DataImported = true; }
  config::TRuleContext& RuleContext() override { return m_ruleContext; }

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
  void BtnSaveSoundClick();

 public:
  void LoadTaskTree();
  void ShowSelectedTask();
  // The 音效 tab shows the sounds of the task shown, with a row for each of its items.
  void LoadSoundTab();
  void ResetBaseTab();
  void ApplyDrawType();
  void DeleteTask();
  void LoadItemList();

 protected:
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillBaseTab(const TLuckTask* task);
  void FocusTaskField(config::TaskField field);
  int SelectedNode() const;
  void SelectNode(int index);
  // The base tab as shown or last saved, to tell unsaved edits.
  void KeepBaseState();
  void PopupTaskMenu();
  // The imported list and the other tasks offered to the rules of the task shown.
  void OfferRuleChoices();
  // The choices and the stored task-wide rules of the task shown.
  void ShowTaskRules();
  // The stored rules with the base tab's task-wide part as chosen, checked; false after
  // showing the refusal.
  bool CheckedTaskRules(TTaskRules& rules);

  TTaskListHost* m_host;
  PresetEditorOpener m_presetOpener;
  // The task the base tab shows, 0 for a new one.
  int32_t m_taskId = 0;
  QStringList m_baseState;
  bool m_quietTree = false;
  bool m_treeMouse = false;
  // What the rules of the task shown are checked against; its list is read when the task
  // is shown and after an import.
  config::TRuleContext m_ruleContext;
};

// Shows the configuration window modally over the host and destroys it afterwards.
void ShowLuckConfig(TTaskListHost& host, const PresetEditorOpener& presets = {});
