#include "gui/ui/Qt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "core/text/Gbk.h"

QString Q(std::string_view gbk) { return QString::fromStdString(text::GbkToUtf8(gbk)); }

std::string FromQ(const QString& s) { return text::Utf8ToGbk(s.toStdString()); }

QTranslator* InstallChineseQtTexts(QCoreApplication& app) {
  // Dates, numbers and day names in the file dialogs as on the operators' Chinese systems.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}
