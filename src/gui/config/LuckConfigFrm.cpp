#include "gui/config/LuckConfigFrm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QTreeWidget>

#include "core/config/TaskRules.h"
#include "core/config/TaskSounds.h"
#include "core/records/Loaders.h"
#include "core/text/Text.h"
#include "gui/config/AutoRelayDlg.h"
#include "gui/config/ConfigWidgets.h"
#include "gui/config/RulesBoxes.h"
#include "gui/config/StageColumnsDlg.h"
#include "gui/config/StageKeysDlg.h"
#include "gui/ui/DesignLayout.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

TLuckConfigForm::TLuckConfigForm(TTaskListHost* host)
    : QDialog(host ? host->HostWindow() : nullptr), m_host(host) {
  setObjectName(QStringLiteral("LuckConfigForm"));
  setWindowTitle(QStringLiteral("抽奖配置"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(UiFont(QStringLiteral("宋体"), 12));
  // 723 x 526 with the frame as designed, taller by the rules sections.
  setFixedSize(715, 496 + config::kRulesRoom);

  // Task tree.
  Panel1 = new QLabel(QStringLiteral("抽奖任务列表："), this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(4, 4, 180, 22);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setIndent(4);
  LuckTaskTV = new QTreeWidget(this);
  LuckTaskTV->setObjectName(QStringLiteral("LuckTaskTV"));
  LuckTaskTV->setGeometry(4, 28, 180, 432 + config::kRulesRoom);
  LuckTaskTV->setHeaderHidden(true);
  LuckTaskTV->setRootIsDecorated(false);
  LuckTaskTV->setToolTip(QStringLiteral("右键选择新增或删除抽奖任务"));
  LuckTaskTV->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LuckTaskTV->setSelectionMode(QAbstractItemView::SingleSelection);
  LuckTaskTV->setContextMenuPolicy(Qt::CustomContextMenu);
  LuckTaskTV->viewport()->installEventFilter(this);
  KeepSelectionVisible(LuckTaskTV);
  PMTask = new QMenu(this);
  PMTask->setObjectName(QStringLiteral("PMTask"));
  N1 = PMTask->addAction(QStringLiteral("新增抽奖任务"));
  N1->setObjectName(QStringLiteral("N1"));
  N2 = PMTask->addAction(QStringLiteral("删除抽奖任务"));
  N2->setObjectName(QStringLiteral("N2"));
  const int by = 465 + config::kRulesRoom;
  SpeedButton3 = DesignButton(this, "SpeedButton3", QStringLiteral("新增抽奖(&N)"), 4, by, 88);
  SpeedButton4 = DesignButton(this, "SpeedButton4", QStringLiteral("删除(&D)"), 96, by, 88);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(190, 4, 521, 486 + config::kRulesRoom);
  TSBase = new TTaskBaseTab;
  TSItem = new TItemTab(*this);
  TsData = new TImportTab(*this);
  PageControl1->addTab(TSBase, QStringLiteral("基本配置"));
  PageControl1->addTab(TSItem, QStringLiteral("奖项配置"));
  PageControl1->addTab(TsData, QStringLiteral("抽奖数据导入"));
  TSSound = new TSoundTab;
  PageControl1->addTab(TSSound, QStringLiteral("音效"));
  // Items added or removed since the task was shown get their rows when the tab comes up.
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
    if (PageControl1->currentWidget() == TSSound && !TSSound->Edited()) LoadSoundTab();
  });
  connect(TSSound->BtnSaveSound, &QPushButton::clicked, this, &TLuckConfigForm::BtnSaveSoundClick);
  connect(TSSound->BtnCancelSound, &QPushButton::clicked, this, &TLuckConfigForm::LoadSoundTab);

  connect(LuckTaskTV, &QTreeWidget::itemClicked, this, &TLuckConfigForm::LuckTaskTVClick);
  // Moving with the keys shows the task too; a mouse click is handled once, above.
  connect(LuckTaskTV, &QTreeWidget::currentItemChanged, this, [this] {
    if (!m_quietTree && !m_treeMouse) LuckTaskTVClick();
  });
  connect(LuckTaskTV, &QTreeWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PMTask->popup(LuckTaskTV->viewport()->mapToGlobal(at)); });
  // The keyboard's way to the same menu.
  auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), LuckTaskTV);
  menuKey->setContext(Qt::WidgetShortcut);
  connect(menuKey, &QShortcut::activated, this, &TLuckConfigForm::PopupTaskMenu);
  connect(N1, &QAction::triggered, this, &TLuckConfigForm::N1Click);
  connect(N2, &QAction::triggered, this, &TLuckConfigForm::N2Click);
  connect(SpeedButton3, &QPushButton::clicked, this, &TLuckConfigForm::SpeedButton3Click);
  connect(SpeedButton4, &QPushButton::clicked, this, &TLuckConfigForm::SpeedButton4Click);
  connect(TSBase->CBOrderBy, &QComboBox::currentIndexChanged, this,
          &TLuckConfigForm::CBOrderByChange);
  connect(TSBase->BtnSaveBase, &QPushButton::clicked, this, &TLuckConfigForm::BtnSaveBaseClick);
  connect(TSBase->BtnCancelBase, &QPushButton::clicked, this, &TLuckConfigForm::BtnCancelBaseClick);
  connect(TSBase, &TTaskBaseTab::stageColumnsAsked, this, [this] {
    if (m_taskId <= 0) {
      ShowMessageBox(MessageKind::Attention, "请先保存抽奖项目，再导入抽奖数据");
      return;
    }
    TStageColumnsDlg dlg(m_taskId, this);
    if (dlg.Load()) dlg.exec();
  });
  connect(TSBase, &TTaskBaseTab::stageKeysAsked, this, [this] {
    if (m_taskId <= 0) {
      ShowMessageBox(MessageKind::Attention, "请先保存抽奖项目");
      return;
    }
    TStageKeysDlg dlg(m_taskId, this);
    if (dlg.Load()) dlg.exec();
  });
  connect(TSBase, &TTaskBaseTab::autoRelayAsked, this, [this] {
    if (m_taskId <= 0) {
      ShowMessageBox(MessageKind::Attention, "请先保存抽奖项目");
      return;
    }
    TAutoRelayDlg dlg(m_taskId, this);
    if (dlg.Load()) dlg.exec();
  });
  for (QPushButton* back :
       {TSBase->BtnCloseBase, TSItem->BtnCloseItem, TsData->BtnCloseData, TSSound->BtnCloseSound})
    connect(back, &QPushButton::clicked, this, &TLuckConfigForm::BtnCloseBaseClick);

  if (QScreen* s = (host && host->HostWindow() ? host->HostWindow()->screen()
                                               : QGuiApplication::primaryScreen())) {
    const QRect r = s->availableGeometry();
    move(r.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }

  // FormCreate.
  ImportedDataFile.clear();
  DataImported = false;
  LoadTaskTree();
}

int TLuckConfigForm::SelectedNode() const {
  const QList<QTreeWidgetItem*> sel = LuckTaskTV->selectedItems();
  return sel.isEmpty() ? -1 : LuckTaskTV->indexOfTopLevelItem(sel.first());
}

void TLuckConfigForm::SelectNode(int index) {
  m_quietTree = true;
  QTreeWidgetItem* node = LuckTaskTV->topLevelItem(index);
  LuckTaskTV->clearSelection();
  if (node) {
    LuckTaskTV->setCurrentItem(node);
    node->setSelected(true);
  }
  m_quietTree = false;
}

void TLuckConfigForm::LoadTaskTree() {
  m_quietTree = true;
  LuckTaskTV->clear();
  Tasks = m_host ? m_host->Tasks() : config::TTaskList();
  for (const config::TTaskRow& t : Tasks.Rows())
    LuckTaskTV->addTopLevelItem(new QTreeWidgetItem(QStringList{Q(t.TaskName)}));
  int selected = -1;
  if (m_host) {
    selected = m_host->SelectedTaskIndex();
    if (selected < 0) selected = 0;
  }
  m_quietTree = false;
  SelectNode(selected);
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::LuckTaskTVClick() {
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::N1Click() {
  PageControl1->setCurrentWidget(TSBase);
  // The list of the task shown before is not the new task's.
  DataImported = false;
  ImportedDataFile.clear();
  ResetBaseTab();
  TSItem->Reset();
  TsData->Reset();
  KeepBaseState();
  TSBase->EdtTaskName->setFocus();
}

void TLuckConfigForm::N2Click() { DeleteTask(); }

void TLuckConfigForm::DeleteTask() {
  const int node = SelectedNode();
  const config::TTaskRow* row = Tasks.At(node);
  if (!row) return;
  const int32_t taskId = row->TaskId;
  const QString name = LuckTaskTV->topLevelItem(node)->text(0);
  // Only Yes deletes: a question closed with its close box backs out.
  if (AskYesNo(QStringLiteral("将删除该抽奖项目的基本配置、导入数据和中奖数据，您确认要删除[") +
               name + QStringLiteral("]吗？")) != Answer::Yes)
    return;
  bool rowsDeleted = false;
  std::string error;
  const bool ok = config::DeleteTask(taskId, rowsDeleted, error);
  // Nothing was deleted: the task stays in the tree as it stays in the database.
  if (!rowsDeleted) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  Tasks.Remove(node);
  m_quietTree = true;
  delete LuckTaskTV->takeTopLevelItem(node);
  m_quietTree = false;
  SelectNode(qMin(node, LuckTaskTV->topLevelItemCount() - 1));
  TSItem->Reset();
  if (!ok) ShowMessageBox(MessageKind::Error, error);
  ShowSelectedTask();
  LoadItemList();
  // The rows are gone either way, so the main list must no longer offer the task.
  if (m_host) m_host->TasksChanged(0);
}

bool TLuckConfigForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LuckTaskTV->viewport()) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      // A right click opens the menu without moving the selection.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
      m_treeMouse = true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
      m_treeMouse = false;
      if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TLuckConfigForm::ShowSelectedTask() {
  ResetBaseTab();
  TsData->Reset();
  const int node = SelectedNode();
  const config::TTaskRow* row = Tasks.At(node);
  if (LuckTaskTV->topLevelItemCount() == 0 || !row) return;
  const int32_t taskId = row->TaskId;
  TLuckTask task;
  bool found = false;
  std::string error;
  if (!config::SelectTask(taskId, task, found, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  FillBaseTab(found ? &task : nullptr);
  KeepBaseState();
}

void TLuckConfigForm::FillBaseTab(const TLuckTask* t) {
  DataImported = false;
  ImportedDataFile.clear();
  m_taskId = t ? t->TaskId : 0;
  if (t) {
    TSBase->Fill(*t);
    const config::DataState state = config::DataStateOf(t->OrderBy, t->DataFilePath);
    ShowDataState(state, Q(text::Trim(t->DataFilePath)));
  }
  TsData->EnableImport(true);
  ApplyDrawType();
  ShowTaskRules();
  LoadSoundTab();
}

void TLuckConfigForm::LoadSoundTab() {
  TLuckTask task;
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  std::string error;
  const bool shown = m_taskId > 0 && LoadLuckTask(m_taskId, task, error) &&
                     task.TaskId == m_taskId && LoadLuckItems(m_taskId, items, count, sum, error);
  TSSound->Load(shown ? &task : nullptr, items);
}

void TLuckConfigForm::BtnSaveSoundClick() {
  if (m_taskId <= 0) {
    ShowMessageBox(MessageKind::Attention, "请先保存抽奖项目");
    return;
  }
  const TSoundSettings sounds = TSSound->Settings();
  std::string error;
  if (!config::SaveTaskSounds(m_taskId, sounds, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  // The roll loop is the task's background music: the base tab shows it, its other edits
  // kept.
  const bool baseKept = TSBase->State() == m_baseState;
  TSBase->EdtMusicFilePath->setText(Q(text::Trim(sounds.Of(TSoundCue::RollLoop).path)));
  TSBase->EdtMusicFilePath->setCursorPosition(0);
  if (baseKept) KeepBaseState();
  LoadSoundTab();
  ShowMessageBox(MessageKind::Information, "保存成功");
}

void TLuckConfigForm::OfferRuleChoices() {
  m_ruleContext.List = {};
  m_ruleContext.TaskId = m_taskId;
  std::string error;
  // A list that does not read offers no fields; the import tab tells its state.
  if (m_taskId > 0 && DataImported)
    config::ReadRuleList(FromQ(ImportedDataFile), m_ruleContext.List, error);
  std::vector<config::TRuleTask> others;
  for (const config::TTaskRow& t : Tasks.Rows())
    if (t.TaskId != m_taskId && t.OrderBy == TDrawType::FromData)
      others.push_back({t.TaskId, t.TaskName});
  TSBase->GBTaskRules->SetChoices(&m_ruleContext.List, others);
}

void TLuckConfigForm::ShowTaskRules() {
  OfferRuleChoices();
  TTaskRules rules;
  std::string error;
  if (m_taskId > 0 && !config::LoadRules(m_taskId, rules, error))
    ShowMessageBox(MessageKind::Error, error);
  TSBase->GBTaskRules->ShowRules(rules);
  bool hide = false;
  if (m_taskId > 0) LoadHideExcludeCount(m_taskId, hide, error);
  TSBase->GBTaskRules->CBHideExcludeCount->setChecked(hide);
}

bool TLuckConfigForm::CheckedTaskRules(TTaskRules& rules) {
  std::string error;
  if (m_taskId > 0 && !config::LoadRules(m_taskId, rules, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  const TTaskRules stored = rules;
  TSBase->GBTaskRules->TakeRules(rules);
  if (!config::LoadRuleContext(m_taskId, rules, m_ruleContext, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  // Only what this tab edits is judged here; the items' rules are the item tab's.
  TTaskRules own = rules;
  own.Items.clear();
  if (!config::CheckRules(own, m_ruleContext, error)) {
    ShowMessageBox(MessageKind::Attention, error);
    PageControl1->setCurrentWidget(TSBase);
    TSBase->GBTaskRules->setFocus();
    return false;
  }
  const std::string question = config::RulesChangeQuestion(m_taskId, stored, rules);
  return question.empty() || AskYesNo(Q(question), Answer::No) == Answer::Yes;
}

void TLuckConfigForm::ShowDataState(config::DataState state, const QString& path) {
  const bool imported = state == config::DataState::Imported;
  TSBase->ShowDataFlag(state, imported ? path : QString());
  TsData->ShowDataLabel(state);
  DataImported = imported;
  ImportedDataFile = imported ? path : QString();
}

void TLuckConfigForm::ResetBaseTab() {
  TSBase->Reset();
  m_taskId = 0;
  ApplyDrawType();
  OfferRuleChoices();
  LoadSoundTab();
}

void TLuckConfigForm::CBOrderByChange() { ApplyDrawType(); }

void TLuckConfigForm::ApplyDrawType() {
  const bool byData = TSBase->ShowDrawType();
  TsData->EnableImport(byData);
  TSItem->ShowDrawType(byData);
  TSSound->ShowDrawType(byData);
}

bool TLuckConfigForm::ProbabilityChosen() const { return TSBase->ByProbability(); }

TIdType TLuckConfigForm::ChosenIdType() const { return TSBase->ChosenIdType(); }

void TLuckConfigForm::DataImportedAs(const QString& path) {
  ShowDataState(config::DataState::Imported, path);
  TSItem->BntCheat->setEnabled(true);
  // The new list's heads and values are offered; the rules as chosen stay.
  TTaskRules chosen;
  TSBase->GBTaskRules->TakeRules(chosen);
  OfferRuleChoices();
  TSBase->GBTaskRules->ShowRules(chosen);
  TSItem->ListChanged();
}

void TLuckConfigForm::OpenPresetEditor(const config::TItemRow& item, const std::string& itemName) {
  config::TPresetEditorArgs args;
  args.TaskId = m_taskId;
  args.TaskName = text::Trim(FromQ(TSBase->EdtTaskName->text()));
  args.ItemId = item.ItemId;
  args.ItemName = itemName;
  args.ImportedDataFile = text::Trim(FromQ(ImportedDataFile));
  args.LuckCount = item.LuckCount;
  if (m_presetOpener) m_presetOpener(this, args);
}

void TLuckConfigForm::FocusTaskField(config::TaskField field) {
  PageControl1->setCurrentWidget(TSBase);
  TSBase->Focus(field);
}

void TLuckConfigForm::BtnSaveBaseClick() {
  config::TTaskSettings s = TSBase->Settings(m_taskId);
  const bool insert = m_taskId == 0;
  config::TTaskFailure failure;
  // The rules are judged once the fields pass (a refused field is told by the save below),
  // and nothing is stored when they are refused.
  const bool byData = !TSBase->ByProbability();
  TTaskRules rules;
  {
    config::TTaskSettings probe = s;
    TLuckTask row;
    config::TTaskFailure ignored;
    if (byData && config::CheckTask(probe, row, ignored) && !CheckedTaskRules(rules)) return;
  }
  const bool ok = config::SaveTask(s, failure);
  int32_t savedId = 0;
  m_taskId = text::ParseInt32(s.TaskId, savedId) ? savedId : 0;
  // The rules fill in what they fill in whether or not the save goes through.
  TSBase->ShowFilledIn(s);
  if (!ok) {
    if (!failure.text.empty()) ShowMessageBox(failure.kind, failure.text);
    FocusTaskField(failure.focus);
    return;
  }
  const QString name = Q(text::Trim(s.TaskName));
  if (insert) {
    config::TTaskRow row;
    row.TaskId = m_taskId;
    row.TaskName = text::Trim(s.TaskName);
    Tasks.Append(std::move(row));
    m_quietTree = true;
    LuckTaskTV->addTopLevelItem(new QTreeWidgetItem(QStringList{name}));
    m_quietTree = false;
    SelectNode(LuckTaskTV->topLevelItemCount() - 1);
  } else if (QTreeWidgetItem* node = LuckTaskTV->topLevelItem(SelectedNode())) {
    node->setText(0, name);
    Tasks.Rename(SelectedNode(), text::Trim(s.TaskName));
  }
  std::string warning, error;
  if (byData &&
      (!config::SaveRules(m_taskId, rules, error) ||
       !config::SaveHideExcludeCount(*TombolixDataModule, m_taskId,
                                     TSBase->GBTaskRules->CBHideExcludeCount->isChecked(), error) ||
       !config::SaveRollStyle(m_taskId, TSBase->ChosenRollStyle(), error))) {
    ShowMessageBox(MessageKind::Error, error);
  } else {
    if (byData) warning = config::TooFewText(rules, m_ruleContext);
    ShowMessageBox(MessageKind::Information, "保存成功");
    if (!warning.empty()) ShowMessageBox(MessageKind::Warning, warning);
  }
  if (m_host) m_host->TasksChanged(m_taskId);
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::BtnCancelBaseClick() {
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::BtnCloseBaseClick() { close(); }

void TLuckConfigForm::LoadItemList() {
  const config::TTaskRow* node = Tasks.At(SelectedNode());
  TSItem->Load(node ? node->TaskId : 0);
}

void TLuckConfigForm::KeepBaseState() { m_baseState = TSBase->State(); }

bool TLuckConfigForm::HasUnsavedEdits() const {
  return TSBase->State() != m_baseState || TSItem->Edited() || TSSound->Edited();
}

void TLuckConfigForm::PopupTaskMenu() {
  QRect at = LuckTaskTV->visualItemRect(LuckTaskTV->currentItem());
  if (!at.isValid()) at = QRect(0, 0, 1, 1);
  PMTask->popup(LuckTaskTV->viewport()->mapToGlobal(at.bottomLeft()));
}

// ---- window ------------------------------------------------------------------------------

void TLuckConfigForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // Only when the window opens, not when it comes back from being minimised.
  if (!e->spontaneous()) PageControl1->setCurrentWidget(TSBase);
}

void TLuckConfigForm::keyPressEvent(QKeyEvent* e) {
  // Esc leaves as 返回 does; the edits of a tab are only dropped after a question.
  if (e->key() == Qt::Key_Escape) {
    e->accept();
    close();
    return;
  }
  QDialog::keyPressEvent(e);
}

void TLuckConfigForm::closeEvent(QCloseEvent* e) {
  // No is the default: a habitual Enter keeps the edits.
  if (HasUnsavedEdits() &&
      AskYesNo(QStringLiteral("当前的修改尚未保存，退出将丢失这些修改，是否确定退出？"),
               Answer::No) != Answer::Yes) {
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

void ShowLuckConfig(TTaskListHost& host, const PresetEditorOpener& presets) {
  TLuckConfigForm form(&host);
  form.SetPresetEditorOpener(presets);
  form.exec();
}
