// The two file choices with the checks every caller needs.
#pragma once

#include <QString>

class QWidget;

// Save: asks for a name with extension `extension` (no dot), offering `defaultName` with
// it; the file type is named `typeName` ("活动包", shown as "活动包 (*.zip)"; when empty, the
// common name of the extension: 文本文件, Excel文件, 图像文件, 音频文件). Forces that extension,
// asks before overwriting an existing file; on yes the file stays until the writer replaces it.
// Empty when nothing was chosen.
void ChooseSaveFile(const QString& extension, const QString& title, const QString& defaultName,
                    QWidget* owner, QString& fileName, const QString& typeName = QString());

// Open: `filter` is an extension ("txt", offered as "文本文件 (*.txt)"), or description|patterns
// pairs ("图片|*.jpg;*.bmp").
// Gives the path of an existing file, or empty after telling the operator it does not exist.
void ChooseOpenFile(const QString& filter, const QString& title, QString& fileName);

// The Qt filter text for ChooseOpenFile's filter argument.
QString OpenFilterToQt(const QString& filter);
