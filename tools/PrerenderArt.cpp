// Draws the main window's banner bands at its designed width, as the program ships them
// pre-rendered (see PrerenderedArt in ui/Art.h): run it after changing the banner's pictures,
// its caption or its font, and commit the pictures.
//
//   QT_QPA_PLATFORM=offscreen build/tombolix_prerender_art resources/art/prerendered
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QtEndian>
#include <cstdio>
#include <string>

#include "app/MainFrm.h"
#include "text/FileWrite.h"
#include "ui/Fonts.h"
#include "ui/Qt.h"

namespace {

quint32 Crc32(const QByteArray& bytes) {
  quint32 crc = 0xffffffffu;
  for (const char ch : bytes) {
    crc ^= static_cast<quint8>(ch);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void AppendChunk(QByteArray& png, const char* type, const QByteArray& data) {
  const QByteArray body = QByteArray(type, 4) + data;
  quint32 be = qToBigEndian(quint32(data.size()));
  png.append(reinterpret_cast<const char*>(&be), 4);
  png.append(body);
  be = qToBigEndian(Crc32(body));
  png.append(reinterpret_cast<const char*>(&be), 4);
}

// A PNG whose rows are stored unfiltered: it loads several times faster than one with the
// adaptive filters Qt's writer chooses, which is the point of shipping it.
QByteArray UnfilteredPng(const QImage& picture) {
  const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
  QByteArray rows;
  for (int y = 0; y < rgba.height(); ++y) {
    rows.append('\0');
    rows.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), rgba.width() * 4);
  }
  QByteArray header(13, '\0');
  qToBigEndian(quint32(rgba.width()), header.data());
  qToBigEndian(quint32(rgba.height()), header.data() + 4);
  header[8] = 8;  // bits per channel
  header[9] = 6;  // red, green, blue and alpha
  QByteArray png("\x89PNG\r\n\x1a\n", 8);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", qCompress(rows, 9).mid(4));  // a zlib stream after a length
  AppendChunk(png, "IEND", {});
  return png;
}

bool Save(const QPixmap& picture, const QString& path) {
  std::string error;
  const QByteArray png = picture.isNull() ? QByteArray() : UnfilteredPng(picture.toImage());
  if (png.isEmpty() ||
      !files::WriteFileAtomic(FromQ(path), std::string_view(png.constData(), png.size()), error)) {
    std::fprintf(stderr, "%s: not written %s\n", qPrintable(path), error.c_str());
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (app.devicePixelRatio() != 1.0) {
    std::fprintf(stderr,
                 "needs a screen of one device pixel per pixel (QT_QPA_PLATFORM=offscreen)\n");
    return 1;
  }
  InstallFontSubstitutions();
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const int w = TMainForm::kDesignedWidth;
  const bool ok =
      Save(TMainForm::RenderBannerHead(w), dir + QStringLiteral("/main_head_%1x73.png").arg(w)) &&
      Save(TMainForm::RenderBannerTools(w), dir + QStringLiteral("/banner_tools_%1x64.png").arg(w));
  return ok ? 0 : 1;
}
