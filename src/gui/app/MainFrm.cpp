#include "gui/app/MainFrm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <unordered_map>

#include "Version.h"
#include "core/checkin/CheckinService.h"
#include "core/config/TaskCheckin.h"
#include "core/config/TaskState.h"
#include "core/config/WindowPlace.h"
#include "core/db/TombolixDM.h"
#include "core/draw/Console.h"
#include "core/package/EventPackage.h"
#include "core/records/Loaders.h"
#include "core/spare/AutoRelay.h"
#include "core/spare/Relay.h"
#include "core/spare/TakeOver.h"
#include "core/text/Paths.h"
#include "gui/app/ShowCheckFrm.h"
#include "gui/checkin/CheckinFrm.h"
#include "gui/spare/SpareFollowFrm.h"
#include "gui/spare/TakeOverFrm.h"
#include "gui/ui/AboutFrm.h"
#include "gui/ui/Art.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/HelpFrm.h"
#include "gui/ui/Qt.h"

namespace {

const QString kCaption = QString::fromUtf8(kProductName);

QToolButton* BigButton(QWidget* parent, const char* name, const QString& caption,
                       const QString& hint, const QString& glyph) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setToolTip(hint);
  b->setIcon(ArtIcon(glyph, QSize(32, 32)));
  b->setIconSize(QSize(32, 32));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setAutoRaise(true);
  b->setCursor(Qt::PointingHandCursor);
  // Wider than the designed 73, so that the Alt accelerator fits beside the caption.
  b->setFixedSize(88, 56);
  // Reached with Tab, not by a click, so a click leaves the focus in the task list.
  b->setFocusPolicy(Qt::TabFocus);
  b->setStyleSheet(QStringLiteral(
      "QToolButton { color: white; border: 1px solid transparent; background: transparent; }"
      "QToolButton:hover { background: rgba(255,255,255,40); border-color: rgba(255,230,160,150);"
      " border-radius: 4px; }"
      "QToolButton:focus { border: 1px dotted rgb(255,230,160); border-radius: 4px; }"
      "QToolButton:pressed { background: rgba(0,0,0,50); }"));
  return b;
}

QToolButton* LinkButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setAutoRaise(true);
  b->setCursor(Qt::PointingHandCursor);
  b->setFixedSize(60, 22);
  b->setFocusPolicy(Qt::TabFocus);
  QFont f = UiFont(QStringLiteral("宋体"), 12);
  f.setUnderline(true);
  b->setFont(f);
  b->setStyleSheet(
      QStringLiteral("QToolButton { color: white; border: none; background: transparent; }"
                     "QToolButton:hover { color: #ffe08a; }"
                     "QToolButton:focus { color: #ffe08a; border: 1px dotted #ffe08a; }"));
  return b;
}

// Enter on a focused button presses it, as Space does.
class EnterPresses : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (auto* b = qobject_cast<QAbstractButton*>(watched)) {
          b->click();
          return true;
        }
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// The task list's column heads, measured in their own font. QHeaderView measures a section in
// bold, for a highlight this list turns off, which loads one more face file while the window
// is made.
class TaskListHeader : public QHeaderView {
 public:
  explicit TaskListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

 protected:
  QSize sectionSizeFromContents(int logicalIndex) const override {
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.section = logicalIndex;
    opt.text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    const QVariant decoration =
        model()->headerData(logicalIndex, orientation(), Qt::DecorationRole);
    opt.icon = qvariant_cast<QIcon>(decoration);
    if (opt.icon.isNull()) opt.icon = QIcon(qvariant_cast<QPixmap>(decoration));
    opt.fontMetrics = fontMetrics();
    return style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), this);
  }
};

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setFont(UiFont(QStringLiteral("MS Sans Serif"), 12));
  // The program sets its icon for every window; drawn here only for a window made alone.
  if (QApplication::windowIcon().isNull())
    setWindowIcon(ArtIcon(QStringLiteral("app_icon"), QSize(64, 64)));
  resize(kDesignedWidth, kDesignedHeight);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  ImageHead = new QLabel(central);
  ImageHead->setObjectName(QStringLiteral("ImageHead"));
  ImageHead->setFixedHeight(73);
  ImageHead->setMinimumWidth(1);
  ImageHead->setScaledContents(true);
  layout->addWidget(ImageHead);

  SBtnAbout = LinkButton(ImageHead, "SBtnAbout", QStringLiteral("关于(&A)"));
  SBtnHelp = LinkButton(ImageHead, "SBtnHelp", QStringLiteral("帮助(&H)"));
  SBtnShowCheck = LinkButton(ImageHead, "SBtnShowCheck", QStringLiteral("开场前检查(&K)"));
  SBtnShowCheck->setFixedSize(110, 22);
  SBtnShowCheck->setToolTip(
      QStringLiteral("检查所选抽奖项目的名单、图片、音乐、字体、屏幕和磁盘空间"));

  Image1 = new QLabel(central);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setFixedHeight(64);
  Image1->setMinimumWidth(1);
  Image1->setScaledContents(true);
  layout->addWidget(Image1);

  SBtnGetLuck = BigButton(Image1, "SBtnGetLuck", QStringLiteral("抽奖(&D)"),
                          QStringLiteral("点击进入抽奖界面"), QStringLiteral("glyph_getluck"));
  SBtnConfig =
      BigButton(Image1, "SBtnConfig", QStringLiteral("抽奖配置(&C)"),
                QStringLiteral("点击进入抽奖和奖项配置界面"), QStringLiteral("glyph_config"));
  SBtnQuery = BigButton(Image1, "SBtnQuery", QStringLiteral("结果查询(&Q)"),
                        QStringLiteral("点击进入查询抽奖结果界面"), QStringLiteral("glyph_query"));
  SBtnCheckin = BigButton(Image1, "SBtnCheckin", QStringLiteral("扫码签到(&S)"),
                          QStringLiteral("在局域网上开始或停止所选项目的手机签到"),
                          QStringLiteral("glyph_checkin"));
  SBtnExit = BigButton(Image1, "SBtnExit", QStringLiteral("退出(&X)"),
                       QStringLiteral("点击退出该软件"), QStringLiteral("glyph_exit"));
  int x = 10;
  for (QToolButton* b : {SBtnGetLuck, SBtnConfig, SBtnQuery, SBtnCheckin, SBtnExit}) {
    b->move(x, 4);
    x += 96;
  }
  // The spare laptop's two actions, stacked beside the big buttons.
  SBtnExportPackage = LinkButton(Image1, "SBtnExportPackage", QStringLiteral("导出活动包(&E)"));
  SBtnExportPackage->setToolTip(
      QStringLiteral("把所选抽奖项目的设置、奖项、名单、预设、照片、图片和音乐导出为一个文件"));
  SBtnImportPackage = LinkButton(Image1, "SBtnImportPackage", QStringLiteral("导入活动包(&I)"));
  SBtnImportPackage->setToolTip(QStringLiteral("从活动包文件添加抽奖项目"));
  for (QToolButton* b : {SBtnExportPackage, SBtnImportPackage}) b->setFixedSize(110, 22);
  SBtnExportPackage->move(x + 8, 8);
  SBtnImportPackage->move(x + 8, 34);
  // A running draw carried to the spare laptop, and taken over there.
  SBtnWriteRelay = LinkButton(Image1, "SBtnWriteRelay", QStringLiteral("写接力包…(&R)"));
  SBtnWriteRelay->setToolTip(QStringLiteral(
      "把所选项目进行中的抽奖写成接力包,备用电脑可用它接着抽;接力包含抽奖密钥,请妥善保管"));
  SBtnTakeOver = LinkButton(Image1, "SBtnTakeOver", QStringLiteral("接管抽奖…(&T)"));
  SBtnTakeOver->setToolTip(QStringLiteral("用台上电脑的接力包在本机接着抽奖"));
  for (QToolButton* b : {SBtnWriteRelay, SBtnTakeOver}) b->setFixedSize(104, 22);
  SBtnWriteRelay->move(x + 8 + 114, 8);
  SBtnTakeOver->move(x + 8 + 114, 34);
  SBtnSpare = LinkButton(Image1, "SBtnSpare", QStringLiteral("热备跟随(&F)…"));
  SBtnSpare->setToolTip(QStringLiteral("本机作为备用电脑，在局域网上跟随主机的抽奖进度"));
  SBtnSpare->setFixedSize(104, 22);
  SBtnSpare->move(x + 8 + 114 + 110, 8);

  // The columns come after the header and the fonts, so nothing is measured before. The heads
  // keep the font of a table's own heads, the window's, not the list's.
  LVHeaders = new QTableWidget(central);
  LVHeaders->setObjectName(QStringLiteral("LVHeaders"));
  LVHeaders->setHorizontalHeader(new TaskListHeader(LVHeaders));
  LVHeaders->setFont(UiFont(QStringLiteral("宋体"), 12));
  QFont headFont = QApplication::font(LVHeaders->horizontalHeader());
  headFont.setResolveMask(QFont::AllPropertiesResolved);
  LVHeaders->horizontalHeader()->setFont(headFont);
  LVHeaders->setColumnCount(kColumnCount);
  LVHeaders->setShowGrid(true);
  LVHeaders->setSelectionBehavior(QAbstractItemView::SelectRows);
  LVHeaders->setSelectionMode(QAbstractItemView::SingleSelection);
  LVHeaders->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LVHeaders->setWordWrap(false);
  // One Tab stop: the arrow keys move in the list, Tab leaves it without changing the task.
  LVHeaders->setTabKeyNavigation(false);
  LVHeaders->verticalHeader()->hide();
  LVHeaders->verticalHeader()->setDefaultSectionSize(20);
  LVHeaders->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LVHeaders->horizontalHeader()->setHighlightSections(false);
  LVHeaders->horizontalHeader()->setStretchLastSection(false);
  auto head = [this](int col, const QString& text, const QString& icon) {
    auto* h = new QTableWidgetItem(text);
    if (!icon.isEmpty()) h->setIcon(ArtIcon(icon, QSize(16, 16)));
    LVHeaders->setHorizontalHeaderItem(col, h);
  };
  head(0, QStringLiteral("抽奖项目名称"), QStringLiteral("head_task"));
  head(1, QStringLiteral("抽奖显示标题"), QStringLiteral("head_title"));
  head(2, QStringLiteral("序号"), QString());
  head(kDrawTypeColumn, QStringLiteral("抽奖方式"), QString());
  head(kCandidatesColumn, QStringLiteral("名单人数"), QString());
  head(kStateColumn, QStringLiteral("状态"), QString());
  LVHeaders->setColumnWidth(0, 220);
  LVHeaders->setColumnWidth(1, 300);
  LVHeaders->setColumnWidth(2, 60);
  // The draw type as stored, present but zero wide.
  LVHeaders->setColumnWidth(kOrderByColumn, 0);
  LVHeaders->setColumnHidden(kOrderByColumn, true);
  LVHeaders->setColumnWidth(kDrawTypeColumn, 100);
  LVHeaders->setColumnWidth(kCandidatesColumn, 70);
  LVHeaders->setColumnWidth(kStateColumn, 210);
  // What the operator checks at a glance stands beside the name, inside the window's width;
  // the columns keep their places in the model.
  QHeaderView* heads = LVHeaders->horizontalHeader();
  heads->moveSection(heads->visualIndex(kStateColumn), 1);
  heads->moveSection(heads->visualIndex(kCandidatesColumn), 2);
  heads->moveSection(heads->visualIndex(kDrawTypeColumn), 3);
  // 序号 before the long title, so that two tasks of one name are told apart in any width.
  heads->moveSection(heads->visualIndex(2), 4);
  // Keep the selection visible when the list does not have the focus.
  QPalette pal = LVHeaders->palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight,
               pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  LVHeaders->setPalette(pal);
  layout->addWidget(LVHeaders, 1);
  setCentralWidget(central);

  StBMain = new QStatusBar(this);
  StBMain->setObjectName(QStringLiteral("StBMain"));
  for (int w : {400, 100}) {
    auto* panel = new QLabel(StBMain);
    panel->setFixedWidth(w);
    panel->setAlignment(Qt::AlignCenter);
    StBMain->addWidget(panel);
  }
  setStatusBar(StBMain);

  connect(SBtnGetLuck, &QToolButton::clicked, this, &TMainForm::SBtnGetLuckClick);
  connect(SBtnConfig, &QToolButton::clicked, this, &TMainForm::SBtnConfigClick);
  connect(SBtnQuery, &QToolButton::clicked, this, &TMainForm::SBtnQueryClick);
  connect(SBtnCheckin, &QToolButton::clicked, this, &TMainForm::SBtnCheckinClick);
  connect(SBtnHelp, &QToolButton::clicked, this, &TMainForm::SBtnHelpClick);
  connect(SBtnAbout, &QToolButton::clicked, this, &TMainForm::SBtnAboutClick);
  connect(SBtnExit, &QToolButton::clicked, this, &TMainForm::SBtnExitClick);
  connect(SBtnShowCheck, &QToolButton::clicked, this, &TMainForm::SBtnShowCheckClick);
  connect(SBtnExportPackage, &QToolButton::clicked, this, &TMainForm::SBtnExportPackageClick);
  connect(SBtnImportPackage, &QToolButton::clicked, this, &TMainForm::SBtnImportPackageClick);
  connect(SBtnWriteRelay, &QToolButton::clicked, this, &TMainForm::SBtnWriteRelayClick);
  connect(SBtnTakeOver, &QToolButton::clicked, this, &TMainForm::SBtnTakeOverClick);
  connect(SBtnSpare, &QToolButton::clicked, this, &TMainForm::SBtnSpareClick);
  // Enter or a double click on a task opens its draw, so the keyboard alone reaches it.
  connect(LVHeaders, &QTableWidget::activated, this, &TMainForm::SBtnGetLuckClick);
  auto* enter = new EnterPresses(this);
  QWidget* order[] = {LVHeaders,    SBtnGetLuck,       SBtnConfig,        SBtnQuery,
                      SBtnCheckin,  SBtnExportPackage, SBtnImportPackage, SBtnWriteRelay,
                      SBtnTakeOver, SBtnSpare,         SBtnShowCheck,     SBtnHelp,
                      SBtnAbout,    SBtnExit};
  for (size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
    order[i]->installEventFilter(enter);
  }
  // The window opens with the focus in the task list.
  LVHeaders->setFocus();
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, &TMainForm::SBtnHelpClick);

  PlaceWindow();
  FormCreate();
}

void TMainForm::FormCreate() {
  setWindowTitle(kCaption);
  PaintBanner();
  LoadTaskList();
}

void TMainForm::LoadTaskList() {
  std::string error;
  if (!m_tasks.Load(error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  LVHeaders->setRowCount(0);
  LVHeaders->setRowCount(m_tasks.Count());
  {
    // The rows are filled without a change signal per cell, then drawn once.
    const QSignalBlocker quiet(LVHeaders->model());
    for (int r = 0; r < m_tasks.Count(); ++r) {
      const config::TTaskRow& t = *m_tasks.At(r);
      LVHeaders->setItem(r, 0, new QTableWidgetItem(Q(t.TaskName)));
      LVHeaders->setItem(r, 1, new QTableWidgetItem(Q(t.MainTitle)));
      LVHeaders->setItem(r, 2, new QTableWidgetItem(QString::number(t.TaskId)));
      LVHeaders->setItem(r, kOrderByColumn,
                         new QTableWidgetItem(QString::number(ColumnOf(t.OrderBy))));
    }
  }
  SelectRow(config::OpeningRow(RefreshTaskStates(), m_tasks.Count()));
}

std::vector<config::TTaskState> TMainForm::RefreshTaskStates() {
  std::vector<config::TTaskState> states;
  std::string error;
  // The state columns stay empty rather than stop the list when the paths cannot be read.
  if (!config::ReadTaskStates(m_tasks, states, error)) states.clear();
  // Most rows share their texts; each is converted from GBK once.
  std::unordered_map<std::string, QString> converted;
  const QSignalBlocker quiet(LVHeaders->model());
  auto text = [&converted](const std::string& gbk) {
    auto it = converted.find(gbk);
    if (it == converted.end()) it = converted.emplace(gbk, Q(gbk)).first;
    return it->second;
  };
  for (int r = 0; r < LVHeaders->rowCount(); ++r) {
    const bool known = r < static_cast<int>(states.size());
    const config::TTaskState* s = known ? &states[static_cast<size_t>(r)] : nullptr;
    const QString type = s ? text(config::DrawTypeText(*s)) : QString();
    const QString count = s ? text(config::CandidatesText(*s)) : QString();
    const QString phase = s ? text(config::PhaseText(*s)) : QString();
    auto* state = new QTableWidgetItem(phase);
    state->setToolTip(phase);
    LVHeaders->setItem(r, kDrawTypeColumn, new QTableWidgetItem(type));
    LVHeaders->setItem(r, kCandidatesColumn, new QTableWidgetItem(count));
    LVHeaders->setItem(r, kStateColumn, state);
  }
  LVHeaders->viewport()->update();
  return states;
}

void TMainForm::SelectRow(int index) {
  if (index < 0 || index >= LVHeaders->rowCount()) {
    LVHeaders->clearSelection();
    return;
  }
  LVHeaders->selectRow(index);
  LVHeaders->setCurrentCell(index, 0);
}

int TMainForm::SelectedRow() const {
  const QModelIndexList rows = LVHeaders->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

const config::TTaskRow* TMainForm::SelectedTask() const { return m_tasks.At(SelectedRow()); }

void TMainForm::TasksChanged(int32_t taskId) {
  if (taskId > 0) m_savedTaskId = taskId;
  LoadTaskList();
}

void TMainForm::SBtnGetLuckClick() {
  const config::TTaskRow* task = SelectedTask();
  if (!task) {
    ShowMessageBox(MessageKind::Attention, "请先选择抽奖项目");
    return;
  }
  const int32_t taskId = task->TaskId;
  const TDrawType type = task->OrderBy;
  if (!m_drawFactory) return;
  std::unique_ptr<TSetUpScreen> screen = m_drawFactory(this, m_drawSession, type);
  if (!screen) return;
  const bool checkingIn = m_checkin && m_checkin->Running() && m_checkin->TaskId() == taskId;
  // A draw of those checked in fixes them now, before its commitment is made: check-in
  // closes first, and only when the operator says so.
  if (checkingIn) {
    const std::string question = m_checkin->BeforeDraw(taskId);
    if (!question.empty()) {
      if (AskYesNo(Q(question), Answer::No) != Answer::Yes) return;
      m_checkin->CloseDesk();
    }
  } else if (const std::string missing = config::CheckinMissingQuestion(taskId); !missing.empty()) {
    // Nobody checked in here (a spare laptop): said on this window, never on the stage.
    if (AskYesNo(Q(missing), Answer::No) != Answer::Yes) return;
  }
  {
    // The phones, the prize desks and the paired host follow this draw while its screen
    // lives; check-in is handed back once it closed.
    const TDrawLink link(m_checkin.get(), m_drawSession, taskId);
    const std::unique_ptr<spare::TAutoRelay> relay = StartAutoRelay(taskId);
    std::optional<TSessionWatch> relayWatch;
    if (relay) relayWatch.emplace(m_drawSession, relay.get());
    screen->SetRemote(link.Host());
    screen->SetRoomFacts([this, taskId](console::TRoom& room) {
      // The service may stop or turn to another task while the screen stands.
      if (!m_checkin || !m_checkin->Running() || m_checkin->TaskId() != taskId) return;
      const net::TPairingView pairing = m_checkin->Pairing().View();
      room.hostPaired = pairing.HostPaired;
      room.desks = pairing.Desks;
      if (room.checkins < 0)
        room.checkins = static_cast<int64_t>(m_checkin->Desk().View().CheckedIn);
      if (m_checkin->Claims())
        room.claims = static_cast<int64_t>(m_checkin->Claims()->ClaimedCount());
    });
    if (screen->SetUp(taskId) == 1) screen->ShowModal();
    screen.reset();
  }
  RefreshTaskStates();
}

std::unique_ptr<spare::TAutoRelay> TMainForm::StartAutoRelay(int32_t taskId) {
  std::string folder, error;
  spare::TRelaySetup setup;
  if (!spare::LoadAutoRelayFolder(taskId, folder, error) ||
      (!folder.empty() && !spare::PrepareRelay(taskId, setup, error))) {
    OperatorStatus(QStringLiteral("自动写接力包失败:") + Q(error));
    return nullptr;
  }
  if (folder.empty()) return nullptr;
  // The worker tells its failure on its own thread; the status line is this thread's.
  return std::make_unique<spare::TAutoRelay>(
      std::move(setup), folder, [this](const std::string& text) {
        QMetaObject::invokeMethod(
            this, [this, t = Q(text)] { OperatorStatus(t); }, Qt::QueuedConnection);
      });
}

void TMainForm::OperatorStatus(const QString& text) { StBMain->showMessage(text); }

TMainForm::~TMainForm() {
  // The check-in window reads the service: it goes first, then the server stops.
  delete m_checkinFrm;
  m_checkinFrm = nullptr;
}

TCheckinService& TMainForm::Checkin() {
  if (!m_checkin) m_checkin = std::make_unique<TCheckinService>();
  return *m_checkin;
}

void TMainForm::RestoreCheckin() {
  std::vector<int32_t> ids;
  for (int r = 0; r < m_tasks.Count(); ++r)
    if (m_tasks.At(r)->OrderBy == TDrawType::FromData) ids.push_back(m_tasks.At(r)->TaskId);
  std::string error;
  if (Checkin().Restore(ids, error) && !error.empty()) ShowMessageBox(MessageKind::Warning, error);
}

void TMainForm::SBtnCheckinClick() {
  const config::TTaskRow* task = SelectedTask();
  if (!task) {
    ShowMessageBox(MessageKind::Attention, "请先选择抽奖项目");
    return;
  }
  if (const std::string refusal = checkin::NoListRefusal(task->OrderBy); !refusal.empty()) {
    ShowMessageBox(MessageKind::Information, refusal);
    return;
  }
  if (m_checkinFrm && m_checkinFrm->property("taskId").toInt() != task->TaskId) {
    delete m_checkinFrm;
    m_checkinFrm = nullptr;
  }
  if (!m_checkinFrm) {
    m_checkinFrm = new TCheckinFrm(Checkin(), task->TaskId, Q(task->TaskName), this);
    m_checkinFrm->setProperty("taskId", task->TaskId);
  }
  m_checkinFrm->show();
  m_checkinFrm->raise();
  m_checkinFrm->activateWindow();
}

void TMainForm::SBtnQueryClick() {
  const config::TTaskRow* task = SelectedTask();
  if (!task) {
    ShowMessageBox(MessageKind::Attention, "请先选择抽奖项目");
    return;
  }
  if (task->OrderBy != TDrawType::FromData) {
    ShowMessageBox(MessageKind::Information, "按概率抽奖无查询结果");
    return;
  }
  const int32_t taskId = task->TaskId;
  if (!m_queryFactory) return;
  std::unique_ptr<TSetUpScreen> screen = m_queryFactory(this, m_drawSession);
  if (screen) {
    // 领取 goes through the desk the paired prize desks use, when check-in holds this task's.
    if (m_checkin && m_checkin->TaskId() == taskId) screen->SetClaimDesk(m_checkin->Claims());
    if (screen->SetUp(taskId) == 1) screen->ShowModal();
  }
  RefreshTaskStates();
}

void TMainForm::SBtnConfigClick() {
  const int previousIndex = SelectedRow();
  const config::TTaskRow* before = SelectedTask();
  const int32_t previous = before ? before->TaskId : 0;
  m_savedTaskId = 0;
  if (m_configOpener) m_configOpener(this);
  // A reload selects the first row; the operator goes on with the task they worked on, so
  // that 抽奖 does not draw another one.
  if (m_savedTaskId > 0 || SelectedTask() == nullptr || SelectedTask()->TaskId != previous)
    SelectRow(config::RowAfterReload(m_tasks, m_savedTaskId, previous, previousIndex));
  // An import or a deleted result changes the states without a save of the task.
  RefreshTaskStates();
}

void TMainForm::SBtnShowCheckClick() {
  const config::TTaskRow* task = SelectedTask();
  if (!task) {
    ShowMessageBox(MessageKind::Attention, "请先选择抽奖项目");
    return;
  }
  TShowCheckForm form(this);
  form.SetCheckin(m_checkin.get());
  if (form.Check(task->TaskId, Q(task->TaskName))) form.exec();
}

void TMainForm::SBtnExportPackageClick() {
  const config::TTaskRow* task = SelectedTask();
  if (!task) {
    ShowMessageBox(MessageKind::Attention, "请先选择抽奖项目");
    return;
  }
  const int32_t taskId = task->TaskId;
  QString name;
  ChooseSaveFile(QStringLiteral("zip"), QStringLiteral("导出活动包"),
                 Q(task->TaskName) + QStringLiteral("_活动包"), this, name,
                 QStringLiteral("活动包"));
  if (name.isEmpty()) return;
  std::string summary, error;
  if (!package::ExportEventPackage(taskId, FromQ(name), summary, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  ShowMessageBox(MessageKind::Information, summary);
}

void TMainForm::SBtnSpareClick() {
  // One window, kept while the program runs: closing it does not stop following.
  if (!m_spareFrm) {
    m_spareFrm = new TSpareFollowFrm(this);
    connect(m_spareFrm, &TSpareFollowFrm::TakenOver, this, [this](int taskId) {
      LoadTaskList();
      SelectRow(m_tasks.IndexOf(taskId));
    });
  }
  m_spareFrm->show();
  m_spareFrm->raise();
  m_spareFrm->activateWindow();
}

void TMainForm::SBtnImportPackageClick() {
  QString name;
  ChooseOpenFile(QStringLiteral("活动包|*.zip;*.ZIP"), QStringLiteral("导入活动包"), name);
  if (name.isEmpty()) return;
  int32_t taskId = 0;
  std::string summary, error;
  if (!package::ImportEventPackage(FromQ(name), taskId, summary, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  LoadTaskList();
  SelectRow(m_tasks.IndexOf(taskId));
  ShowMessageBox(MessageKind::Information, summary);
  // Its check-ins stayed where check-in ran.
  if (const std::string missing = config::CheckinMissingText(taskId); !missing.empty())
    ShowMessageBox(MessageKind::Warning, missing);
}

void TMainForm::SBtnWriteRelayClick() {
  const config::TTaskRow* task = SelectedTask();
  if (!task) {
    ShowMessageBox(MessageKind::Attention, "请先选择抽奖项目");
    return;
  }
  const int32_t taskId = task->TaskId;
  QString name;
  ChooseSaveFile(QStringLiteral("zip"), QStringLiteral("写接力包"),
                 Q(task->TaskName) + QStringLiteral("_接力包_") +
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmm")),
                 this, name, QStringLiteral("接力包"));
  if (name.isEmpty()) return;
  spare::TRelaySummary summary;
  std::string error;
  if (!spare::WriteRelay(taskId, FromQ(name), summary, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  ShowMessageBox(MessageKind::Information, summary.Text);
}

void TMainForm::SBtnTakeOverClick() {
  QString name;
  ChooseOpenFile(QStringLiteral("接力包|*.zip;*.ZIP"), QStringLiteral("接管抽奖"), name);
  if (name.isEmpty()) return;
  spare::TRelay relay;
  std::string error;
  if (!spare::ReadRelayPackage(FromQ(name), relay, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  int32_t taskId = 0;
  if (!RunTakeOver(this, relay, TMoveSource::Relay, "", taskId)) return;
  LoadTaskList();
  SelectRow(m_tasks.IndexOf(taskId));
}

void TMainForm::SBtnHelpClick() {
  const QString chm = Q(paths::ProgramDir() + "Help.chm");
  if (QFileInfo(chm).isFile()) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(chm));
    return;
  }
  THelpForm help(this);
  help.exec();
}

void TMainForm::SBtnAboutClick() {
  TAboutForm about(windowTitle(), QString::fromLatin1(kVersionText), this);
  about.exec();
}

void TMainForm::SBtnExitClick() {
  close();
  QApplication::quit();
}

void TMainForm::PlaceBannerButtons() {
  // The banner spans the window; its own width is not laid out yet while the window is made.
  const int w = width();
  SBtnHelp->move(w - 60 - 8, 6);
  SBtnAbout->move(w - 120 - 12, 6);
  SBtnShowCheck->move(w - 120 - 12 - 110 - 4, 6);
}

QPixmap TMainForm::RenderBannerHead(int width) {
  QPixmap head = RenderArt(QStringLiteral("banner_head"), QSize(width, 73));
  if (!head.isNull()) {
    QPainter p(&head);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(UiFont(QStringLiteral("隶书"), 34, true));
    const QRect box(86, 0, width - 86, 73);
    p.setPen(QColor(90, 0, 0, 160));
    p.drawText(box.translated(2, 2), Qt::AlignLeft | Qt::AlignVCenter, kCaption);
    p.setPen(QColor(255, 226, 140));
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, kCaption);
  }
  return head;
}

QPixmap TMainForm::RenderBannerTools(int width) {
  return RenderArt(QStringLiteral("banner_tools"), QSize(width, 64));
}

std::vector<std::pair<QString, QSize>> TMainForm::ShippedArt() {
  const QSize big(32, 32), small(16, 16);
  return {{QStringLiteral("banner_tools"), QSize(kDesignedWidth, 64)},
          {QStringLiteral("app_icon"), QSize(64, 64)},
          {QStringLiteral("glyph_getluck"), big},
          {QStringLiteral("glyph_config"), big},
          {QStringLiteral("glyph_query"), big},
          {QStringLiteral("glyph_checkin"), big},
          {QStringLiteral("glyph_exit"), big},
          {QStringLiteral("head_task"), small},
          {QStringLiteral("head_title"), small}};
}

void TMainForm::PaintBanner() {
  const int w = qMax(width(), 1);
  // Shown for the first time, the window is told its size again: the banner stays.
  if (w == m_bannerWidth) return;
  m_bannerWidth = w;
  // At the designed width the bands come pre-rendered: drawing the caption at start-up would
  // load a face file that nothing else on the first frame needs.
  QPixmap head = PrerenderedArt(QStringLiteral("main_head"), QSize(w, 73));
  if (head.isNull()) head = RenderBannerHead(w);
  const QPixmap tools = ArtPixmap(QStringLiteral("banner_tools"), QSize(w, 64));
  ImageHead->setPixmap(head);
  Image1->setPixmap(tools);
  PlaceBannerButtons();
}

void TMainForm::PlaceWindow() {
  // Where the operator left it; the first time large enough for every column, centred.
  std::vector<config::TRect> screens;
  const QScreen* primary = QGuiApplication::primaryScreen();
  for (const QScreen* s : QGuiApplication::screens()) {
    const QRect r = s->availableGeometry();
    const config::TRect rect{r.x(), r.y(), r.width(), r.height()};
    if (s == primary)
      screens.insert(screens.begin(), rect);
    else
      screens.push_back(rect);
  }
  config::TWindowPlace stored;
  const bool known = config::ReadWindowPlace(stored);
  const config::TWindowPlace p = config::OpeningPlace(known ? &stored : nullptr, screens,
                                                      {0, 0, kDesignedWidth, kDesignedHeight});
  // The place kept is the window's own area, without the frame the system adds.
  setGeometry(p.frame.x, p.frame.y, p.frame.width, p.frame.height);
  if (p.maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainForm::closeEvent(QCloseEvent* e) {
  const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
  std::string error;
  // A place that cannot be stored only costs the next start its place.
  config::WriteWindowPlace({{r.x(), r.y(), r.width(), r.height()}, isMaximized()}, error);
  QMainWindow::closeEvent(e);
}

void TMainForm::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  PaintBanner();
}
