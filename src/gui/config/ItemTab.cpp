#include "gui/config/ItemTab.h"

#include <QCheckBox>
#include <QCompleter>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include "core/config/NamedAwardCheck.h"
#include "core/records/NamedAwardFile.h"
#include "core/text/Text.h"
#include "gui/config/ConfigWidgets.h"
#include "gui/config/RulesBoxes.h"
#include "gui/ui/DesignLayout.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Qt.h"

TItemTab::TItemTab(TItemTabHost& host, QWidget* parent) : QWidget(parent), m_host(&host) {
  setObjectName(QStringLiteral("TSItem"));
  auto* digits = new config::DigitKeyFilter(this);
  QWidget* it = this;
  Label25 = new QLabel(QStringLiteral("奖项列表(按抽奖顺序排列):"), it);
  Label25->setObjectName(QStringLiteral("Label25"));
  Label25->setGeometry(8, 8, 200, 18);
  LBItem = new QListWidget(it);
  LBItem->setObjectName(QStringLiteral("LBItem"));
  LBItem->setGeometry(8, 28, 172, 352 + config::kRulesRoom);
  KeepSelectionVisible(LBItem);
  Label18 = new QLabel(QStringLiteral("请点击【增加奖项】按钮新增奖项"), it);
  Label18->setObjectName(QStringLiteral("Label18"));
  Label18->setGeometry(8, 386 + config::kRulesRoom, 196, 18);
  MakeBlue(Label18);
  SpeedButton1 = DesignButton(it, "SpeedButton1", QString(), 184, 170, 26);
  SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  SpeedButton2 = DesignButton(it, "SpeedButton2", QString(), 184, 200, 26);
  SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  for (QPushButton* mv : {SpeedButton1, SpeedButton2}) {
    mv->setToolTip(QStringLiteral("请选择抽奖顺序"));
    mv->resize(26, 26);
  }
  const int ilx = 214, ilw = 96, ifx = 314, ifw = 184;
  DesignLabel(it, QStringLiteral("奖项名称："), ilx, 28, ilw);
  DBEdtName = DesignEdit(it, "DBEdtName", ifx, 28, ifw);
  DBEdtName->setMaxLength(50);
  DesignLabel(it, QStringLiteral("中奖个数："), ilx, 56, ilw);
  DBEdtLuckCount = DesignEdit(it, "DBEdtLuckCount", ifx, 56, 100);
  DBEdtLuckCount->setMaxLength(7);
  LListCount = DesignLabel(it, QStringLiteral("每次抽取个数："), ilx, 84, ilw);
  LListCount->setObjectName(QStringLiteral("LListCount"));
  DBEditListCount = DesignEdit(it, "DBEditListCount", ifx, 84, 100);
  DBEditListCount->setMaxLength(7);
  DesignLabel(it, QStringLiteral("奖品名称："), ilx, 112, ilw);
  DBEdtAwardName = DesignEdit(it, "DBEdtAwardName", ifx, 112, ifw);
  DBEdtAwardName->setMaxLength(100);
  DesignLabel(it, QStringLiteral("奖品图片："), ilx, 140, ilw);
  DBEdtAwardImage = DesignEdit(it, "DBEdtAwardImage", ifx, 140, ifw - 72);
  DBEdtAwardImage->setMaxLength(100);
  SbSelectItem =
      DesignButton(it, "SbSelectItem", QStringLiteral("选择..."), ifx + ifw - 68, 138, 68);
  BntCheat = DesignButton(it, "BntCheat", QStringLiteral("指定中奖(&P)"), ifx, 176, 100);
  DBEdtId = DesignEdit(it, "DBEdtId", 0, 0, 10);
  EdtListIndex = DesignEdit(it, "EdtListIndex", 0, 0, 10);
  DBEdtId->hide();
  EdtListIndex->hide();
  GBItemRules = new TItemRulesBox(it);
  GBItemRules->setGeometry(214, 208, 294, 300);
  GBItemRules->SetList(&m_host->RuleContext().List);
  CKNamed = new QCheckBox(QStringLiteral("指定颁奖"), it);
  CKNamed->setObjectName(QStringLiteral("CKNamed"));
  CKNamed->setGeometry(ifx + 108, 178, 90, 22);
  CKNamed->setToolTip(QStringLiteral("本奖项不抽取,颁给指定的人"));
  PNamed = new QWidget(it);
  PNamed->setObjectName(QStringLiteral("PNamed"));
  PNamed->setGeometry(214, 208, 294, 300);
  DesignLabel(PNamed, QStringLiteral("指定颁奖的号码(每行一个,可粘贴):"), 0, 0, 294)
      ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  MNamedIds = new QPlainTextEdit(PNamed);
  MNamedIds->setObjectName(QStringLiteral("MNamedIds"));
  MNamedIds->setGeometry(0, 20, 294, 180);
  EdtNamedPick = DesignEdit(PNamed, "EdtNamedPick", 0, 206, 214);
  EdtNamedPick->setPlaceholderText(QStringLiteral("从名单中选择"));
  BtnNamedAdd = DesignButton(PNamed, "BtnNamedAdd", QStringLiteral("加入"), 220, 204, 74);
  LNamedState = DesignLabel(PNamed, QString(), 0, 236, 294);
  LNamedState->setObjectName(QStringLiteral("LNamedState"));
  LNamedState->setWordWrap(true);
  LNamedState->resize(294, 60);
  LNamedState->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PNamed->hide();
  const int by = 420 + config::kRulesRoom;
  BtnAddItem = DesignButton(it, "BtnAddItem", QStringLiteral("增加奖项(&A)"), 92, by, 80);
  BtnDelItem = DesignButton(it, "BtnDelItem", QStringLiteral("删除奖项(&L)"), 177, by, 80);
  BtnSaveItem = DesignButton(it, "BtnSaveItem", QStringLiteral("保存(&S)"), 262, by, 75);
  BtnCancelItem = DesignButton(it, "BtnCancelItem", QStringLiteral("取消(&C)"), 342, by, 75);
  BtnCloseItem = DesignButton(it, "BtnCloseItem", QStringLiteral("返回(&R)"), 424, by, 75);

  for (QLineEdit* e : {DBEdtLuckCount, DBEditListCount}) e->installEventFilter(digits);
  connect(LBItem, &QListWidget::itemClicked, this, &TItemTab::LBItemClick);
  connect(LBItem, &QListWidget::currentRowChanged, this, [this] {
    if (!m_listMouse) LBItemClick();
  });
  LBItem->viewport()->installEventFilter(this);
  connect(BtnAddItem, &QPushButton::clicked, this, &TItemTab::BtnAddItemClick);
  connect(BtnSaveItem, &QPushButton::clicked, this, &TItemTab::BtnSaveItemClick);
  connect(BtnCancelItem, &QPushButton::clicked, this, &TItemTab::BtnCancelItemClick);
  connect(BtnDelItem, &QPushButton::clicked, this, &TItemTab::BtnDelItemClick);
  connect(SpeedButton1, &QPushButton::clicked, this, &TItemTab::SpeedButton1Click);
  connect(SpeedButton2, &QPushButton::clicked, this, &TItemTab::SpeedButton2Click);
  connect(SbSelectItem, &QPushButton::clicked, this, &TItemTab::SbSelectItemClick);
  connect(BntCheat, &QPushButton::clicked, this, &TItemTab::BntCheatClick);
  connect(GBItemRules, &TItemRulesBox::Changed, this, &TItemTab::ItemFieldChange);
  connect(CKNamed, &QCheckBox::clicked, this, &TItemTab::CKNamedClick);
  connect(BtnNamedAdd, &QPushButton::clicked, this, &TItemTab::BtnNamedAddClick);
  connect(EdtNamedPick, &QLineEdit::returnPressed, this, &TItemTab::BtnNamedAddClick);
  connect(MNamedIds, &QPlainTextEdit::textChanged, this, &TItemTab::NamedIdsChange);
  // The count the ids are held against, as typed.
  connect(DBEdtLuckCount, &QLineEdit::textChanged, this, [this] {
    if (CKNamed->isChecked()) NamedIdsChange();
  });
  for (QLineEdit* e : {DBEdtId, DBEdtName, DBEdtLuckCount, DBEditListCount, DBEdtAwardName,
                       DBEdtAwardImage, EdtListIndex})
    connect(e, &QLineEdit::textChanged, this, &TItemTab::ItemFieldChange);
}

bool TItemTab::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LBItem->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) m_listMouse = true;
    if (event->type() == QEvent::MouseButtonRelease) m_listMouse = false;
  }
  return QWidget::eventFilter(watched, event);
}

void TItemTab::ShowDrawType(bool byData) {
  LListCount->setVisible(byData);
  DBEditListCount->setVisible(byData);
  // A draw by probability has no candidates to choose among, nor to name.
  m_byData = byData;
  CKNamed->setVisible(byData);
  ShowNamedPanel();
}

void TItemTab::ShowNamedPanel() {
  const bool named = m_byData && CKNamed->isChecked();
  GBItemRules->setVisible(m_byData && !named);
  PNamed->setVisible(named);
  const std::vector<std::string>& list = m_host->RuleContext().List.Lines;
  if (!named || (EdtNamedPick->completer() && m_pickTask == m_host->ShownTaskId() &&
                 m_pickLines == list.size()))
    return;
  // The list's lines to pick from, made again for another task or list.
  delete EdtNamedPick->completer();
  m_pickTask = m_host->ShownTaskId();
  m_pickLines = list.size();
  QStringList lines;
  for (const std::string& l : list) lines << Q(l);
  auto* completer = new QCompleter(lines, EdtNamedPick);
  completer->setFilterMode(Qt::MatchContains);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  EdtNamedPick->setCompleter(completer);
}

std::vector<std::string> TItemTab::NamedIds() const {
  if (!CKNamed->isChecked()) return {};
  return config::SplitNamedIds(FromQ(MNamedIds->toPlainText()));
}

bool TItemTab::CheckNamed(const std::vector<std::string>& ids, MessageKind& kind,
                          std::string& error) const {
  int32_t luck = 0;
  text::ParseInt32(text::Trim(FromQ(DBEdtLuckCount->text())), luck);
  return config::CheckNamedAward(m_host->ShownTaskId(), m_item.ItemId,
                                 text::Trim(FromQ(DBEdtName->text())), luck, ids,
                                 m_host->RuleContext().List.Lines, kind, error);
}

void TItemTab::NamedIdsChange() {
  ItemFieldChange();
  const std::vector<std::string> ids = NamedIds();
  MessageKind kind = MessageKind::Information;
  std::string error;
  if (ids.empty()) {
    LNamedState->clear();
  } else if (CheckNamed(ids, kind, error)) {
    LNamedState->setStyleSheet(QString());
    int32_t luck = 0;
    text::ParseInt32(text::Trim(FromQ(DBEdtLuckCount->text())), luck);
    LNamedState->setText(Q(config::NamedCountText(ids.size(), luck)));
  } else {
    LNamedState->setStyleSheet(QStringLiteral("color: #c00000"));
    LNamedState->setText(Q(error));
  }
}

void TItemTab::BtnNamedAddClick() {
  // A line of the list stands for its id.
  const std::vector<std::string> picked = config::SplitNamedIds(FromQ(EdtNamedPick->text()));
  if (picked.empty()) return;
  std::vector<std::string> ids = config::SplitNamedIds(FromQ(MNamedIds->toPlainText()));
  ids.push_back(picked.front());
  std::string error;
  // Refused at once when it is not on the list or named already; a count still short is
  // only said.
  std::vector<int32_t> found;
  if (!NamedCandidates(ids, m_host->RuleContext().List.Lines, text::Trim(FromQ(DBEdtName->text())),
                       found, error)) {
    ShowMessageBox(MessageKind::Error, error);
    EdtNamedPick->setFocus();
    return;
  }
  QString text = MNamedIds->toPlainText();
  if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
  MNamedIds->setPlainText(text + Q(picked.front()));
  EdtNamedPick->clear();
}

void TItemTab::CKNamedClick() {
  const std::vector<std::string> ids = config::SplitNamedIds(FromQ(MNamedIds->toPlainText()));
  if (!CKNamed->isChecked() && !ids.empty()) {
    // The list is dropped at the next save: ask first.
    if (AskYesNo(Q(config::NamedDropQuestion(ids.size())), Answer::No) != Answer::Yes) {
      const QSignalBlocker quiet(CKNamed);
      CKNamed->setChecked(true);
      return;
    }
    MNamedIds->clear();
  }
  ItemFieldChange();
  ShowNamedPanel();
  if (CKNamed->isChecked()) MNamedIds->setFocus();
}

void TItemTab::ShowNamed() {
  std::vector<std::string> ids;
  std::string error;
  const int32_t taskId = m_host->ShownTaskId();
  if (taskId > 0 && m_item.ItemId > 0 && !LoadNamedIds(taskId, m_item.ItemId, ids, error))
    ShowMessageBox(MessageKind::Error, error);
  QStringList lines;
  for (const std::string& id : ids) lines << Q(id);
  {
    const QSignalBlocker quiet(CKNamed);
    CKNamed->setChecked(!ids.empty());
  }
  MNamedIds->setPlainText(lines.join(QLatin1Char('\n')));
  ShowNamedPanel();
}

void TItemTab::ListChanged() {
  const bool edited = BtnSaveItem->isEnabled();
  m_pickTask = -1;  // the lines to pick from are the new list's
  ShowNamedPanel();
  GBItemRules->ShowRules(GBItemRules->Rules(m_item.ItemId));
  BtnSaveItem->setEnabled(edited);
}

void TItemTab::ShowItemRules() {
  TTaskRules rules;
  std::string error;
  const int32_t taskId = m_host->ShownTaskId();
  if (taskId > 0 && m_item.ItemId > 0 && !config::LoadRules(taskId, rules, error))
    ShowMessageBox(MessageKind::Error, error);
  const TItemRules* own = m_item.ItemId > 0 ? rules.ItemRulesOf(m_item.ItemId) : nullptr;
  GBItemRules->ShowRules(own ? *own : TItemRules{});
}

bool TItemTab::CheckedRules(int32_t itemId, const std::string& name, int32_t luckCount,
                            TTaskRules& rules) {
  const int32_t taskId = m_host->ShownTaskId();
  std::string error;
  if (!config::LoadRules(taskId, rules, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  const TTaskRules stored = rules;
  const TItemRules mine = GBItemRules->Rules(itemId);
  std::erase_if(rules.Items, [itemId](const TItemRules& r) { return r.ItemId == itemId; });
  if (!mine.Empty()) rules.Items.push_back(mine);
  config::TRuleContext& context = m_host->RuleContext();
  if (!config::LoadRuleContext(taskId, rules, context, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  // The item as typed, not as stored.
  std::erase_if(context.Items, [itemId](const config::TRuleItem& i) { return i.ItemId == itemId; });
  context.Items.push_back({itemId, name, luckCount});
  // Only what this tab edits is judged here; the task-wide rules are the base tab's.
  TTaskRules own;
  if (!mine.Empty()) own.Items = {mine};
  if (!config::CheckRules(own, context, error)) {
    ShowMessageBox(MessageKind::Attention, error);
    GBItemRules->setFocus();
    return false;
  }
  const std::string question = config::RulesChangeQuestion(taskId, stored, rules);
  return question.empty() || AskYesNo(Q(question), Answer::No) == Answer::Yes;
}

bool TItemTab::Edited() const {
  if (!BtnSaveItem->isEnabled()) return false;
  for (const QLineEdit* e :
       {DBEdtName, DBEdtLuckCount, DBEditListCount, DBEdtAwardName, DBEdtAwardImage}) {
    if (!e->text().isEmpty()) return true;
  }
  return !MNamedIds->toPlainText().isEmpty();
}

void TItemTab::ClearFields() {
  for (QLineEdit* e :
       {DBEdtId, DBEdtName, DBEdtLuckCount, DBEditListCount, DBEdtAwardName, DBEdtAwardImage})
    e->clear();
  m_item = config::TItemRow();
  GBItemRules->ShowRules(TItemRules{});
  {
    const QSignalBlocker quiet(CKNamed);
    CKNamed->setChecked(false);
  }
  {
    const QSignalBlocker quiet(MNamedIds);
    MNamedIds->clear();
  }
  LNamedState->clear();
  ShowNamedPanel();
}

void TItemTab::Reset() {
  for (QPushButton* b : {BtnAddItem, BtnDelItem, BtnSaveItem, BtnCancelItem, BntCheat})
    b->setEnabled(false);
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->clear();
  }
  ClearFields();
}

QStringList TItemTab::ItemLines() const {
  QStringList lines;
  for (int i = 0; i < LBItem->count(); ++i) lines << LBItem->item(i)->text();
  return lines;
}

void TItemTab::Load(int32_t taskId) {
  Reset();
  const bool task = taskId > 0;
  if (task) {
    std::vector<config::TItemRow> rows;
    std::string error;
    if (!config::SelectItems(taskId, rows, error)) {
      ShowMessageBox(MessageKind::Error, error);
      return;
    }
    const QSignalBlocker quiet(LBItem);
    for (const config::TItemRow& r : rows) LBItem->addItem(Q(r.ItemName));
    if (!rows.empty()) {
      LBItem->setCurrentRow(0);
      ShowSelected();
    }
  }
  const bool any = LBItem->count() > 0;
  // Items belong to a saved task; without one 增加奖项 would lead to a save that does nothing.
  BtnAddItem->setEnabled(task);
  BtnCancelItem->setEnabled(task);
  BtnSaveItem->setEnabled(false);
  BtnDelItem->setEnabled(any);
  BntCheat->setEnabled(any && m_host->ShownDataImported());
  CKNamed->setEnabled(task && m_host->ShownDataImported());
}

void TItemTab::ShowSelected() {
  ClearFields();
  bool shown = false;
  const int32_t taskId = m_host->ShownTaskId();
  QListWidgetItem* line = LBItem->currentItem();
  if (LBItem->count() > 0 && line && taskId > 0) {
    config::TItemRow row;
    bool found = false;
    std::string error;
    if (!config::SelectItemByName(taskId, FromQ(line->text()), row, found, error)) {
      ShowMessageBox(MessageKind::Error, error);
      return;
    }
    if (found) {
      DBEdtId->setText(QString::number(row.ItemId));
      DBEdtName->setText(Q(row.ItemName));
      DBEdtLuckCount->setText(QString::number(row.LuckCount));
      DBEditListCount->setText(QString::number(row.ListCount));
      DBEdtAwardName->setText(Q(row.AwardName));
      DBEdtAwardImage->setText(Q(row.AwardImageName));
      EdtListIndex->setText(QString::number(row.ListIndex));
      m_item = row;
      config::ShowFromStart({DBEdtName, DBEdtAwardName, DBEdtAwardImage});
      ShowItemRules();
      {
        const QSignalBlocker quiet(MNamedIds);
        ShowNamed();
      }
      NamedIdsChange();
      shown = true;
    }
  }
  BtnDelItem->setEnabled(shown);
  BntCheat->setEnabled(shown && m_host->ShownDataImported());
  CKNamed->setEnabled(taskId > 0 && m_host->ShownDataImported());
  BtnSaveItem->setEnabled(false);
}

void TItemTab::LBItemClick() { ShowSelected(); }

void TItemTab::ItemFieldChange() { BtnSaveItem->setEnabled(true); }

void TItemTab::BtnAddItemClick() {
  // The list marks no item while a new one is typed: a highlighted line would say the fields
  // are that item's. Cancel goes back to it.
  m_rowBeforeAdd = LBItem->currentRow();
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->setCurrentRow(-1);
    LBItem->clearSelection();
  }
  EdtListIndex->setText(QString::number(LBItem->count() + 1));
  ClearFields();
  BtnSaveItem->setEnabled(true);
  DBEdtName->setFocus();
  BtnDelItem->setEnabled(false);
  BntCheat->setEnabled(false);
  CKNamed->setEnabled(m_host->ShownDataImported());
}

void TItemTab::Focus(config::ItemField field) {
  QWidget* w = nullptr;
  switch (field) {
    case config::ItemField::Name:
      w = DBEdtName;
      break;
    case config::ItemField::LuckCount:
      w = DBEdtLuckCount;
      break;
    case config::ItemField::ListCount:
      w = DBEditListCount;
      break;
    case config::ItemField::None:
      break;
  }
  if (w) w->setFocus();
}

void TItemTab::BtnSaveItemClick() {
  config::TItemSettings s;
  s.TaskId = m_host->ShownTaskId() > 0 ? std::to_string(m_host->ShownTaskId()) : std::string();
  s.ItemId = m_item.ItemId > 0 ? std::to_string(m_item.ItemId) : std::string();
  s.Name = FromQ(DBEdtName->text());
  s.LuckCount = FromQ(DBEdtLuckCount->text());
  s.ListCount = FromQ(DBEditListCount->text());
  s.AwardName = FromQ(DBEdtAwardName->text());
  s.AwardImage = FromQ(DBEdtAwardImage->text());
  const bool probability = m_host->ProbabilityChosen();
  const bool insert = m_item.ItemId == 0;
  config::TItemFailure failure;
  // The fields are judged before the rules, and nothing is stored when either is refused.
  TTaskRules rules;
  const std::vector<std::string> named = NamedIds();
  if (!probability) {
    config::TItemSettings probe = s;
    if (!config::CheckItem(probe, probability, failure)) {
      if (!failure.text.empty()) ShowMessageBox(failure.kind, failure.text);
      Focus(failure.focus);
      return;
    }
    int32_t luck = 0;
    text::ParseInt32(text::Trim(probe.LuckCount), luck);
    if (CKNamed->isChecked()) {
      // The ids are judged as the draw will judge them, before anything is stored.
      if (named.empty()) {
        ShowMessageBox(MessageKind::Attention, "请输入指定颁奖的号码");
        MNamedIds->setFocus();
        return;
      }
      MessageKind kind = MessageKind::Attention;
      std::string error;
      if (!CheckNamed(named, kind, error)) {
        ShowMessageBox(kind, error);
        MNamedIds->setFocus();
        return;
      }
    }
    if (!CheckedRules(m_item.ItemId, text::Trim(s.Name), luck, rules)) return;
  }
  const bool ok = config::SaveItem(s, probability, LBItem->count(), failure);
  if (probability) DBEditListCount->setText(Q(s.ListCount));
  DBEdtId->setText(Q(s.ItemId));
  // A failed statement leaves no id, so the next save inserts.
  if (text::Trim(s.ItemId).empty()) m_item.ItemId = 0;
  if (!ok) {
    if (!failure.text.empty()) ShowMessageBox(failure.kind, failure.text);
    Focus(failure.focus);
    return;
  }
  {
    // The item as stored, with the id a new one was given.
    config::TItemRow stored;
    bool found = false;
    std::string error;
    if (config::SelectItemByName(m_host->ShownTaskId(), text::Trim(s.Name), stored, found, error) &&
        found)
      m_item = stored;
  }
  std::string warning;
  bool rulesFailed = false;
  if (!probability) {
    // The rules go on the item's row under the id it has now.
    for (TItemRules& r : rules.Items)
      if (r.ItemId == 0) r.ItemId = m_item.ItemId;
    config::TRuleContext& context = m_host->RuleContext();
    for (config::TRuleItem& i : context.Items)
      if (i.ItemId == 0) i.ItemId = m_item.ItemId;
    std::string error;
    // The item is stored either way; the list below must show it.
    if (!config::SaveRules(m_host->ShownTaskId(), rules, error))
      ShowMessageBox(MessageKind::Error, error);
    else
      warning = config::TooFewText(rules, context, m_item.ItemId);
    rulesFailed = !error.empty();
    // The named ids under the item's id; none removes them. Written beside and renamed.
    std::string namedError;
    if (!SaveNamedIds(m_host->ShownTaskId(), m_item.ItemId, named, namedError)) {
      ShowMessageBox(MessageKind::Error, namedError);
      rulesFailed = true;
    }
  }
  if (!rulesFailed) ShowMessageBox(MessageKind::Information, "保存成功");
  if (!warning.empty()) ShowMessageBox(MessageKind::Warning, warning);
  const QString name = Q(text::Trim(s.Name));
  if (insert) {
    const QSignalBlocker quiet(LBItem);
    LBItem->addItem(name);
    LBItem->setCurrentRow(LBItem->count() - 1);
    EdtListIndex->setText(QString::number(LBItem->count()));
  } else if (QListWidgetItem* line = LBItem->currentItem()) {
    line->setText(name);
  }
  BtnDelItem->setEnabled(true);
  // Rules that were not stored stay to be saved again.
  BtnSaveItem->setEnabled(rulesFailed);
  BntCheat->setEnabled(m_host->ShownDataImported());
}

void TItemTab::BtnCancelItemClick() {
  if (!LBItem->currentItem() && m_rowBeforeAdd >= 0 && m_rowBeforeAdd < LBItem->count()) {
    const QSignalBlocker quiet(LBItem);
    LBItem->setCurrentRow(m_rowBeforeAdd);
  }
  m_rowBeforeAdd = -1;
  ShowSelected();
}

void TItemTab::BtnDelItemClick() {
  const int32_t taskId = m_host->ShownTaskId(), itemId = m_item.ItemId;
  if (taskId <= 0 || itemId <= 0) return;
  const int p = LBItem->currentRow();
  if (p < 0) return;
  if (AskYesNo(QStringLiteral("您确认要删除[") + DBEdtName->text() + QStringLiteral("]吗？")) !=
      Answer::Yes)
    return;
  QStringList lines = ItemLines();
  lines.removeAt(p);
  const int next = p < lines.size() ? p : static_cast<int>(lines.size()) - 1;
  std::vector<std::string> remaining;
  for (const QString& l : lines) remaining.push_back(FromQ(l));
  std::string error;
  if (!config::DeleteItem(taskId, itemId, remaining, next, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  {
    const QSignalBlocker quiet(LBItem);
    delete LBItem->takeItem(p);
    if (next >= 0) LBItem->setCurrentRow(next);
  }
  ShowSelected();
}

void TItemTab::SpeedButton1Click() {
  const int p = LBItem->currentRow();
  if (p <= 0) return;
  const int32_t taskId = m_host->ShownTaskId();
  if (taskId <= 0) return;
  QStringList lines = ItemLines();
  lines.move(p, p - 1);
  std::vector<std::string> order;
  for (const QString& l : lines) order.push_back(FromQ(l));
  std::string error;
  // The list moves only when the stored order moved with it.
  if (!config::RenumberItems(taskId, order, p, p - 1, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->insertItem(p - 1, LBItem->takeItem(p));
    LBItem->setCurrentRow(p - 1);
  }
  ShowSelected();
}

void TItemTab::SpeedButton2Click() {
  const int p = LBItem->currentRow();
  if (p < 0 || p >= LBItem->count() - 1) return;
  const int32_t taskId = m_host->ShownTaskId();
  if (taskId <= 0) return;
  QStringList lines = ItemLines();
  lines.move(p, p + 1);
  std::vector<std::string> order;
  for (const QString& l : lines) order.push_back(FromQ(l));
  std::string error;
  if (!config::RenumberItems(taskId, order, p, p + 1, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->insertItem(p + 1, LBItem->takeItem(p));
    LBItem->setCurrentRow(p + 1);
  }
  ShowSelected();
}

void TItemTab::SbSelectItemClick() {
  QString chosen;
  ChooseOpenFile(config::ImageFilter(), QStringLiteral("请选择图像文件"), chosen);
  DBEdtAwardImage->setText(chosen);
}

void TItemTab::BntCheatClick() {
  if (m_host->ShownTaskId() <= 0 || m_item.ItemId <= 0) return;
  if (AskYesNo(
          QStringLiteral("选择【指定中奖】名单后，该名单在抽奖时将被强制指定为中奖名单。该功能仅"
                         "用于抽奖前测试使用，请勿用于商业用途，是否继续？")) == Answer::No)
    return;
  m_host->OpenPresetEditor(m_item, text::Trim(FromQ(DBEdtName->text())));
}
