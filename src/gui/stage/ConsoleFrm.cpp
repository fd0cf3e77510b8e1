#include "gui/stage/ConsoleFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/draw/DataDraw.h"
#include "core/draw/SoundCues.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

QLabel* ConsoleLabel(QWidget* parent, const char* name, int pixels, bool bold = false) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setFont(UiFont(StageFamily(), pixels, bold));
  l->setTextFormat(Qt::PlainText);
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return l;
}

QPushButton* ConsoleButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setFont(UiFont(StageFamily(), 18, true));
  // The console's keys all go to the stage: no button keeps the focus.
  b->setFocusPolicy(Qt::NoFocus);
  b->setMinimumHeight(44);
  return b;
}

QString Lines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& l : lines) out << Q(l);
  return out.join(QLatin1Char('\n'));
}

QString ItemsText(const console::TView& v) {
  QStringList out;
  if (!v.audience.empty()) out << Q(v.audience);
  for (const console::TItemLine& it : v.items)
    out << (it.current ? QStringLiteral("▶ ") : QStringLiteral("　 ")) + Q(it.name) +
               QStringLiteral("　已抽%1/%2　还剩%3").arg(it.drawn).arg(it.count).arg(it.left);
  if (!v.mayWinText.empty()) out << Q(v.mayWinText);
  return out.join(QLatin1Char('\n'));
}

QString BatchesText(const console::TView& v) {
  if (v.batches.empty()) return QStringLiteral("尚未揭晓");
  QStringList out;
  for (const console::TBatch& b : v.batches) {
    QStringList winners;
    for (const std::string& w : b.winners) winners << Q(w);
    out << Q(b.time) + QStringLiteral("  ") + Q(b.item) + QStringLiteral("：") +
               winners.join(QStringLiteral("、"));
  }
  return out.join(QLatin1Char('\n'));
}

}  // namespace

TConsoleForm::TConsoleForm(QWidget* stage, QWidget* keys, const console::TFeed& feed,
                           const TDataDraw& engine, std::function<console::TRoom()> room)
    : QWidget(stage, Qt::Window),
      m_stage(stage),
      m_keys(keys),
      m_feed(feed),
      m_engine(engine),
      m_room(std::move(room)) {
  setObjectName(QStringLiteral("ConsoleForm"));
  setWindowTitle(QStringLiteral("操作台"));
  setProperty("operatorSide", true);  // the draw screen does not move it onto the stage
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::StrongFocus);
  setStyleSheet(
      QStringLiteral("QWidget#ConsoleForm { background: rgb(32, 34, 40); }"
                     "QLabel { color: rgb(235, 235, 235); }"));
  LbTask = ConsoleLabel(this, "LbTask", 20, true);
  LbPhase = ConsoleLabel(this, "LbPhase", 30, true);
  LbNextKey = ConsoleLabel(this, "LbNextKey", 26, true);
  LbNextKey->setStyleSheet(QStringLiteral(
      "QLabel { color: rgb(20, 20, 20); background: rgb(255, 214, 64); padding: 6px; }"));
  LbBlank = ConsoleLabel(this, "LbBlank", 24, true);
  LbBlank->setText(QStringLiteral("投影已黑屏：观众只看到背景，按B恢复"));
  LbBlank->setStyleSheet(
      QStringLiteral("QLabel { color: white; background: rgb(170, 20, 20); padding: 6px; }"));
  LbBlank->hide();
  LbMute = ConsoleLabel(this, "LbMute", 24, true);
  LbMute->setText(QStringLiteral("已静音：抽奖声音已关闭，按M恢复"));
  LbMute->setStyleSheet(QStringLiteral(
      "QLabel { color: rgb(20, 20, 20); background: rgb(120, 200, 255); padding: 6px; }"));
  LbMute->hide();
  LbNote = ConsoleLabel(this, "LbNote", 20, true);
  LbNote->setStyleSheet(QStringLiteral("QLabel { color: rgb(255, 120, 100); }"));
  LbPrompt = ConsoleLabel(this, "LbPrompt", 20);
  LbPrompt->setStyleSheet(QStringLiteral("QLabel { color: rgb(140, 210, 255); }"));
  Picture = new QLabel(this);
  Picture->setObjectName(QStringLiteral("Picture"));
  Picture->setAlignment(Qt::AlignCenter);
  Picture->setMinimumSize(320, 180);
  Picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  Picture->setStyleSheet(QStringLiteral("QLabel { background: black; }"));
  LbItems = ConsoleLabel(this, "LbItems", 20);
  LbBatches = ConsoleLabel(this, "LbBatches", 18);
  LbRoom = ConsoleLabel(this, "LbRoom", 18);
  LbWarnings = ConsoleLabel(this, "LbWarnings", 20, true);
  LbWarnings->setStyleSheet(QStringLiteral("QLabel { color: rgb(255, 170, 60); }"));
  BtAbsent = ConsoleButton(this, "BtAbsent", QStringLiteral("标记缺席 (Q)"));
  BtVoid = ConsoleButton(this, "BtVoid", QStringLiteral("作废 (F3)"));
  BtChange = ConsoleButton(this, "BtChange", QStringLiteral("现场变更 (F2)"));
  BtBlank = ConsoleButton(this, "BtBlank", QStringLiteral("黑屏 (B)"));
  BtMute = ConsoleButton(this, "BtMute", QStringLiteral("静音 (M)"));
  BtMute->setEnabled(false);  // until there is a sound to mute
  connect(BtAbsent, &QPushButton::clicked, this, [this] { SendKey(Qt::Key_Q); });
  connect(BtVoid, &QPushButton::clicked, this, [this] { SendKey(Qt::Key_F3); });
  connect(BtChange, &QPushButton::clicked, this, [this] { SendKey(Qt::Key_F2); });
  connect(BtBlank, &QPushButton::clicked, this, [this] { SendKey(Qt::Key_B); });
  connect(BtMute, &QPushButton::clicked, this, [this] {
    SendKey(Qt::Key_M);
    ShowMute();
  });

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(16, 12, 16, 12);
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(8);
  grid->addWidget(LbTask, 0, 0, 1, 2);
  grid->addWidget(LbPhase, 1, 0);
  grid->addWidget(LbNextKey, 1, 1);
  auto* marks = new QHBoxLayout;
  marks->addWidget(LbBlank, 1);
  marks->addWidget(LbMute, 1);
  grid->addLayout(marks, 2, 0, 1, 2);
  grid->addWidget(LbNote, 3, 0, 1, 2);
  grid->addWidget(LbPrompt, 4, 0, 1, 2);
  grid->addWidget(Picture, 5, 0);
  auto* side = new QVBoxLayout;
  side->addWidget(LbItems);
  side->addWidget(LbRoom);
  side->addWidget(LbWarnings);
  side->addStretch(1);
  grid->addLayout(side, 5, 1, 2, 1);
  grid->addWidget(LbBatches, 6, 0);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {BtAbsent, BtVoid, BtChange, BtBlank, BtMute}) buttons->addWidget(b);
  grid->addLayout(buttons, 7, 0, 1, 2);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  grid->setRowStretch(5, 3);
  grid->setRowStretch(6, 1);

  m_pictureTimer = new QTimer(this);
  m_pictureTimer->setSingleShot(true);
  connect(m_pictureTimer, &QTimer::timeout, this, &TConsoleForm::TakePicture);
  // The room changes without the stage moving (a battery, a phone paired): looked at now
  // and then.
  m_roomTimer = new QTimer(this);
  m_roomTimer->setInterval(kRoomMs);
  connect(m_roomTimer, &QTimer::timeout, this, [this] {
    console::TRoom room = m_room ? m_room() : console::TRoom{};
    if (room == m_roomNow) return;
    m_roomNow = room;
    ShowView();
  });
  m_roomTimer->start();
  if (m_room) m_roomNow = m_room();
  m_sincePicture.start();
  ShowView();
}

void TConsoleForm::Refresh() {
  ShowMute();  // the mute is no move of the stage
  if (m_feed.Revision() == m_revision) return;
  ShowView();
}

void TConsoleForm::ShowView() {
  m_revision = m_feed.Revision();
  m_view = console::ViewOf(m_feed, m_engine, m_roomNow);
  LbTask->setText(Q(m_view.task));
  LbPhase->setText(Q(m_view.phaseText));
  LbNextKey->setText(Q(m_view.nextKey));
  LbBlank->setVisible(m_view.blanked);
  LbNote->setText(Q(m_view.note));
  LbNote->setVisible(!m_view.note.empty());
  const TStageState& s = m_feed.State();
  LbPrompt->setText(s.prompt.empty() ? QString() : QStringLiteral("画面提示：") + Q(s.prompt));
  LbPrompt->setVisible(!s.prompt.empty());
  LbItems->setText(ItemsText(m_view));
  LbBatches->setText(BatchesText(m_view));
  LbRoom->setText(Lines(m_view.room));
  LbWarnings->setText(Lines(m_view.warnings));
  LbWarnings->setVisible(!m_view.warnings.empty());
  BtAbsent->setEnabled(s.mayMarkAbsent || s.phase == TStagePhase::Choosing);
  BtVoid->setEnabled(s.mayChange && s.mayMarkAbsent);
  BtChange->setEnabled(s.mayChange);
  BtBlank->setText(m_view.blanked ? QStringLiteral("恢复投影 (B)") : QStringLiteral("黑屏 (B)"));
  BtBlank->setEnabled(Allows(s, m_view.blanked ? TStageInput::Unblank : TStageInput::Blank));
}

void TConsoleForm::SetMute(const TSoundMute* mute) {
  m_mute = mute;
  ShowMute();
}

void TConsoleForm::ShowMute() {
  const bool muted = m_mute && m_mute->Muted();
  LbMute->setVisible(muted);
  BtMute->setEnabled(m_mute != nullptr);
  BtMute->setText(muted ? QStringLiteral("恢复声音 (M)") : QStringLiteral("静音 (M)"));
}

void TConsoleForm::FrameChanged() {
  if (!isVisible() || m_pictureTimer->isActive()) return;
  m_pictureTimer->start(
      std::max<qint64>(0, kPictureMs - static_cast<qint64>(m_sincePicture.elapsed())));
}

void TConsoleForm::TakePicture() {
  if (!isVisible() || !m_stage->isVisible()) return;
  m_sincePicture.restart();
  m_picture = m_stage->grab();
  ++m_pictures;
  ShowPicture();
}

void TConsoleForm::ShowPicture() {
  if (m_picture.isNull()) return;
  Picture->setPixmap(
      m_picture.scaled(Picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TConsoleForm::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  ShowPicture();
}

void TConsoleForm::SendKey(int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(m_keys, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(m_keys, &release);
}

void TConsoleForm::keyPressEvent(QKeyEvent* e) {
  // The stage takes the key as from its own screen.
  QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(), e->count());
  QCoreApplication::sendEvent(m_keys, &copy);
  ShowMute();
  e->accept();
}

void TConsoleForm::keyReleaseEvent(QKeyEvent* e) {
  QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(), e->count());
  QCoreApplication::sendEvent(m_keys, &copy);
  e->accept();
}

void TConsoleForm::closeEvent(QCloseEvent* e) {
  // Closed by mistake it would leave the operator blind: it goes with the draw screen.
  if (m_released) return QWidget::closeEvent(e);
  e->ignore();
}

TBlankCover::TBlankCover(QWidget* stage) : QWidget(stage) {
  setObjectName(QStringLiteral("BlankCover"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  hide();
}

void TBlankCover::SetPicture(const QPixmap& picture) {
  m_picture = picture;
  update();
}

void TBlankCover::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (m_picture.isNull()) return p.fillRect(rect(), Qt::black);
  p.fillRect(rect(), Qt::black);
  const QSize s = m_picture.size().scaled(size(), Qt::KeepAspectRatioByExpanding);
  p.drawPixmap(QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s), m_picture);
}

TStageOverlay::TStageOverlay(QWidget* stage) : QLabel(stage) {
  setObjectName(QStringLiteral("StageOverlay"));
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  setStyleSheet(
      QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 170); "
                     "border-radius: 6px; padding: 6px; }"));
  hide();
}

void TStageOverlay::Show(const console::TView& v, bool full, bool muted) {
  QStringList lines;
  if (muted) lines << QStringLiteral("已静音（按M恢复声音）");
  if (!full) return setText(lines.join(QLatin1Char('\n')));
  lines << Q(v.phaseText) + QStringLiteral("　") + Q(v.nextKey);
  for (const console::TItemLine& it : v.items)
    if (it.current) lines << Q(it.name) + QStringLiteral("　还剩%1/%2").arg(it.left).arg(it.count);
  if (!v.mayWinText.empty()) lines << Q(v.mayWinText);
  if (!v.batches.empty())
    lines << QStringLiteral("上一批 ") + Q(v.batches.front().time) + QStringLiteral(" ") +
                 Q(v.batches.front().item);
  for (const std::string& w : v.warnings) lines << Q(w);
  if (!v.note.empty()) lines << Q(v.note);
  setText(lines.join(QLatin1Char('\n')));
}
