// The fonts the windows name ("宋体", "隶书", "黑体", "MS Sans Serif") mapped to the CJK
// faces installed here, so Chinese text never falls back to boxes.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <thread>

// Loads the system's font configuration on a thread of its own, from the first line of main:
// the application connects to the display meanwhile, and the first text measured no longer
// waits for it (on a desktop with many fonts, the larger part of a start). Where Qt does not
// use fontconfig it does nothing.
class TFontConfigWarmUp {
 public:
  TFontConfigWarmUp();
  TFontConfigWarmUp(const TFontConfigWarmUp&) = delete;
  TFontConfigWarmUp& operator=(const TFontConfigWarmUp&) = delete;
  ~TFontConfigWarmUp() { Wait(); }
  // Returns once the configuration is loaded; call it before the first font is used, so that
  // Qt does not load it a second time alongside.
  void Wait() {
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  std::thread m_thread;
};

// Registers the substitutions; call once after the application object exists.
void InstallFontSubstitutions();

// The installed face that stands for a named font.
QString ResolveFontFamily(const QString& family);

// The Chinese names the windows use ("宋体", "隶书", "黑体") for which none of the faces that
// stand for them is among `installed` (QFontDatabase::families(), or a test's set).
QStringList MissingFonts(const QStringList& installed);

// A font of the named family at a size in pixels.
QFont UiFont(const QString& family, int pixelSize, bool bold = false);

// The one type family of every text on the draw screens (a bold sans CJK face, which reads
// from the back of a hall), under the name the screens use.
QString StageFamily();
