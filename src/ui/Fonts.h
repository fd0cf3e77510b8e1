// The fonts the windows name ("宋体", "隶书", "黑体", "MS Sans Serif") mapped to the CJK
// faces installed here, so Chinese text never falls back to boxes.
#pragma once

#include <QFont>
#include <QString>

// Registers the substitutions; call once after the application object exists.
void InstallFontSubstitutions();

// The installed face that stands for a named font.
QString ResolveFontFamily(const QString& family);

// A font of the named family at a size in pixels.
QFont UiFont(const QString& family, int pixelSize, bool bold = false);

// The one type family of every text on the draw screens (a bold sans CJK face, which reads
// from the back of a hall), under the name the screens use.
QString StageFamily();
