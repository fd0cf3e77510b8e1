#include "gui/config/StageColumnsDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/ui/Dialogs.h"
#include "gui/ui/Qt.h"

namespace {

constexpr int kShownColumn = 1;
constexpr int kMaskedColumn = 2;

QTableWidgetItem* Check(bool on, bool enabled) {
  auto* item = new QTableWidgetItem();
  item->setFlags(enabled ? Qt::ItemIsUserCheckable | Qt::ItemIsEnabled : Qt::ItemIsUserCheckable);
  item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  return item;
}

}  // namespace

TStageColumnsDlg::TStageColumnsDlg(int32_t taskId, QWidget* parent)
    : QDialog(parent), m_taskId(taskId) {
  setObjectName(QStringLiteral("StageColumnsDlg"));
  setWindowTitle(QStringLiteral("大屏显示列"));
  auto* layout = new QVBoxLayout(this);
  auto* note = new QLabel(
      QStringLiteral(
          "选择抽奖大屏上显示名单的哪些列。遮盖按“抽奖序号隐藏起始/截至位置”把该列的这些位置"
          "显示为X。中奖名单文件和导出始终保留全部列。"),
      this);
  note->setWordWrap(true);
  layout->addWidget(note);
  SGColumns = new QTableWidget(0, 3, this);
  SGColumns->setObjectName(QStringLiteral("SGColumns"));
  SGColumns->setHorizontalHeaderLabels(
      {QStringLiteral("列"), QStringLiteral("在大屏显示"), QStringLiteral("遮盖")});
  SGColumns->verticalHeader()->hide();
  SGColumns->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SGColumns->setSelectionMode(QAbstractItemView::NoSelection);
  SGColumns->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  layout->addWidget(SGColumns, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  BtnOk = new QPushButton(QStringLiteral("确定(&O)"), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnCancel = new QPushButton(QStringLiteral("取消(&C)"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  layout->addLayout(buttons);
  resize(420, 360);
  connect(BtnOk, &QPushButton::clicked, this, &TStageColumnsDlg::BtnOkClick);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // A column that is not shown cannot be masked.
  connect(SGColumns, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() != kShownColumn) return;
    QTableWidgetItem* mask = SGColumns->item(item->row(), kMaskedColumn);
    if (!mask || item->row() == 0) return;
    const bool shown = item->checkState() == Qt::Checked;
    mask->setFlags(shown ? Qt::ItemIsUserCheckable | Qt::ItemIsEnabled : Qt::ItemIsUserCheckable);
    if (!shown) mask->setCheckState(Qt::Unchecked);
  });
}

bool TStageColumnsDlg::Load() {
  std::string error;
  if (!config::LoadColumnChoices(m_taskId, m_columns, error)) {
    ShowMessageBox(MessageKind::Attention, error);
    return false;
  }
  const QSignalBlocker quiet(SGColumns);
  SGColumns->setRowCount(static_cast<int>(m_columns.size()));
  for (int r = 0; r < SGColumns->rowCount(); ++r) {
    const config::TColumnChoice& c = m_columns[static_cast<size_t>(r)];
    const bool shown = c.show != TColumnShow::Hidden;
    SGColumns->setItem(r, 0, new QTableWidgetItem(Q(c.title)));
    SGColumns->setItem(r, kShownColumn, Check(shown, true));
    if (r == 0) {
      // The id is masked where it always was (the roll and the winners list) and shows whole
      // on its card.
      auto* id = new QTableWidgetItem(QStringLiteral("按隐藏位置"));
      id->setFlags(Qt::NoItemFlags);
      SGColumns->setItem(r, kMaskedColumn, id);
    } else {
      SGColumns->setItem(r, kMaskedColumn, Check(c.show == TColumnShow::Masked, shown));
    }
  }
  return true;
}

void TStageColumnsDlg::BtnOkClick() {
  for (int r = 0; r < SGColumns->rowCount(); ++r) {
    const bool shown = SGColumns->item(r, kShownColumn)->checkState() == Qt::Checked;
    const bool masked = r > 0 && SGColumns->item(r, kMaskedColumn)->checkState() == Qt::Checked;
    m_columns[static_cast<size_t>(r)].show = !shown   ? TColumnShow::Hidden
                                             : masked ? TColumnShow::Masked
                                                      : TColumnShow::Shown;
  }
  std::string error;
  if (!config::SaveColumnChoices(m_taskId, m_columns, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  accept();
}
