#include "ui/Qt.h"

#include "text/Gbk.h"

QString Q(std::string_view gbk) { return QString::fromStdString(text::GbkToUtf8(gbk)); }

std::string FromQ(const QString& s) { return text::Utf8ToGbk(s.toStdString()); }
