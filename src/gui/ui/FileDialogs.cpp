#include "gui/ui/FileDialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "gui/ui/Dialogs.h"

namespace {

// Trims bytes 0 to 32 at both ends, as the system's texts are trimmed.
QString TrimControl(const QString& s) {
  qsizetype b = 0;
  qsizetype e = s.size();
  while (b < e && s[b].unicode() <= 32) ++b;
  while (e > b && s[e - 1].unicode() <= 32) --e;
  return s.mid(b, e - b);
}

// The extension of a name from its last dot, dot included; empty when the file part has none.
qsizetype ExtensionStart(const QString& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const qsizetype sep =
      qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
  return dot > sep ? dot : -1;
}

// A file type named the way the operator's system names it: "文本文件", "xlsx文件".
QString TypeName(const QString& extension) {
  const QString e = extension.toLower();
  if (e == QLatin1String("txt")) return QStringLiteral("文本文件");
  if (e == QLatin1String("xlsx") || e == QLatin1String("xls")) return QStringLiteral("Excel文件");
  if (e == QLatin1String("jpg") || e == QLatin1String("jpeg") || e == QLatin1String("bmp"))
    return QStringLiteral("图像文件");
  if (e == QLatin1String("mp3") || e == QLatin1String("wma")) return QStringLiteral("音频文件");
  return extension + QStringLiteral("文件");
}

}  // namespace

void ChooseSaveFile(const QString& extension, const QString& title, const QString& defaultName,
                    QWidget* owner, QString& fileName, const QString& typeName) {
  fileName.clear();
  const QString dotExt = QLatin1Char('.') + extension;
  const QString filter = QStringLiteral("%1 (*.%2)")
                             .arg(typeName.isEmpty() ? TypeName(extension) : typeName, extension);
  QString chosen;
  if (!Dialogs().getSaveFileName(owner, title, filter, defaultName + dotExt, chosen)) return;
  QString name = TrimControl(chosen);
  if (name.isEmpty()) {
    Dialogs().warning(QStringLiteral("请选择保存的文件名"));
    return;
  }
  const qsizetype at = ExtensionStart(name);
  if (at < 0) {
    name += dotExt;
  } else if (name.mid(at) != dotExt) {
    name = name.left(at) + dotExt;
  }
  if (!QFileInfo::exists(name)) {
    fileName = name;
    return;
  }
  const QString question = QStringLiteral("文件:\"") + name + QStringLiteral("\"已经存在！\n") +
                           QStringLiteral("要覆盖该文件请按“是”");
  // Only Yes overwrites: a question closed with its close box keeps the file.
  if (AskYesNo(question) != Answer::Yes) return;
  // The file is left in place: every writer replaces its target atomically, so an export
  // that fails keeps the file the operator agreed to overwrite.
  fileName = name;
}

QString OpenFilterToQt(const QString& filter) {
  if (filter.isEmpty()) return {};
  if (!filter.contains(QLatin1Char('|'))) {
    return QStringLiteral("%1 (*.%2)").arg(TypeName(filter), filter);
  }
  // Pairs of description and ';'-separated patterns, as the configuration window gives them.
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << QStringLiteral("%1 (%2)").arg(parts[i], patterns.simplified());
  }
  if (parts.size() % 2 == 1 && !parts.last().isEmpty()) out << parts.last();
  return out.join(QStringLiteral(";;"));
}

void ChooseOpenFile(const QString& filter, const QString& title, QString& fileName) {
  fileName.clear();
  QString chosen;
  if (!Dialogs().getOpenFileName(nullptr, title, OpenFilterToQt(filter), chosen)) return;
  const QString name = TrimControl(chosen);
  if (!name.isEmpty() && QFileInfo(name).isFile()) {
    fileName = name;
    return;
  }
  Dialogs().warning(QStringLiteral("该文件不存在！"));
}
