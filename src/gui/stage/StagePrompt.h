// A message or a question shown on a draw screen itself, in the stage's style: a large card
// in the middle of the screen (or a banner where the screen wants it), answers named in
// Chinese, the keys of the desktop question. It waits for its answer as a dialog would, with
// the screen's timers running on.
#pragma once

#include <QEventLoop>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>

#include "gui/ui/Dialogs.h"

class QFontMetrics;
class QFrame;
class QKeyEvent;
class QLabel;
class QToolButton;

class TStagePrompt : public QWidget {
  Q_OBJECT
 public:
  explicit TStagePrompt(QWidget* screen);

  enum class Style {
    Question,  // 是 / 否 over a veil
    Message,   // 确定 over a veil
    Banner,    // 确定 on a ribbon, with no veil: what the screen shows stays in sight
  };

  // Shows the text in `card` (screen pixels; type sized by `scale`) and waits. Questions:
  // Enter (and the clicker keys) give `preferred`, Esc and N give No, Y gives Yes.
  // Messages: any of those keys closes. Closed when the screen goes away meanwhile.
  Answer Run(Style style, const QString& text, QRect card, double scale,
             Answer preferred = Answer::Yes);
  // Shows the text as Run does and returns at once: the answer goes to `then` from the
  // event loop, never after Cancel. Esc gives `escape` to a question. A prompt already open
  // keeps the card; this one follows it.
  void Open(Style style, const QString& text, QRect card, double scale, Answer preferred,
            Answer escape, std::function<void(Answer)> then);
  // Ends every waiting prompt without an answer (the screen closes).
  void Cancel();
  bool IsOpen() const { return m_loop != nullptr || m_current.has_value(); }
  Style CurrentStyle() const { return m_style; }
  // The text asked or told, as given (the card shows it broken into lines).
  const QString& Text() const { return m_text; }
  // `text` in lines no wider than `width`, each ending after a clause's mark (，。？ …) or at
  // a line break of its own; unchanged when it fits one line.
  static QString ClauseLines(const QString& text, const QFontMetrics& fm, int width);
  // A clause wider than `width` in pieces that fit, each but the last ending in a line break,
  // broken where no word parts (a blank, a bracket, Latin beside Chinese).
  static QStringList SoftPieces(const QString& clause, const QFontMetrics& fm, int width);
  // Answers what is in sight as from afar (the host's remote): a question with `a`, a
  // message with its 确定 whatever `a` is. False when nothing is open.
  bool Reply(Answer a);
  // Handles a key of the screen while open; true when it was taken.
  bool Key(const QKeyEvent* e);

  QFrame* PCard;
  QLabel* LbText;
  QToolButton* BtnYes;
  QToolButton* BtnNo;
  QToolButton* BtnOk;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  struct Request {
    Style style;
    QString text;
    QRect card;
    double scale;
    Answer preferred;
    Answer escape;
    std::function<void(Answer)> then;
  };
  void Answered(Answer a);
  void Present(Style style, const QString& text, QRect card, double scale, Answer preferred,
               Answer escape);
  void Place(QRect card, double scale);
  void StyleButtons(double scale);

  Style m_style = Style::Message;
  Answer m_preferred = Answer::Yes;
  Answer m_escape = Answer::No;
  Answer m_answer = Answer::Closed;
  QEventLoop* m_loop = nullptr;
  QString m_text;
  std::optional<Request> m_current;  // the prompt of Open in sight
  std::deque<Request> m_waiting;     // prompts of Open still to come
};
