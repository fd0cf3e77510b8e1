#include "gui/ui/Fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>
#include <system_error>

#if __has_include(<fontconfig/fontconfig.h>)
#include <fontconfig/fontconfig.h>
#define TOMBOLIX_FONTCONFIG 1
#endif

namespace {

struct Mapping {
  QStringList names;       // names the windows use
  QStringList candidates;  // installed faces, best first
};

// Windows names its faces in English (Microsoft YaHei and SimSun come with every Windows
// 10 and 11; SimHei and KaiTi with a Chinese one); elsewhere the free CJK faces stand in.
const QList<Mapping>& Mappings() {
  static const QList<Mapping> m = {
      {{QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")},
       {
#ifdef Q_OS_WIN
           QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("Microsoft YaHei"),
#endif
           QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
           QStringLiteral("AR PL SungtiL GB"), QStringLiteral("WenQuanYi Zen Hei")}},
      // The Kai faces have no bold weight, and the screens draw these titles bold.
      {{QStringLiteral("隶书"), QStringLiteral("LiSu")},
       {
#ifdef Q_OS_WIN
           QStringLiteral("LiSu"), QStringLiteral("SimHei"), QStringLiteral("Microsoft YaHei"),
#endif
           QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UKai CN"),
           QStringLiteral("AR PL KaitiM GB"), QStringLiteral("WenQuanYi Zen Hei")}},
      {{QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("微软雅黑"),
        QStringLiteral("Microsoft YaHei")},
       {
#ifdef Q_OS_WIN
           QStringLiteral("Microsoft YaHei"), QStringLiteral("SimHei"),
#endif
           QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
           QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("AR PL UMing CN")}},
      {{QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma")},
       {
#ifdef Q_OS_WIN
           QStringLiteral("Microsoft YaHei UI"), QStringLiteral("Microsoft YaHei"),
#endif
           QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
           QStringLiteral("DejaVu Sans")}},
  };
  return m;
}

QString FirstInstalled(const QStringList& candidates) {
  const QStringList families = QFontDatabase::families();
  for (const QString& c : candidates) {
    if (families.contains(c, Qt::CaseInsensitive)) return c;
  }
  return {};
}

}  // namespace

TFontConfigWarmUp::TFontConfigWarmUp() {
#ifdef TOMBOLIX_FONTCONFIG
  // The same call that Qt makes before it lists the fonts; once loaded, Qt's returns at once.
  // Without a thread to spare, Qt loads it itself as before.
  try {
    m_thread = std::thread([] { FcInit(); });
  } catch (const std::system_error&) {
  }
#endif
}

void InstallFontSubstitutions() {
  for (const Mapping& m : Mappings()) {
    const QString face = FirstInstalled(m.candidates);
    if (face.isEmpty()) continue;
    // Every CJK face as a fallback behind the chosen one.
    QStringList subs{face};
    for (const QString& c : m.candidates) {
      if (c != face) subs << c;
    }
    for (const QString& name : m.names) QFont::insertSubstitutions(name, subs);
  }
  QFont app = UiFont(QStringLiteral("MS Sans Serif"), 12);
  QApplication::setFont(app);
}

QString ResolveFontFamily(const QString& family) {
  for (const Mapping& m : Mappings()) {
    if (m.names.contains(family, Qt::CaseInsensitive)) {
      const QString face = FirstInstalled(m.candidates);
      if (!face.isEmpty()) return face;
    }
  }
  return family;
}

QFont UiFont(const QString& family, int pixelSize, bool bold) {
  QFont f(ResolveFontFamily(family));
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

QStringList MissingFonts(const QStringList& installed) {
  QStringList missing;
  for (const Mapping& m : Mappings()) {
    const QString& name = m.names.first();
    if (name.at(0).unicode() < 0x80) continue;  // a Latin face falls back without boxes
    bool found = false;
    for (const QString& c : m.candidates)
      found = found || installed.contains(c, Qt::CaseInsensitive);
    if (!found) missing << name;
  }
  return missing;
}

QString StageFamily() { return QStringLiteral("黑体"); }
