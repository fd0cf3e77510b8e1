#include "draw/DrawScreenBase.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPainter>
#include <QUrl>

#include "draw/Colour.h"
#include "draw/DrawScreenArt.h"
#include "draw/Random.h"
#include "text/Messages.h"
#include "ui/Dialogs.h"
#include "ui/Qt.h"

TDrawScreenBase::TDrawScreenBase(QWidget* parent, const char* objectName, QSize design,
                                 const QString& art, std::optional<uint32_t> seed)
    : QDialog(parent), m_design(design), m_art(art) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(QStringLiteral("Qarvo抽奖软件"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setModal(true);
  resize(1024, 768);

  EKeyCtrl = new QLineEdit(this);
  EKeyCtrl->setObjectName(QStringLiteral("EKeyCtrl"));
  EKeyCtrl->setFrame(false);
  m_design.Add(EKeyCtrl, QRect(824, 200, 9, 1));
  EKeyCtrl->installEventFilter(this);
  // It only takes the keys; nothing of it may show on the screen.
  auto* invisible = new QGraphicsOpacityEffect(EKeyCtrl);
  invisible->setOpacity(0.0);
  EKeyCtrl->setGraphicsEffect(invisible);

  Rng().Randomize(seed ? *seed : ClockSeed());
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
  const QString music = Q(gbkPath);
  if (m_player || gbkPath.empty() || !QFileInfo(music).isFile()) return;
  m_audio = new QAudioOutput(this);
  m_player = new QMediaPlayer(this);
  m_player->setAudioOutput(m_audio);
  m_player->setSource(QUrl::fromLocalFile(music));
  m_player->play();
}

void TDrawScreenBase::StopMusic() {
  if (m_player) m_player->stop();
}

void TDrawScreenBase::RenderBackground() {
  m_background = DrawScreenBackground(size(), m_design.StageRect(), m_taskBackground, m_art);
  update();
}

void TDrawScreenBase::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  EKeyCtrl->setFocus();
}

void TDrawScreenBase::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  m_design.Apply(size());
  LayoutChanged();
  RenderBackground();
}

void TDrawScreenBase::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!m_background.isNull()) p.drawPixmap(0, 0, m_background);
}

bool TDrawScreenBase::eventFilter(QObject* watched, QEvent* event) {
  if (watched == EKeyCtrl && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      EnterPressed();
      return true;
    }
    // Esc reaches the dialog (leaving, as 结束 does); other keys do nothing to the draw.
    return key != Qt::Key_Escape;
  }
  return QDialog::eventFilter(watched, event);
}
