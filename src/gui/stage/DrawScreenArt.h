// The background of the draw screens: the task's picture covering the screen, or our own
// festive picture laid out on the design grid.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

class QLabel;
class QWidget;
class TDesignScale;

// `art` names our picture for the screen ("draw_background", "prob_background"). `band`
// (design rows, may be empty) is the light band our picture has under the roll: a task's
// own picture gets a translucent one there, so the roll reads on any picture.
QPixmap DrawScreenBackground(QSize screen, QRect stage, const QImage& taskPicture,
                             const QString& art, QRect band = {});

// A soft dark shadow behind a text, so it stays legible on any picture.
void AddTextShadow(QWidget* w);
// The part of its parent that `w` paints: its geometry, grown by the reach of its shadow.
QRect PaintedArea(const QWidget* w);

class QScreen;

// The screen for a draw screen opened from `owner`: with an extended desktop, the first
// screen other than the owner's (the projector beside the laptop); with one, that one.
QScreen* DrawScreenFor(const QWidget* owner);

// Covers the screen DrawScreenFor chooses for the window's opener.
void ShowOnWholeScreen(QWidget* w);

// Shows a title in its label; a title that would shrink below 60 % of its size on one line
// is broken into two lines instead: after `breakAfter` when it holds one, else in the middle.
void SetTitleText(TDesignScale& design, QLabel* label, const QString& title,
                  QChar breakAfter = QChar());
