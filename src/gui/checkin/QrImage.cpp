#include "gui/checkin/QrImage.h"

#include <qrencode.h>

#include <QPainter>

QImage QrImage(const QString& text, int module) {
  const QByteArray bytes = text.toUtf8();
  QRcode* code = QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M);
  if (!code) return {};
  constexpr int kQuiet = 4;
  const int n = code->width;
  const int side = (n + 2 * kQuiet) * module;
  QImage img(side, side, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      if (code->data[y * n + x] & 1)
        p.fillRect((x + kQuiet) * module, (y + kQuiet) * module, module, module, Qt::black);
  p.end();
  QRcode_free(code);
  return img;
}
