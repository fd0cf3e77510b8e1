// The 公示单 drawn for print and for a screen: an A4 PDF with as many pages as the text
// needs, each A4 page also as a PNG at print resolution, and one 1920×1080 PNG for a
// projector or a web page. The texts are core's (check::TNotice); this only lays them out.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "core/check/Notice.h"

// Print resolution of the A4 pages (PDF and PNG): 300 dpi, 2480 × 3508 pixels.
constexpr int kNoticeDpi = 300;
// The screen-sized picture.
inline constexpr QSize kNoticeScreen{1920, 1080};

// The A4 pages as a PDF document.
QByteArray NoticePdf(const check::TNotice& notice);
// The A4 pages as pictures at kNoticeDpi, in order.
std::vector<QImage> NoticeA4Images(const check::TNotice& notice);
// The notice on one picture of `size`: the text is made as large as fits, never cut.
QImage NoticeScreenImage(const check::TNotice& notice, QSize size = kNoticeScreen);

// The files written for a notice whose PDF is `pdfPath`: the PDF itself, then beside it
// "<name>_A4.png" (page 2 on: "<name>_A4_2.png" …) and "<name>_1920x1080.png".
QStringList NoticeFileNames(const QString& pdfPath, int a4Pages);

// Writes every file of the notice, each beside its target and renamed into place; false
// with the error text (GBK) when one could not be written, after which the files before
// it are whole and the rest untouched. `written` gets the names written.
bool WriteNotice(const check::TNotice& notice, const QString& pdfPath, QStringList& written,
                 std::string& error);

// Makes task `taskId`'s notice as of today, asks where to save it and writes it, telling
// the operator what was written or what was not.
void SaveNotice(int32_t taskId, QWidget* parent);
