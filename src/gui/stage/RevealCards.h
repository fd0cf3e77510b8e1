// The winners of a batch of up to six as cards on the stage's band: each card what the stage
// shows of the candidate line (the name first and largest, the id below it and smaller, the
// other fields smaller still, on two lines when they are long) and the winner's photo when
// the task has one. Drawn once into a picture per change.
//
// The names of a batch share one size. A name too long for its card at that size breaks into
// two lines first and shrinks only when those do not fit either, alone: the other cards keep
// their size, and no name is ever cut. The sizes are worked out from the texts measured once
// at a reference size, so that no font is made per size tried.
#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

class QTimer;
#include <functional>
#include <optional>
#include <utility>
#include <vector>

struct TStageCard {
  QString id;  // empty when the id is the name
  QString name;
  QString rest;
  QPixmap photo;  // null: the card has no picture and no empty frame
};

class TRevealCards : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMaxCards = 6;

  explicit TRevealCards(QWidget* parent);
  void SetCards(std::vector<TStageCard> cards);
  // Lays `cards` out and draws them ahead for a widget of `size`, a step at a time from the
  // event loop, so that frames keep coming meanwhile: SetCards with the same cards at that
  // size then only shows them (and finishes what is left first).
  void Prepare(std::vector<TStageCard> cards, QSize size);
  bool Prepared() const;
  // The cards in sight were drawn ahead, whole, before SetCards showed them.
  bool DrawnAhead() const { return m_drawnAhead; }
  const std::vector<TStageCard>& Cards() const { return m_cards; }
  // Screen rectangles of the cards, relative to this widget.
  std::vector<QRect> CardRects() const;
  // The card at a point of this widget, or -1.
  int CardAt(QPoint p) const;
  // A click on a card: its index. Clicks beside the cards go on to the parent.
  std::function<void(int card)> onCardClicked;
  // Pixel sizes of the type on the cards as drawn (0 before the first paint, or when no card
  // has that line): the batch's name (the id when a card has no name), the largest id under
  // a name, the largest of the other fields.
  int NamePixels() const { return m_batchName; }
  int IdPixels() const;
  int RestPixels() const;
  // One card as drawn: its name's size and lines, its id's and other fields' sizes, and the
  // room its texts stand in (relative to this widget).
  struct Look {
    int name = 0;
    QStringList nameLines;
    int id = 0;
    int rest = 0;
    QRect text;
  };
  const Look& LookOf(int card) const { return m_looks.at(static_cast<size_t>(card)); }
  // The grand prize's cards: a warmer fill, and several winners stand in as many rows as
  // give their names the largest type.
  void SetGrand(bool grand) { m_grand = grand; }
  // The card of the winner chosen to be marked absent (Q, ↑↓), framed; -1 for none.
  void SetChosen(int card);
  int Chosen() const { return m_chosen; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  // The batch as it is being drawn ahead: laid out first, then a card per step.
  struct Ahead {
    std::vector<TStageCard> cards;
    QSize size;
    qreal dpr = 1;
    bool grand = false;
    int rows = 1;
    std::vector<Look> looks;
    int batchName = 0;
    std::vector<bool> longNames;
    bool laidOut = false;
    std::vector<std::pair<int, bool>> fonts;  // the sizes of type to load, and bold
    size_t warmed = 0;                        // of them loaded
    size_t checked = 0;                       // cards checked as drawn
    QPixmap picture;
    int next = -1;  // the card to draw next; -1 before the check as drawn
  };
  Ahead Begin(std::vector<TStageCard> cards, QSize size) const;
  // One step; true when the picture is complete.
  bool Step(Ahead& a) const;
  void StepAhead();
  static bool SameCards(const std::vector<TStageCard>& a, const std::vector<TStageCard>& b);
  // Takes the picture drawn ahead, or draws it now, then marks the chosen card.
  void Render();
  void Mark();
  // The places of `n` cards in `rows` rows (one on the band) in a widget of `room`.
  std::vector<QRect> RectsIn(int n, int rows, QSize room) const;
  // Lays `cards` out in `rects` from their texts measured once; returns the looks, in
  // `batchName` the batch's size and in `longNames` which names are long.
  std::vector<Look> LayOut(const std::vector<TStageCard>& cards, const std::vector<QRect>& rects,
                           int* batchName, std::vector<bool>* longNames) const;
  // Checks a card's look as drawn, shrinking it when its texts do not quite fit.
  void Check(const TStageCard& card, Look& look) const;
  void PaintCard(QPainter& p, const TStageCard& c, QRect r, const Look& look, bool chosen,
                 bool grand) const;
  // The card's room for its text (and where its photo goes).
  QRect TextRect(const TStageCard& c, QRect r, QRect* photo) const;
  // The other fields as drawn: one line, or two when they are long.
  static QStringList RestLines(const QString& rest);
  static constexpr int kRestOneLine = 12;  // characters

  std::vector<TStageCard> m_cards;
  QPixmap m_plain;  // the batch, no card chosen
  QPixmap m_cache;  // as shown
  std::optional<Ahead> m_ahead;
  QTimer* m_step;
  std::vector<Look> m_looks;
  int m_batchName = 0;
  int m_rows = 1;
  bool m_drawnAhead = false;
  bool m_grand = false;
  int m_chosen = -1;
};
