#include "gui/config/ConfigWidgets.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "core/config/TaskSettings.h"

namespace config {

namespace {

// Patterns that match an extension in any letter case: a case-sensitive file system must
// find photo.jpg as well as PHOTO.JPG.
QString AnyCase(const QString& ext) {
  QString out = QStringLiteral("*.");
  for (QChar c : ext) {
    if (c.isLetter())
      out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    else
      out += c;
  }
  return out;
}

}  // namespace

bool DigitKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString t = key->text();
    if (t.size() == 1 && !key->modifiers().testFlag(Qt::ControlModifier)) {
      const char32_t c = t[0].unicode();
      const bool typing = c >= 32 ? c != 127 : (c != 9 && c != 27);
      if (typing && !config::DigitKeyPasses(c)) return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

QString ImageFilter() {
  return QStringLiteral("图像文件(JPG/PNG/BMP)|") + AnyCase(QStringLiteral("jpg")) + ';' +
         AnyCase(QStringLiteral("jpeg")) + ';' + AnyCase(QStringLiteral("png")) + ';' +
         AnyCase(QStringLiteral("bmp"));
}

QString MusicFilter() {
  return QStringLiteral("音频文件(mp3/wma)|") + AnyCase(QStringLiteral("mp3")) + ';' +
         AnyCase(QStringLiteral("wma"));
}

QString SoundFilter() {
  return QStringLiteral("音频文件(mp3/wma/wav)|") + AnyCase(QStringLiteral("mp3")) + ';' +
         AnyCase(QStringLiteral("wma")) + ';' + AnyCase(QStringLiteral("wav"));
}

void ShowFromStart(std::initializer_list<QLineEdit*> edits) {
  for (QLineEdit* e : edits) e->setCursorPosition(0);
}

}  // namespace config
