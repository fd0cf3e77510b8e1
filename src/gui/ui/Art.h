// The program's own artwork, kept as SVG in the resources and rendered at the size asked.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

// Makes the program's resources (art, help page) reachable; called before any use.
void EnsureResources();

// ":/art/<name>.svg" at `size`: the pre-rendered picture when one ships for that size, else
// rendered. A missing picture gives a null pixmap.
QPixmap ArtPixmap(const QString& name, const QSize& size);
QIcon ArtIcon(const QString& name, const QSize& size);

// Renders ":/art/<name>.svg" to a pixmap of `size`, always: the drawing the pre-rendered
// pictures are made from.
QPixmap RenderArt(const QString& name, const QSize& size);

// The picture ":/art/prerendered/<name>_<w>x<h>.argb32" for `size`, made by
// tools/PrerenderArt.cpp from the same drawing: the pixels as they lie in memory (premultiplied
// ARGB, 32 bits little-endian each, rows from the top), kept uncompressed in the program, so
// showing it costs a copy and no decoding. Null when there is none for that size, or the
// screen does not show one device pixel per pixel.
QPixmap PrerenderedArt(const QString& name, const QSize& size);
// The pixels of such a picture (for the tool that makes them).
QByteArray PrerenderedArtBytes(const QImage& picture);
