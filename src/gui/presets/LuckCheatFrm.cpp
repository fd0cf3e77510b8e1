#include "gui/presets/LuckCheatFrm.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <algorithm>

#include "core/config/ItemSettings.h"
#include "core/config/RuleCheck.h"
#include "core/text/Text.h"
#include "gui/presets/LuckCheatAddFrm.h"
#include "gui/ui/Art.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/Qt.h"

namespace {

// Client area of the designed 665 × 480 window; the buttons keep their distance to its
// bottom-right corner.
constexpr int kClientWidth = 657;
constexpr int kClientHeight = 446;
constexpr int kButtonTop = 410;

}  // namespace

TLuckCheatForm::TLuckCheatForm(QWidget* parent)
    : QDialog(parent), m_layout(QSize(kClientWidth, kClientHeight)) {
  setObjectName(QStringLiteral("LuckCheatForm"));
  setWindowTitle(QStringLiteral("指定中奖"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinMaxButtonsHint);
  setFont(UiFont(QStringLiteral("宋体"), 12));
  resize(kClientWidth, kClientHeight);

  PTitle = new QLabel(QStringLiteral("指定中奖名单"), this);
  PTitle->setObjectName(QStringLiteral("PTitle"));
  PTitle->setGeometry(0, 0, kClientWidth, 25);
  PTitle->setAlignment(Qt::AlignCenter);
  PTitle->setFrameStyle(QFrame::Panel | QFrame::Raised);

  SGLuckId = new QTableWidget(2, 1, this);
  SGLuckId->setObjectName(QStringLiteral("SGLuckId"));
  SGLuckId->setGeometry(0, 23, kClientWidth, 370);
  SGLuckId->horizontalHeader()->hide();
  SGLuckId->verticalHeader()->hide();
  SGLuckId->verticalHeader()->setDefaultSectionSize(24);
  SGLuckId->setColumnWidth(0, 186);
  SGLuckId->setShowGrid(true);
  SGLuckId->setSelectionBehavior(QAbstractItemView::SelectRows);
  SGLuckId->setSelectionMode(QAbstractItemView::SingleSelection);
  SGLuckId->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SGLuckId->setWordWrap(false);
  SGLuckId->setTabKeyNavigation(false);

  auto button = [this](const char* name, const QString& caption, int x, const QString& hint,
                       const QString& glyph) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, kButtonTop, 75, 25);
    b->setToolTip(hint);
    b->setCursor(Qt::PointingHandCursor);
    b->setIcon(ArtIcon(glyph, QSize(16, 16)));
    b->setAutoDefault(false);
    return b;
  };
  BtnAddItem = button("BtnAddItem", QStringLiteral("增加(&A)"), 250, QString(),
                      QStringLiteral("preset_add"));
  BtnDelItem = button("BtnDelItem", QStringLiteral("删除(&D)"), 330, QString(),
                      QStringLiteral("preset_delete"));
  BtnSaveItem = button("BtnSaveItem", QStringLiteral("保存(&S)"), 410,
                       QStringLiteral("点击保存修改结果"), QStringLiteral("preset_save"));
  BtnCancelItem = button("BtnCancelItem", QStringLiteral("取消(&C)"), 490,
                         QStringLiteral("点击取消修改"), QStringLiteral("preset_cancel"));
  BtnCloseItem = button("BtnCloseItem", QStringLiteral("返回(&R)"), 570,
                        QStringLiteral("点击退出配置界面"), QStringLiteral("preset_back"));

  // The buttons keep to the window's bottom right.
  for (QPushButton* b : {BtnAddItem, BtnDelItem, BtnSaveItem, BtnCancelItem, BtnCloseItem})
    m_layout.Place(b, b->geometry(), TDesignLayout::Right | TDesignLayout::Bottom);

  connect(BtnAddItem, &QPushButton::clicked, this, &TLuckCheatForm::BtnAddItemClick);
  connect(BtnDelItem, &QPushButton::clicked, this, &TLuckCheatForm::BtnDelItemClick);
  connect(BtnSaveItem, &QPushButton::clicked, this, &TLuckCheatForm::BtnSaveItemClick);
  connect(BtnCancelItem, &QPushButton::clicked, this, &TLuckCheatForm::BtnCancelItemClick);
  connect(BtnCloseItem, &QPushButton::clicked, this, &TLuckCheatForm::BtnCloseItemClick);

  const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
  const QRect area = over ? over->geometry()
                          : (QGuiApplication::primaryScreen()
                                 ? QGuiApplication::primaryScreen()->availableGeometry()
                                 : QRect(0, 0, kClientWidth, kClientHeight));
  move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

int TLuckCheatForm::SetUp(const TPresetTarget& target) {
  m_target = target;
  PTitle->setText(QStringLiteral("[") + Q(target.TaskName) + QStringLiteral("]:  [") +
                  Q(target.ItemName) + QStringLiteral("]  指定中奖名单"));
  if (!LoadColumnHeads()) return 0;
  // Without its rules the editor still works; it then cannot tell a preset that breaks them.
  std::string error;
  if (!config::LoadPresetRules(target.TaskId, m_rules, m_excluded, error))
    ShowMessageBox(MessageKind::Error, error);
  return LoadPresetWinners() ? 1 : 0;
}

bool TLuckCheatForm::KeepsRules(const std::string& line, std::string& message) const {
  return config::PresetKeepsRules(m_rules, {m_target.ItemId, m_target.ItemName, m_target.LuckCount},
                                  m_heads, line, m_list.Lines(), m_excluded, message);
}

bool TLuckCheatForm::LoadColumnHeads() {
  std::vector<std::string> heads;
  std::string error;
  if (!ReadPresetHeads(m_target.DataFilePath, heads, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  m_heads = heads;
  for (size_t i = 0; i < heads.size(); ++i) {
    const int col = static_cast<int>(i);
    if (SGLuckId->columnCount() < col + 1) {
      SGLuckId->setColumnCount(col + 1);
      SGLuckId->setColumnWidth(col, 160);
    }
    SetGridCell(SGLuckId, 0, col, Q(heads[i]));
  }
  // Row 0 is the fixed head row: it looks like one and cannot be selected.
  const QBrush face = palette().brush(QPalette::Button);
  for (int c = 0; c < SGLuckId->columnCount(); ++c) {
    SetGridCell(SGLuckId, 0, c, GridCell(SGLuckId, 0, c));
    QTableWidgetItem* it = SGLuckId->item(0, c);
    it->setFlags(Qt::ItemIsEnabled);
    it->setBackground(face);
  }
  return true;
}

bool TLuckCheatForm::LoadPresetWinners() {
  SGLuckId->setRowCount(2);
  for (int c = 0; c < SGLuckId->columnCount(); ++c) SetGridCell(SGLuckId, 1, c, QString());
  std::vector<std::string> lines;
  std::string error;
  const bool ok = ReadPresetLines(m_target.TaskId, m_target.ItemId, lines, error);
  m_list.Load(lines);
  const int columns = SGLuckId->columnCount();
  for (int e = 0; e < m_list.Count(); ++e) {
    const int row = e + 1;
    if (row >= SGLuckId->rowCount()) SGLuckId->setRowCount(row + 1);
    const std::vector<std::string> cells = PresetCells(m_list.Lines()[e], columns);
    for (int c = 0; c < columns; ++c) SetGridCell(SGLuckId, row, c, Q(cells[c]));
  }
  SGLuckId->setCurrentCell(1, 0);
  if (!ok) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  return true;
}

std::string TLuckCheatForm::IdHead() const { return text::Trim(FromQ(GridCell(SGLuckId, 0, 0))); }

void TLuckCheatForm::BtnAddItemClick() {
  if (m_list.Full(m_target.LuckCount)) {
    ShowMessageBox(MessageKind::Attention,
                   PresetListFullText(m_target.ItemName, m_target.LuckCount));
    return;
  }
  TLuckCheatAddForm dialog(this);
  dialog.SetInputs(IdHead(), m_target.DataFilePath, &m_list);
  dialog.SetCheck(
      [this](const std::string& line, std::string& message) { return KeepsRules(line, message); });
  dialog.exec();
  const std::string line = dialog.Output();
  if (m_list.Add(line, m_target.LuckCount) == TPresetList::AddResult::Added)
    GridAppendLine(line, ' ', SGLuckId);
}

void TLuckCheatForm::BtnDelItemClick() {
  const int row = std::max(1, SGLuckId->currentRow());
  m_list.Delete(row - 1);
  GridDeleteRow(SGLuckId, row);
}

void TLuckCheatForm::BtnSaveItemClick() {
  // Without column heads there is nothing to save the list against; the saved file stays.
  if (IdHead().empty()) return;
  std::string error;
  if (!SavePresetLines(m_target.TaskId, m_target.ItemId, m_list.Lines(), error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  m_list.Saved();
  ShowMessageBox(MessageKind::Information, QStringLiteral("保存成功!"));
}

void TLuckCheatForm::BtnCancelItemClick() {
  if (m_list.Modified() &&
      AskYesNo(QStringLiteral("取消将丢失修改，是否确定要重新初始化列表？")) != Answer::Yes)
    return;
  if (!LoadPresetWinners()) reject();
}

void TLuckCheatForm::BtnCloseItemClick() {
  // No is the default: a habitual Enter keeps the edits.
  if (m_list.Modified() &&
      AskYesNo(QStringLiteral("返回将丢失本次修改，是否确定不保存直接退出界面？"), Answer::No) !=
          Answer::Yes)
    return;
  accept();
}

void TLuckCheatForm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  m_layout.Apply(size());
}

void TLuckCheatForm::keyPressEvent(QKeyEvent* e) {
  // Esc leaves as 返回 does, asking first about unsaved changes.
  if (e->key() == Qt::Key_Escape) {
    e->accept();
    BtnCloseItemClick();
    return;
  }
  QDialog::keyPressEvent(e);
}

void OpenPresetEditor(QWidget* owner, const TPresetTarget& target) {
  TLuckCheatForm editor(owner);
  if (editor.SetUp(target) == 1) editor.exec();
}

void OpenPresetEditorFromConfig(QWidget* owner, const config::TPresetEditorArgs& args) {
  OpenPresetEditor(owner, {args.TaskId, args.TaskName, args.ItemId, args.ItemName,
                           args.ImportedDataFile, args.LuckCount});
}
