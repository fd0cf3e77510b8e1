#include "gui/stage/DrawScreenBase.h"

#include <QApplication>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "Version.h"
#include "core/draw/Random.h"
#include "core/draw/StageText.h"
#include "core/records/Colour.h"
#include "core/text/Messages.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/stage/StagePrompt.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

TDrawScreenBase::TDrawScreenBase(QWidget* parent, const char* objectName, QSize design,
                                 const QString& art, std::optional<uint32_t> seed)
    : QDialog(parent), m_design(design), m_art(art) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(QString::fromUtf8(kProductName));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setModal(true);
  resize(1024, 768);
  // The background picture covers the screen: filling it first with the window colour would
  // double the cost of every spot painted again (a celebration's sparks).
  setAttribute(Qt::WA_OpaquePaintEvent);

  EKeyCtrl = new QLineEdit(this);
  EKeyCtrl->setObjectName(QStringLiteral("EKeyCtrl"));
  EKeyCtrl->setFrame(false);
  m_design.Add(EKeyCtrl, QRect(824, 200, 9, 1));
  EKeyCtrl->installEventFilter(this);
  // It only takes the keys; nothing of it may show on the screen.
  auto* invisible = new QGraphicsOpacityEffect(EKeyCtrl);
  invisible->setOpacity(0.0);
  EKeyCtrl->setGraphicsEffect(invisible);

  m_prompt = new TStagePrompt(this);

  TMPointer = new QTimer(this);
  TMPointer->setObjectName(QStringLiteral("TMPointer"));
  TMPointer->setSingleShot(true);
  TMPointer->setInterval(2000);
  connect(TMPointer, &QTimer::timeout, this, &TDrawScreenBase::HidePointer);

  Rng().Randomize(seed ? *seed : ClockSeed());
}

TDrawScreenBase::~TDrawScreenBase() {
  LeaveStage();
  ShowPointer();
}

QLabel* StageLabel(QWidget* parent, const char* name, int pixels) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setAttribute(Qt::WA_TranslucentBackground);
  l->setTextFormat(Qt::PlainText);
  l->setFont(UiFont(StageFamily(), pixels, true));
  return l;
}

QToolButton* StageButton(QWidget* parent, const char* name, const QString& caption, int pixels) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setAutoRaise(true);
  b->setCursor(Qt::PointingHandCursor);
  b->setFocusPolicy(Qt::NoFocus);
  b->setFont(UiFont(StageFamily(), pixels, true));
  return b;
}

void TDrawScreenBase::LeaveStage() {
  if (!m_isStage) return;
  m_isStage = false;
  if (CurrentMessageStage() == this) SetMessageStage(m_previousStage);
  m_prompt->Cancel();
}

QRect TDrawScreenBase::ScreenRect(QRect d) const {
  return QRect(m_design.Origin() + QPoint(m_design.Px(d.x()), m_design.Px(d.y())),
               QSize(m_design.Px(d.width()), m_design.Px(d.height())));
}

QRect TDrawScreenBase::BannerArea() const {
  const QSize g = m_design.Design();
  return QRect((g.width() - 760) / 2, (g.height() - 300) / 2, 760, 300);
}

void TDrawScreenBase::stageMessage(MessageKind kind, const QString& text) {
  // A notice is a banner of the stage; failures and warnings ask to be read.
  const bool banner = kind == MessageKind::Information;
  const QSize g = m_design.Design();
  const QRect card =
      banner ? BannerArea() : QRect((g.width() - 760) / 2, (g.height() - 300) / 2, 760, 300);
  m_prompt->Run(banner ? TStagePrompt::Style::Banner : TStagePrompt::Style::Message,
                Q(StagePunctuation(FromQ(text))), ScreenRect(card), m_design.Scale());
  EKeyCtrl->setFocus();
}

Answer TDrawScreenBase::stageQuestion(const QString& text, Answer preferred) {
  const QSize g = m_design.Design();
  const QRect card((g.width() - 760) / 2, (g.height() - 300) / 2, 760, 300);
  const Answer a = m_prompt->Run(TStagePrompt::Style::Question, Q(StagePunctuation(FromQ(text))),
                                 ScreenRect(card), m_design.Scale(), preferred);
  EKeyCtrl->setFocus();
  return a;
}

void TDrawScreenBase::stageAskLater(const QString& text, Answer preferred, Answer escape,
                                    std::function<void(Answer)> then) {
  const QSize g = m_design.Design();
  const QRect card((g.width() - 760) / 2, (g.height() - 300) / 2, 760, 300);
  m_prompt->Open(TStagePrompt::Style::Question, Q(StagePunctuation(FromQ(text))), ScreenRect(card),
                 m_design.Scale(), preferred, escape, [this, then = std::move(then)](Answer a) {
                   EKeyCtrl->setFocus();
                   then(a);
                 });
}

void TDrawScreenBase::stageShowLater(MessageKind kind, const QString& text,
                                     std::function<void()> then) {
  const bool banner = kind == MessageKind::Information;
  const QSize g = m_design.Design();
  const QRect card =
      banner ? BannerArea() : QRect((g.width() - 760) / 2, (g.height() - 300) / 2, 760, 300);
  m_prompt->Open(banner ? TStagePrompt::Style::Banner : TStagePrompt::Style::Message,
                 Q(StagePunctuation(FromQ(text))), ScreenRect(card), m_design.Scale(), Answer::Yes,
                 Answer::Yes, [this, then = std::move(then)](Answer) {
                   EKeyCtrl->setFocus();
                   then();
                 });
}

void TDrawScreenBase::ShowForQuestions() {
  if (isVisible()) return;
  ShowOnWholeScreen(this);
  show();
  QApplication::processEvents();  // laid out at its size before the question is placed
}

void TDrawScreenBase::done(int r) {
  LeaveStage();
  QDialog::done(r);
}

bool TDrawScreenBase::IsEnterKey(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_PageDown:
    case Qt::Key_Right:
      return true;
    default:
      return false;
  }
}

void TDrawScreenBase::HidePointer() {
  if (m_pointerHidden || !isVisible()) return;
  m_pointerHidden = true;
  QApplication::setOverrideCursor(Qt::BlankCursor);
}

void TDrawScreenBase::ShowPointer() {
  if (!m_pointerHidden) return;
  m_pointerHidden = false;
  QApplication::restoreOverrideCursor();
}

bool TDrawScreenBase::LoadTaskPicture(const std::string& gbkPath) {
  const QString image = Q(gbkPath);
  if (gbkPath.empty() || !QFileInfo(image).isFile()) return true;  // ours stays
  QImage picture;
  if (!picture.load(image)) {
    ShowMessageBox(MessageKind::Error, "图像加载失败，请重新选择！");
    return false;
  }
  m_taskBackground = picture;
  RenderBackground();
  return true;
}

void TDrawScreenBase::SetTextColour(const std::string& fontColor) {
  uint32_t rgb = 0xFFFFFF;
  if (!ColourFromName(fontColor, rgb)) rgb = 0xFFFFFF;
  m_textColor = QColor::fromRgb(rgb);
}

void TDrawScreenBase::StartMusic(const std::string& gbkPath) {
  if (!gbkPath.empty()) m_music.Play(Q(gbkPath));
}

void TDrawScreenBase::StopMusic() { m_music.Stop(); }

void TDrawScreenBase::RenderBackground() {
  m_background =
      DrawScreenBackground(size(), m_design.StageRect(), m_taskBackground, m_art, StageBand());
  update();
}

void TDrawScreenBase::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!m_isStage) {
    m_isStage = true;
    m_previousStage = SetMessageStage(this);
  }
  EKeyCtrl->setFocus();
  // Any movement of the mouse, over whichever window, brings the pointer back.
  qApp->installEventFilter(this);
  TMPointer->start();
}

void TDrawScreenBase::hideEvent(QHideEvent* e) {
  LeaveStage();
  qApp->removeEventFilter(this);
  TMPointer->stop();
  ShowPointer();
  QDialog::hideEvent(e);
}

void TDrawScreenBase::keyPressEvent(QKeyEvent* e) {
  if (PriorityKeyPressed(e)) return;
  if (m_prompt->Key(e)) return;  // a waiting message or question takes every key
  // Keys that reach the window itself (the edit lost the focus) act as in the edit.
  if (IsEnterKey(e->key())) {
    if (!e->isAutoRepeat()) EnterPressed();
    return;
  }
  QDialog::keyPressEvent(e);
}

void TDrawScreenBase::mousePressEvent(QMouseEvent* e) {
  QDialog::mousePressEvent(e);
  e->accept();  // so that the release comes here too
}

void TDrawScreenBase::mouseReleaseEvent(QMouseEvent* e) {
  QDialog::mouseReleaseEvent(e);
  EKeyCtrl->setFocus();
  const QRect a = EnterArea();
  const QRect area(m_design.Origin() + QPoint(m_design.Px(a.x()), m_design.Px(a.y())),
                   QSize(m_design.Px(a.width()), m_design.Px(a.height())));
  if (e->button() == Qt::LeftButton && area.contains(e->position().toPoint())) EnterPressed();
}

void TDrawScreenBase::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  m_design.Apply(size());
  if (m_prompt->isVisible()) m_prompt->setGeometry(rect());
  LayoutChanged();
  RenderBackground();
}

void TDrawScreenBase::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  // What the picture does not cover (none yet, or a size it was not made for) gets the
  // window colour, as an unpainted window would.
  const QRegion bare = e->region() - QRect(QPoint(0, 0), m_background.size());
  for (const QRect& r : bare) p.fillRect(r, palette().brush(backgroundRole()));
  if (!m_background.isNull()) p.drawPixmap(0, 0, m_background);
}

bool TDrawScreenBase::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && isVisible()) {
    ShowPointer();
    TMPointer->start();
  }
  // A message shown while the draw screen is up comes up on it, not on the main window's
  // screen, however it was parented.
  if (event->type() == QEvent::Show && watched != this && isVisible()) {
    auto* box = qobject_cast<QDialog*>(watched);
    // The operator's own windows (a live change, a void) stay where the screen put them.
    if (box && box->isWindow() && !box->property("operatorSide").toBool()) {
      if (box->screen() != screen()) box->setScreen(screen());
      if (!geometry().contains(box->frameGeometry().center()))
        box->move(geometry().center() - QPoint(box->width() / 2, box->height() / 2));
    }
  }
  if (watched == EKeyCtrl && event->type() == QEvent::KeyPress) {
    const auto* k = static_cast<QKeyEvent*>(event);
    if (PriorityKeyPressed(k)) return true;
    if (m_prompt->Key(k)) return true;
    const int key = k->key();
    if (IsEnterKey(key)) {
      // A held key would start and stop a roll in a flash.
      if (!k->isAutoRepeat()) EnterPressed();
      return true;
    }
    // Esc reaches the dialog (leaving, as 结束 does); other keys are the screen's or nothing.
    if (key != Qt::Key_Escape) OtherKeyPressed(k);
    return key != Qt::Key_Escape;
  }
  return QDialog::eventFilter(watched, event);
}
