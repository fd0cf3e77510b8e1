// The program's own artwork, kept as SVG in the resources and rendered at the size asked.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// Makes the program's resources (art, help page) reachable; called before any use.
void EnsureResources();

// Renders ":/art/<name>.svg" to a pixmap of `size`; a missing picture gives a null pixmap.
QPixmap ArtPixmap(const QString& name, const QSize& size);
QIcon ArtIcon(const QString& name, const QSize& size);

// The picture ":/art/prerendered/<name>_<w>x<h>.png" for `size` (made by
// tools/PrerenderArt.cpp from the same drawing); null when there is none for that size or the
// screen does not show one device pixel per pixel.
QPixmap PrerenderedArt(const QString& name, const QSize& size);
