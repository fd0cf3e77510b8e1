// The background of the draw screens: the task's picture covering the screen, or our own
// festive picture laid out on the design grid.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// `art` names our picture for the screen ("draw_background", "prob_background").
QPixmap DrawScreenBackground(QSize screen, QRect stage, const QImage& taskPicture,
                             const QString& art);

// A soft dark shadow behind a text, so it stays legible on any picture.
void AddTextShadow(QWidget* w);

// Covers the screen the window stands on (its opener's, or the primary one).
void ShowOnWholeScreen(QWidget* w);
