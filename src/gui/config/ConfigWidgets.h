// Pieces the tabs of the configuration window share: the digit-only key filter of the
// number fields, the picture and music file filters, and showing loaded texts from their start.
#pragma once

#include <QObject>
#include <QString>
#include <initializer_list>

class QLineEdit;

namespace config {

// The height the rules sections add to the designed window: every tab's buttons stand this
// much lower than designed.
inline constexpr int kRulesRoom = 112;

// Discards the characters the number fields do not take; keys that type nothing (arrows,
// Delete, Tab, Esc) pass, and so do Ctrl shortcuts: without Ctrl+A an operator who means to
// replace "1000" by "10" types "100010". Pasted non-digits are caught on save.
class DigitKeyFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// The open-file filters of pictures and music, matching the extensions in any letter case.
QString ImageFilter();
QString MusicFilter();
// The show's sounds (音效): the formats the draw screen plays and the check opens.
QString SoundFilter();

// A loaded value is shown from its first character: setText leaves the cursor at the end,
// and a long title or path would show only its tail.
void ShowFromStart(std::initializer_list<QLineEdit*> edits);

}  // namespace config
