// A QR code drawn by the program from libqrencode's modules.
#pragma once

#include <QImage>
#include <QString>

// The code of `text` (error correction M), black on white with the standard quiet zone of
// four modules, `module` pixels a module; a null image when the text does not encode.
QImage QrImage(const QString& text, int module);
