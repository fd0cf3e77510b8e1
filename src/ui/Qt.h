// Conversions between the core's GBK texts and Qt's QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

QString Q(std::string_view gbk);
std::string FromQ(const QString& s);  // to GBK
