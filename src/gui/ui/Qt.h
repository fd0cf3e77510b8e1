// Conversions between the core's GBK texts and Qt's QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

QString Q(std::string_view gbk);
std::string FromQ(const QString& s);  // to GBK

class QCoreApplication;
class QTranslator;

// Puts Qt's own texts (the file dialogs, an edit's context menu) into Simplified Chinese like
// the rest of the program. Returns the installed translator (owned by `app`), or null when
// Qt's translation files are missing; the texts then stay English.
QTranslator* InstallChineseQtTexts(QCoreApplication& app);
