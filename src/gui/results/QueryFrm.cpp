#include "gui/results/QueryFrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <ctime>

#include "core/claims/ClaimDesk.h"
#include "core/draw/DrawnItems.h"
#include "core/draw/NamedWinners.h"
#include "core/export/ExcelExport.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/VoidFile.h"
#include "core/records/WinnerFiles.h"
#include "core/results/ResultsVoid.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/AuditBundle.h"
#include "gui/results/NoticePage.h"
#include "gui/results/VoidReasonDlg.h"
#include "gui/ui/Art.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/Qt.h"
#include "gui/ui/WinnerGrid.h"

namespace {

// Client area the controls' places are given in; the frame comes on top.
constexpr int kDesignWidth = 777;
constexpr int kDesignHeight = 547;
constexpr int kSingleColumnWidth = 500;
// The largest the window opens, however large the screen.
constexpr int kLargestWidth = 1100;
constexpr int kLargestHeight = 760;

// The busy cursor for the length of an export, restored on every way out.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

QLabel* Panel(QWidget* parent, const char* name, Qt::Alignment align) {
  auto* p = new QLabel(parent);
  p->setObjectName(QString::fromLatin1(name));
  p->setFrameStyle(QFrame::Panel | QFrame::Raised);
  p->setAlignment(align | Qt::AlignVCenter);
  p->setIndent(4);
  return p;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, const QString& hint) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setToolTip(hint);
  b->setCursor(Qt::PointingHandCursor);
  // Enter in the search field searches; it must not press a button of the window.
  b->setAutoDefault(false);
  b->setDefault(false);
  return b;
}

}  // namespace

TQueryForm::TQueryForm(TDrawSession& session, QWidget* parent)
    : QDialog(parent), m_session(session), m_layout(QSize(kDesignWidth, kDesignHeight)) {
  setObjectName(QStringLiteral("QueryForm"));
  setWindowTitle(QStringLiteral("抽奖结果查询"));
  setFont(UiFont(QStringLiteral("宋体"), 12));
  setMinimumSize(560, 300);

  PItem = Panel(this, "PItem", Qt::AlignLeft);
  m_layout.Place(PItem, {0, 0, 200, 25}, TDesignLayout::Left);
  PTitle = Panel(this, "PTitle", Qt::AlignHCenter);
  m_layout.Place(PTitle, {200, 0, 569, 25}, TDesignLayout::Wide);

  LBItem = new QListWidget(this);
  LBItem->setObjectName(QStringLiteral("LBItem"));
  LBItem->setCursor(Qt::PointingHandCursor);
  LBItem->setUniformItemSizes(true);
  m_layout.Place(LBItem, {0, 24, 201, 486}, TDesignLayout::Tall);

  SGLuckId = new QTableWidget(2, 1, this);
  SGLuckId->setObjectName(QStringLiteral("SGLuckId"));
  SGLuckId->setColumnWidth(0, 186);
  SGLuckId->setSelectionBehavior(QAbstractItemView::SelectRows);
  SGLuckId->setSelectionMode(QAbstractItemView::SingleSelection);
  SGLuckId->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SGLuckId->setShowGrid(true);
  SGLuckId->setWordWrap(false);
  // One Tab stop: the arrow keys move between winners.
  SGLuckId->setTabKeyNavigation(false);
  SGLuckId->verticalHeader()->hide();
  SGLuckId->verticalHeader()->setDefaultSectionSize(20);
  SGLuckId->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SGLuckId->horizontalHeader()->setHighlightSections(false);
  SGLuckId->horizontalHeader()->setStretchLastSection(false);
  m_layout.Place(SGLuckId, {199, 23, 571, 410}, TDesignLayout::Wide | TDesignLayout::Tall);
  ShowHeadRow();

  LbCount = new QLabel(QStringLiteral("个数"), this);
  LbCount->setObjectName(QStringLiteral("LbCount"));
  LbCount->setFont(UiFont(QStringLiteral("宋体"), 14));
  QPalette red = LbCount->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  LbCount->setPalette(red);
  m_layout.Place(LbCount, {210, 446, 560, 16}, TDesignLayout::Bottom | TDesignLayout::Wide);

  Label1 = new QLabel(QStringLiteral("查找："), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  m_layout.Place(Label1, {210, 470, 36, 14}, TDesignLayout::Bottom);

  EdtFindId = new QLineEdit(this);
  EdtFindId->setObjectName(QStringLiteral("EdtFindId"));
  EdtFindId->setMaxLength(50);
  EdtFindId->setToolTip(QStringLiteral("按回车键或右边按钮开始查找"));
  m_layout.Place(EdtFindId, {245, 466, 225, 20}, TDesignLayout::Bottom);

  SBFind = new QToolButton(this);
  SBFind->setObjectName(QStringLiteral("SBFind"));
  SBFind->setAutoRaise(true);
  SBFind->setCursor(Qt::PointingHandCursor);
  SBFind->setIcon(ArtIcon(QStringLiteral("glyph_find"), QSize(16, 16)));
  SBFind->setToolTip(QStringLiteral("按回车键或右边按钮开始查找"));
  m_layout.Place(SBFind, {469, 466, 23, 20}, TDesignLayout::Bottom);

  CBOnly = new QCheckBox(QStringLiteral("仅导出当前奖项"), this);
  CBOnly->setObjectName(QStringLiteral("CBOnly"));
  CBOnly->setChecked(false);
  CBOnly->setToolTip(QStringLiteral("选择是否仅导出当前选中奖项的抽奖结果"));
  m_layout.Place(CBOnly, {514, 468, 129, 17}, TDesignLayout::Bottom);

  BitBtn2 = Button(this, "BitBtn2", QStringLiteral("导出到Excel(&E)"),
                   QStringLiteral("以Excel文件方式保存抽奖结果"));
  m_layout.Place(BitBtn2, {454, 506, 111, 25}, TDesignLayout::Bottom | TDesignLayout::Right);
  BtnAudit = Button(this, "BtnAudit", QStringLiteral("导出审计包(&A)"),
                    QStringLiteral("把名单、指定中奖、抽奖记录和中奖名单打包，供 tombolix-verify "
                                   "验证抽奖"));
  m_layout.Place(BtnAudit, {331, 506, 111, 25}, TDesignLayout::Bottom | TDesignLayout::Right);
  BtnClaim = Button(this, "BtnClaim", QStringLiteral("领取(&L)"),
                    QStringLiteral("登记选中的中奖者已领取奖品（没有手机的中奖者）"));
  m_layout.Place(BtnClaim, {664, 466, 106, 25}, TDesignLayout::Bottom | TDesignLayout::Right);
  BtnVoid = Button(
      this, "BtnVoid", QStringLiteral("作废(&V)…"),
      QStringLiteral("作废选中的中奖者（误抽、不符合资格、本人放弃），记入抽奖记录，名额空缺"));
  m_layout.Place(BtnVoid, {208, 506, 111, 25}, TDesignLayout::Bottom | TDesignLayout::Right);
  // Reprinted after the draw too: the same numbers the guests checked against.
  BtnNotice =
      Button(this, "BtnNotice", QStringLiteral("公示单(&G)…"),
             QStringLiteral("保存本任务的公示单（PDF和PNG）：奖项、规则、名单人数、指纹和根值"));
  m_layout.Place(BtnNotice, {4, 516, 193, 25}, TDesignLayout::Bottom);
  BitBtn1 = Button(this, "BitBtn1", QStringLiteral("导出到文本(&T)"),
                   QStringLiteral("以文本文件方式保存抽奖结果"));
  m_layout.Place(BitBtn1, {577, 506, 108, 25}, TDesignLayout::Bottom | TDesignLayout::Right);
  BtnCloseBase =
      Button(this, "BtnCloseBase", QStringLiteral("返回(&R)"), QStringLiteral("点击退出查询界面"));
  m_layout.Place(BtnCloseBase, {695, 506, 75, 25}, TDesignLayout::Bottom | TDesignLayout::Right);

  QWidget* order[] = {LBItem,  SGLuckId, EdtFindId, SBFind,  CBOnly,    BtnClaim,
                      BtnVoid, BtnAudit, BitBtn2,   BitBtn1, BtnNotice, BtnCloseBase};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(LBItem, &QListWidget::currentRowChanged, this, &TQueryForm::LBItemClick);
  connect(EdtFindId, &QLineEdit::returnPressed, this, &TQueryForm::EdtFindIdKeyPress);
  connect(SBFind, &QToolButton::clicked, this, &TQueryForm::SBFindClick);
  connect(BitBtn1, &QPushButton::clicked, this, &TQueryForm::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TQueryForm::BitBtn2Click);
  connect(BtnAudit, &QPushButton::clicked, this, &TQueryForm::BtnAuditClick);
  connect(BtnClaim, &QPushButton::clicked, this, &TQueryForm::BtnClaimClick);
  connect(BtnVoid, &QPushButton::clicked, this, &TQueryForm::BtnVoidClick);
  connect(BtnNotice, &QPushButton::clicked, this,
          [this] { SaveNotice(m_session.Task.TaskId, this); });
  connect(BtnCloseBase, &QPushButton::clicked, this, &TQueryForm::BtnCloseBaseClick);

  const QWidget* over = parent ? parent->window() : nullptr;
  const QScreen* screen =
      over && over->screen() ? over->screen() : QGuiApplication::primaryScreen();
  const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  // Where the screen has room the window opens larger (up to nine tenths of it), so that a
  // list's fields and the marks beside them (缺席, 签到, 领取) fit side by side at 1024x768.
  const QSize start = QSize(kDesignWidth, kDesignHeight)
                          .expandedTo(QSize(room.width() * 9 / 10, room.height() * 9 / 10)
                                          .boundedTo(QSize(kLargestWidth, kLargestHeight)));
  resize(start);
  const QRect area = over ? over->frameGeometry() : room;
  QRect placed(area.center() - QPoint(start.width() / 2, start.height() / 2), start);
  // Kept on the screen when the window it opens over is smaller or near an edge.
  placed.moveLeft(std::max(room.left(), std::min(placed.left(), room.right() - start.width())));
  placed.moveTop(std::max(room.top(), std::min(placed.top(), room.bottom() - start.height())));
  move(placed.topLeft());
}

void TQueryForm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  m_layout.Apply(size());
  FitColumns();
}

void TQueryForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FitColumns();
}

void TQueryForm::FitColumns() {
  const int columns = SGLuckId->columnCount();
  // A single column (one field, or the line of an item not drawn) keeps its set width.
  if (columns <= 1) return;
  const QFontMetrics cells(SGLuckId->font());
  const QFontMetrics heads(SGLuckId->horizontalHeader()->font());
  // A long text (a void's reason) is as wide as it needs while the grid has room.
  constexpr int kPad = 14, kMin = 40, kMax = 560;
  // The first rows tell a column's width; a thousand rows need not all be measured.
  const int rows = std::min(SGLuckId->rowCount(), 200);
  std::vector<int> wanted(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    int w = heads.horizontalAdvance(GridCell(SGLuckId, 0, c)) + kPad + 8;
    for (int r = 1; r < rows; ++r) {
      if (const QTableWidgetItem* it = SGLuckId->item(r, c))
        w = std::max(w, QFontMetrics(it->font()).horizontalAdvance(it->text()) + kPad);
    }
    wanted[static_cast<size_t>(c)] = std::clamp(w, kMin, kMax);
  }
  // The room beside a vertical scroll bar, whether or not it shows now.
  const int room = SGLuckId->width() - 2 * SGLuckId->frameWidth() -
                   SGLuckId->verticalScrollBar()->sizeHint().width();
  // The largest cap under which all columns fit; only columns wider than it are cut.
  int cap = kMax;
  const auto total = [&](int limit) {
    int sum = 0;
    for (int w : wanted) sum += std::min(w, limit);
    return sum;
  };
  while (cap > kMin && total(cap) > room) --cap;
  for (int c = 0; c < columns; ++c)
    SGLuckId->setColumnWidth(c, std::min(wanted[static_cast<size_t>(c)], cap));
}

int TQueryForm::SetUpQuery(int32_t taskId) {
  if (taskId <= 0) {
    ShowMessageBox(MessageKind::Information, "抽奖任务未选择,请重新选择");
    return 0;
  }
  std::string error;
  // The items as the draw left them: one added on the night is listed with its winners.
  if (!m_session.LoadTask(taskId, error) ||
      !LoadItemsAsDrawn(taskId, m_session.Items, m_session.ItemCount, m_session.LuckTotal, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return 0;
  }
  const QString taskName = Q(m_session.Task.TaskName);
  setWindowTitle(QStringLiteral("抽奖结果查询--") + taskName);
  PItem->setText(QStringLiteral("[") + taskName + QStringLiteral("]奖项列表:"));
  FillItemList();
  if (LBItem->count() > 0) {
    LBItem->setCurrentRow(0);
    ShowItemWinners();
  }
  if (SGLuckId->columnCount() == 1) SGLuckId->setColumnWidth(0, kSingleColumnWidth);
  // Only a finished draw that can be checked has an audit to export.
  TAuditRows rows;
  BtnAudit->setEnabled(AuditReport(m_session.Task, rows, error));
  // Only a finished draw from a list has a record a void can go on.
  BtnVoid->setEnabled(query::MayVoidFromResults(m_session.Task));
  return 1;
}

void TQueryForm::FillItemList() {
  // Filling is not a choice of the operator: the winners are shown once, by the caller.
  const QSignalBlocker quiet(LBItem);
  LBItem->clear();
  for (const TLuckItem& it : m_session.Items) LBItem->addItem(Q(it.ItemName));
  if (LBItem->count() > 0) LBItem->setCurrentRow(0);
}

void TQueryForm::ShowItemWinners() {
  const int index = LBItem->currentRow();
  if (LBItem->count() == 0 || index < 0 || index >= static_cast<int>(m_session.Items.size()))
    return;
  const TLuckItem& item = m_session.Items[static_cast<size_t>(index)];
  SGLuckId->setRowCount(2);
  // The previous item's heads must not stand over this item's winners.
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < SGLuckId->columnCount(); ++c) SetGridCell(SGLuckId, r, c, QString());
  PTitle->setText(Q(item.ItemName) + QStringLiteral("中奖名单："));

  m_winners = TWinnerFile();
  m_absent = TAbsentFile();
  m_voids = TVoidFile();
  m_voidRow = -1;
  std::string error;
  const bool ok = LoadWinnerFile(m_session.Task.TaskId, item.ItemId, m_winners, error);
  if (ok && !m_winners.exists) {
    // Not drawn yet: no heads and no empty row, but a line that says so.
    SGLuckId->setColumnCount(1);
    SGLuckId->setColumnWidth(0, kSingleColumnWidth);
    SGLuckId->setRowCount(1);
    ShowHeadRow();
    SGLuckId->horizontalHeader()->hide();
    LbCount->setText(Q(query::NotDrawnText()));
    return;
  }
  SGLuckId->horizontalHeader()->show();
  int count = 0;
  if (ok) ShowWinnerFile(m_winners, SGLuckId, count);
  ShowHeadRow();
  if (!ok) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  LbCount->setText(error.empty() ? Q(query::WinnerCountText(count)) : Q(error));
  ShowAbsent(item);
  ShowVoids(item);
  ShowNamed(item, count);
  ShowCheckins(count);
  ShowClaims(item, count);
  FitColumns();
  SGLuckId->setCurrentCell(1, 0);
  SGLuckId->selectRow(1);
}

void TQueryForm::ShowAbsent(const TLuckItem& item) {
  // Under the winners, marked: the absent winners and who took their places.
  TAbsentFile absent;
  std::string error;
  if (!LoadAbsentFile(m_session.Task.TaskId, item.ItemId, absent, error) || !absent.exists ||
      absent.rows.empty())
    return;
  m_absent = absent;
  size_t fields = absent.head.size();
  for (const TAbsentFile::Row& r : absent.rows) fields = std::max(fields, r.fields.size());
  const int mark = static_cast<int>(std::max<size_t>(fields, 1));
  if (SGLuckId->columnCount() < mark + 1) {
    SGLuckId->setColumnCount(mark + 1);
    SGLuckId->setColumnWidth(mark, 160);
  }
  int row = SGLuckId->rowCount();
  SGLuckId->setRowCount(row + 1 + static_cast<int>(absent.rows.size()));
  if (GridCell(SGLuckId, 0, mark).isEmpty()) SetGridCell(SGLuckId, 0, mark, QStringLiteral("缺席"));
  SetGridCell(SGLuckId, row, 0, QStringLiteral("缺席名单："));
  const QColor grey(128, 128, 128);
  for (const TAbsentFile::Row& r : absent.rows) {
    ++row;
    for (size_t c = 0; c < r.fields.size(); ++c)
      SetGridCell(SGLuckId, row, static_cast<int>(c), Q(r.fields[c]));
    SetGridCell(SGLuckId, row, mark, QStringLiteral("缺席, 替补:") + Q(r.replacementId));
    for (int c = 0; c < SGLuckId->columnCount(); ++c) {
      if (QTableWidgetItem* cell = SGLuckId->item(row, c)) {
        cell->setForeground(grey);
        QFont f = cell->font();
        f.setStrikeOut(c < mark);
        cell->setFont(f);
      }
    }
  }
  ShowHeadRow();
}

void TQueryForm::ShowVoids(const TLuckItem& item) {
  TVoidFile voids;
  std::string error;
  if (!LoadItemVoids(m_session.Task.TaskId, item.ItemId, voids, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  if (!voids.exists || voids.rows.empty()) return;
  m_voids = voids;
  int fields = static_cast<int>(m_winners.head.size());
  for (const TVoidRow& r : voids.rows)
    fields = std::max(fields, static_cast<int>(text::SplitFields(r.CandidateLine).size()));
  if (SGLuckId->columnCount() < fields) SGLuckId->setColumnCount(fields);
  const int col = FreeColumn(240);
  SetGridCell(SGLuckId, 0, col, QStringLiteral("作废"));
  int row = SGLuckId->rowCount();
  SGLuckId->setRowCount(row + 1 + static_cast<int>(voids.rows.size()));
  SetGridCell(SGLuckId, row, 0, QStringLiteral("作废名单："));
  m_voidRow = row + 1;
  // Struck through and red: still on the record, no longer a winner.
  const QColor red(176, 0, 0);
  for (const TVoidRow& r : voids.rows) {
    ++row;
    const std::vector<std::string> f = text::SplitFields(r.CandidateLine);
    for (size_t c = 0; c < f.size(); ++c) SetGridCell(SGLuckId, row, static_cast<int>(c), Q(f[c]));
    // The clock only: the date is the night's; the pointer shows it all.
    SetGridCell(SGLuckId, row, col, Q(VoidMarkText(r, true)));
    if (QTableWidgetItem* cell = SGLuckId->item(row, col)) cell->setToolTip(Q(VoidMarkText(r)));
    for (int c = 0; c < SGLuckId->columnCount(); ++c) {
      if (QTableWidgetItem* cell = SGLuckId->item(row, c)) {
        cell->setForeground(red);
        QFont font = cell->font();
        font.setStrikeOut(c != col);
        cell->setFont(font);
      }
    }
  }
  ShowHeadRow();
}

void TQueryForm::ShowCheckins(int count) {
  // Whether each winner checked in on the LAN, when the task had check-in.
  std::vector<std::string> marks;
  std::string error;
  if (!checkin::CheckinMarks(m_session.Task.TaskId, m_winners.rows, marks, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  if (marks.empty()) return;
  const int col = FreeColumn(180);
  SetGridCell(SGLuckId, 0, col, Q(checkin::CheckinColumnHead()));
  for (int r = 0; r < count && r < static_cast<int>(marks.size()); ++r)
    SetGridCell(SGLuckId, r + 1, col, Q(marks[static_cast<size_t>(r)]));
  ShowHeadRow();
}

int TQueryForm::FreeColumn(int width) {
  // The first column after the winners' fields (and the absent mark) that no head names.
  int col = static_cast<int>(m_winners.head.size());
  while (col < SGLuckId->columnCount() && !GridCell(SGLuckId, 0, col).isEmpty()) ++col;
  if (col >= SGLuckId->columnCount()) {
    SGLuckId->setColumnCount(col + 1);
    SGLuckId->setColumnWidth(col, width);
  }
  return col;
}

void TQueryForm::ShowClaims(const TLuckItem& item, int count) {
  claims::TClaimsByWinner claimed;
  std::string error;
  if (!claims::ResultsClaims(m_session.Task.TaskId, claimed, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  // Like the check-in column: only for a draw whose prizes are being claimed.
  if (claimed.empty()) return;
  const std::vector<std::string> marks = claims::ClaimMarks(claimed, item.ItemId, m_winners.rows);
  const int col = FreeColumn(150);
  SetGridCell(SGLuckId, 0, col, Q(claims::ClaimColumnHead()));
  for (int r = 0; r < count && r < static_cast<int>(marks.size()); ++r)
    SetGridCell(SGLuckId, r + 1, col, Q(marks[static_cast<size_t>(r)]));
  ShowHeadRow();
}

void TQueryForm::ShowNamed(const TLuckItem& item, int count) {
  TNamedWinners named;
  std::string unmarked;
  // Shown all the same, unmarked, when the journal cannot be read; the audit says why.
  LoadNamedWinners(m_session.Task.TaskId, named, unmarked);
  std::vector<std::string> ids;
  for (const std::vector<std::string>& r : m_winners.rows) ids.push_back(r.empty() ? "" : r[0]);
  const std::vector<std::string> marks = NamedMarks(named, item.ItemId, ids);
  if (marks.empty()) return;
  const int col = FreeColumn(90);
  SetGridCell(SGLuckId, 0, col, Q(NamedColumnHead()));
  for (int r = 0; r < count && r < static_cast<int>(marks.size()); ++r)
    SetGridCell(SGLuckId, r + 1, col, Q(marks[static_cast<size_t>(r)]));
  ShowHeadRow();
}

void TQueryForm::BtnClaimClick() {
  const int index = LBItem->currentRow();
  const int row = SGLuckId->currentRow();
  if (index < 0 || index >= static_cast<int>(m_session.Items.size()) || row < 1 ||
      !m_winners.exists) {
    ShowMessageBox(MessageKind::Attention, "请先选择中奖者");
    return;
  }
  // Winner rows come first; below them the absent winners, which the desk refuses by name.
  const std::string id = static_cast<size_t>(row - 1) < m_winners.rows.size()
                             ? m_winners.rows[static_cast<size_t>(row - 1)].front()
                             : FromQ(GridCell(SGLuckId, row, 0));
  if (id.empty() || GridCell(SGLuckId, row, 0) == QStringLiteral("缺席名单：")) {
    ShowMessageBox(MessageKind::Attention, "请先选择中奖者");
    return;
  }
  const TLuckItem& item = m_session.Items[static_cast<size_t>(index)];
  std::string error;
  const claims::TClaimResult r =
      claims::ClaimFromResults(m_session.Task.TaskId, id, item.ItemId, error, m_claims);
  const std::string text = claims::ClaimAnswerText(r.Answer, r.Prize.Time);
  switch (r.Answer) {
    case claims::TClaimAnswer::Claimed:
      ShowMessageBox(MessageKind::Information,
                     query::ClaimRecordedText(id, r.Prize.Winner.Name, item.ItemName, r.Prize.Time,
                                              r.Prize.Desk));
      break;
    case claims::TClaimAnswer::AlreadyClaimed:
      ShowMessageBox(MessageKind::Information, text + " (" + r.Prize.Desk + ")");
      break;
    case claims::TClaimAnswer::NotSaved:
      ShowMessageBox(MessageKind::Error, error.empty() ? text : error);
      return;
    default:
      ShowMessageBox(MessageKind::Attention, text);
      return;
  }
  ShowItemWinners();
  SGLuckId->setCurrentCell(row, 0);
  SGLuckId->selectRow(row);
}

void TQueryForm::BtnVoidClick() {
  const int index = LBItem->currentRow();
  const int row = SGLuckId->currentRow();
  if (index < 0 || index >= static_cast<int>(m_session.Items.size()) || row < 1 ||
      !m_winners.exists) {
    ShowMessageBox(MessageKind::Attention, "请先选择中奖者");
    return;
  }
  // A winner row, or a voided one (which the engine refuses by name); nothing else.
  const size_t winner = static_cast<size_t>(row - 1);
  const bool isWinner = winner < m_winners.rows.size() && !m_winners.rows[winner].empty();
  const bool isVoided = m_voidRow > 0 && row >= m_voidRow &&
                        static_cast<size_t>(row - m_voidRow) < m_voids.rows.size();
  if (!isWinner && !isVoided) {
    ShowMessageBox(MessageKind::Attention, "请先选择中奖者");
    return;
  }
  const int winnerRow = isWinner ? static_cast<int>(winner) : -1;
  const std::vector<std::string> fields =
      isWinner
          ? m_winners.rows[winner]
          : text::SplitFields(m_voids.rows[static_cast<size_t>(row - m_voidRow)].CandidateLine);
  const std::string id = fields.front();
  std::string shown;
  for (const std::string& f : fields) shown += (shown.empty() ? "" : " ") + f;
  const TLuckItem item = m_session.Items[static_cast<size_t>(index)];
  const int32_t taskId = m_session.Task.TaskId;

  std::string message;
  {
    BusyCursor busy;
    if (!query::CheckVoidFromResults(m_session, taskId, item.ItemId, winnerRow, id, message)) {
      ShowMessageBox(MessageKind::Attention, message);
      return;
    }
  }
  // A prize handed over already: asked first, and the record says so.
  claims::TClaimsByWinner claimed;
  if (!claims::ResultsClaims(taskId, claimed, message)) {
    ShowMessageBox(MessageKind::Error, message);
    return;
  }
  const auto claim = claimed.find({id, item.ItemId});
  if (claim != claimed.end() &&
      AskYesNo(Q(query::ClaimedVoidQuestion(claim->second.Time, claim->second.Desk)), Answer::No) !=
          Answer::Yes)
    return;
  TVoidReasonDlg ask("[" + item.ItemName + "] " + shown, this);
  if (ask.exec() != QDialog::Accepted || ask.Reason().empty()) return;
  const std::string chosen = ask.Reason();
  if (AskYesNo(Q(query::VoidConfirmText(item.ItemName, shown, chosen)), Answer::No) != Answer::Yes)
    return;
  const std::string reason =
      claim == claimed.end()
          ? chosen
          : query::ClaimedVoidReason(chosen, claim->second.Time, claim->second.Desk);
  const std::string time = text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S");
  bool ok = false;
  {
    BusyCursor busy;
    ok = query::VoidFromResults(m_session, taskId, item.ItemId, winnerRow, id, reason, time,
                                message);
  }
  if (ok) {
    // The paired prize desks refuse the voided winner from now on.
    std::string error;
    if (!claims::RetakeResults(taskId, m_claims, error)) ShowMessageBox(MessageKind::Error, error);
    ShowMessageBox(MessageKind::Information, query::VoidDoneText(item.ItemName, id, chosen));
  } else {
    ShowMessageBox(MessageKind::Attention, message);
  }
  // The item list and the winners as the files now hold them.
  FillItemList();
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->setCurrentRow(std::min(index, LBItem->count() - 1));
  }
  ShowItemWinners();
  if (ok && m_voidRow > 0) {
    SGLuckId->setCurrentCell(m_voidRow + static_cast<int>(m_voids.rows.size()) - 1, 0);
    SGLuckId->scrollTo(SGLuckId->model()->index(SGLuckId->currentRow(), 0));
  }
}

void TQueryForm::ShowHeadRow() {
  if (SGLuckId->rowCount() < 1) SGLuckId->setRowCount(1);
  for (int c = 0; c < SGLuckId->columnCount(); ++c) {
    const QString head = GridCell(SGLuckId, 0, c);
    if (QTableWidgetItem* h = SGLuckId->horizontalHeaderItem(c)) {
      h->setText(head);
    } else {
      SGLuckId->setHorizontalHeaderItem(c, new QTableWidgetItem(head));
    }
  }
  SGLuckId->setRowHidden(0, true);
}

void TQueryForm::FindWinner() {
  const std::string needle = text::Trim(FromQ(EdtFindId->text()));
  if (needle.empty()) return;
  // Every prize item is looked in, from the selected winner on: at the prize desk the
  // question is what someone won, not whether they won the item in view.
  const int current = LBItem->currentRow();
  // Absent winners too: the desk asks for a name whatever became of its prize.
  std::vector<std::vector<std::vector<std::string>>> items;
  for (size_t i = 0; i < m_session.Items.size(); ++i) {
    if (static_cast<int>(i) == current) {
      items.push_back(query::SearchRows(m_winners, m_absent));
      continue;
    }
    TWinnerFile file;
    TAbsentFile absent;
    std::string error;
    // An item whose file cannot be read has no winner to find; opened, it says why.
    const int32_t itemId = m_session.Items[i].ItemId;
    if (LoadWinnerFile(m_session.Task.TaskId, itemId, file, error) && file.exists &&
        LoadAbsentFile(m_session.Task.TaskId, itemId, absent, error))
      items.push_back(query::SearchRows(file, absent));
    else
      items.emplace_back();
  }
  // Grid row 0 is the hidden head row: row k of an item stands in grid row k + 1.
  const query::TWinnerHit hit =
      query::FindWinnerInItems(items, current, SGLuckId->currentRow() - 1, needle);
  if (hit.item < 0) {
    ShowMessageBox(MessageKind::Information, query::NotFoundText());
    return;
  }
  if (hit.item != current) LBItem->setCurrentRow(hit.item);  // shows that item's winners
  const int row = hit.row + 1;
  SGLuckId->setCurrentCell(row, 0);
  SGLuckId->selectRow(row);
  SGLuckId->scrollTo(SGLuckId->model()->index(row, 0));
}

void TQueryForm::ExportWinners(query::ExportKind kind) {
  const int scope = query::ExportScope(CBOnly->isChecked(), LBItem->currentRow(), m_session.Items);
  if (!query::HasWinnersToExport(m_session.Items, scope)) {
    ShowMessageBox(MessageKind::Information, query::NothingToExportText(scope));
    return;
  }
  const TLuckItem* only = nullptr;
  for (const TLuckItem& it : m_session.Items) {
    if (it.ItemId == scope) only = &it;
  }
  const std::string date = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
  QString path;
  ChooseSaveFile(QString::fromLatin1(query::ExportExtension(kind)), QStringLiteral("请选择文件"),
                 Q(query::ExportFileName(m_session.Task, only, date)), this, path,
                 QString::fromUtf8(query::ExportTypeName(kind)));
  if (path.isEmpty()) return;
  const std::string gbkPath = FromQ(path);
  std::string error;
  bool ok = false;
  {
    BusyCursor busy;
    // The marks only; the winners are exported without them should the journal not read.
    TNamedWinners named;
    std::string unmarked;
    LoadNamedWinners(m_session.Task.TaskId, named, unmarked);
    ok = kind == query::ExportKind::Text
             ? ExportWinnersText(m_session.Items, m_session.Task, scope, gbkPath, error, named)
             : ExportWinnersExcel(m_session.Items, m_session.Task, scope, gbkPath, error);
  }
  if (ok) {
    ShowMessageBox(MessageKind::Information, query::ExportDoneText(kind, gbkPath));
  } else {
    ShowMessageBox(MessageKind::Error, error);
  }
}

void TQueryForm::LBItemClick() { ShowItemWinners(); }
void TQueryForm::EdtFindIdKeyPress() { FindWinner(); }
void TQueryForm::SBFindClick() { FindWinner(); }
void TQueryForm::BitBtn1Click() { ExportWinners(query::ExportKind::Text); }
void TQueryForm::BitBtn2Click() { ExportWinners(query::ExportKind::Excel); }

void TQueryForm::BtnAuditClick() {
  const std::string date = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
  QString path;
  ChooseSaveFile(QStringLiteral("zip"), QStringLiteral("导出审计包"),
                 Q(query::AuditFileName(m_session.Task, date)), this, path,
                 QStringLiteral("审计包"));
  if (path.isEmpty()) return;
  const std::string gbkPath = FromQ(path);
  std::string error;
  bool ok = false;
  {
    BusyCursor busy;
    ok = WriteAuditBundle(m_session.Task, gbkPath, error);
  }
  if (ok) {
    ShowMessageBox(MessageKind::Information, text::G("已经成功导出审计包：") + gbkPath);
  } else {
    ShowMessageBox(MessageKind::Error, error);
  }
}
void TQueryForm::BtnCloseBaseClick() { close(); }

namespace {

class QueryScreen : public TSetUpScreen {
 public:
  QueryScreen(QWidget* owner, TDrawSession& session) : m_form(session, owner) {}
  int SetUp(int32_t taskId) override { return m_form.SetUpQuery(taskId); }
  void SetClaimDesk(std::shared_ptr<claims::TClaimDesk> desk) override {
    m_form.SetClaimDesk(std::move(desk));
  }
  void ShowModal() override { m_form.exec(); }

 private:
  TQueryForm m_form;
};

}  // namespace

std::unique_ptr<TSetUpScreen> MakeQueryScreen(QWidget* owner, TDrawSession& session) {
  return std::make_unique<QueryScreen>(owner, session);
}
