#include "gui/ui/MessageFrm.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextOption>
#include <QVBoxLayout>

#include "gui/ui/Art.h"
#include "gui/ui/Fonts.h"

namespace {
const QColor kPanelColor(240, 247, 254);

void CentreOnScreen(QWidget* w) {
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect r = s->availableGeometry();
    w->move(r.center() - QPoint(w->width() / 2, w->height() / 2));
  }
}
}  // namespace

TMessageForm::TMessageForm(QWidget* parent)
    : QDialog(parent ? parent : QApplication::activeWindow()) {
  setObjectName(QStringLiteral("MessageForm"));
  setWindowTitle(QStringLiteral("提示"));
  // Customised so that no window manager adds a minimise or maximise button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  setFixedSize(394, 208);
  setFont(UiFont(QStringLiteral("宋体"), 12));

  ImgTitle = new QLabel(this);
  ImgTitle->setObjectName(QStringLiteral("ImgTitle"));
  ImgTitle->setGeometry(0, 0, width(), 57);
  ImgTitle->setPixmap(ArtPixmap(QStringLiteral("message_banner"), ImgTitle->size()));

  const char* kinds[] = {"kind_information", "kind_warning", "kind_error", "kind_attention"};
  QLabel** imgs[] = {&Img0, &Img1, &Img2, &Img3};
  for (int i = 0; i < 4; ++i) {
    QLabel* img = new QLabel(this);
    img->setObjectName(QStringLiteral("Img%1").arg(i));
    img->setGeometry(16, 16, 33, 33);
    img->setPixmap(ArtPixmap(QString::fromLatin1(kinds[i]), QSize(32, 32)));
    img->hide();
    *imgs[i] = img;
  }

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, 57, width(), height() - 57);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setAutoFillBackground(true);
  QPalette pal = Panel1->palette();
  pal.setColor(QPalette::Window, kPanelColor);
  pal.setColor(QPalette::Base, kPanelColor);
  Panel1->setPalette(pal);

  MemMessage = new QPlainTextEdit(Panel1);
  MemMessage->setObjectName(QStringLiteral("MemMessage"));
  MemMessage->setGeometry(24, 16, 321, 73);
  MemMessage->setFrameStyle(QFrame::NoFrame);
  MemMessage->setReadOnly(true);
  MemMessage->setFocusPolicy(Qt::NoFocus);
  MemMessage->setTextInteractionFlags(Qt::NoTextInteraction);
  MemMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemMessage->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  MemMessage->setFont(UiFont(QStringLiteral("宋体"), 14));
  MemMessage->setPalette(pal);
  MemMessage->document()->setDocumentMargin(0);

  Bevel1 = new QFrame(Panel1);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setGeometry(8, 96, 377, 2);
  Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);

  BtnOk = new QPushButton(QStringLiteral("确定"), Panel1);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnOk->setGeometry(297, 113, 75, 25);
  BtnOk->setIcon(ArtIcon(QStringLiteral("glyph_ok"), QSize(16, 16)));
  BtnOk->setDefault(true);
  BtnOk->setAutoDefault(true);
  BtnOk->setFocus();
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);

  CentreOnScreen(this);
}

void TMessageForm::SetMessage(MessageKind kind, const QString& text) {
  Img0->setVisible(kind == MessageKind::Information);
  Img1->setVisible(kind == MessageKind::Warning);
  Img2->setVisible(kind == MessageKind::Error);
  Img3->setVisible(kind == MessageKind::Attention);
  MemMessage->setPlainText(text);
  FitText();
}

void TMessageForm::FitText() {
  // The designed box holds four lines; a longer text (an import's summary, a deep path)
  // widens it, then makes it taller, up to most of the screen, where it scrolls.
  constexpr int kMemoWidths[] = {321, 461, 601};
  constexpr int kDesignedMemo = 73;
  const QFontMetrics fm(MemMessage->font());
  const QString text = MemMessage->toPlainText();
  int memoWidth = kMemoWidths[0];
  int need = 0;
  for (int w : kMemoWidths) {
    memoWidth = w;
    // A little room for the editor's own margins.
    need =
        fm.boundingRect(QRect(0, 0, w - 6, 1 << 20), Qt::TextWordWrap | Qt::TextWrapAnywhere, text)
            .height() +
        4;
    if (need <= kDesignedMemo) break;
  }
  int most = 600;
  if (const QScreen* s = QGuiApplication::primaryScreen())
    most = std::max(kDesignedMemo, s->availableGeometry().height() * 3 / 4 - 135);
  const int memoHeight = std::clamp(need, kDesignedMemo, most);
  MemMessage->setVerticalScrollBarPolicy(need > memoHeight ? Qt::ScrollBarAsNeeded
                                                           : Qt::ScrollBarAlwaysOff);
  const QSize box(memoWidth + 73, memoHeight + 135);
  if (box == size()) return;
  setFixedSize(box);
  ImgTitle->setGeometry(0, 0, box.width(), 57);
  ImgTitle->setPixmap(ArtPixmap(QStringLiteral("message_banner"), ImgTitle->size()));
  Panel1->setGeometry(0, 57, box.width(), box.height() - 57);
  MemMessage->setGeometry(24, 16, memoWidth, memoHeight);
  Bevel1->setGeometry(8, memoHeight + 23, box.width() - 17, 2);
  BtnOk->setGeometry(box.width() - 97, memoHeight + 40, 75, 25);
  CentreOnScreen(this);
}

TConfirmDialog::TConfirmDialog(const QString& text, QWidget* parent, Answer preferred)
    : QDialog(parent ? parent : QApplication::activeWindow()) {
  setObjectName(QStringLiteral("ConfirmDialog"));
  // The captions and buttons the operators' Chinese systems give a question.
  setWindowTitle(QStringLiteral("确认"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("Icon"));
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("Text"));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setMinimumWidth(260);
  label->setMaximumWidth(520);
  BtnYes = new QPushButton(QStringLiteral("是(&Y)"), this);
  BtnYes->setObjectName(QStringLiteral("BtnYes"));
  BtnNo = new QPushButton(QStringLiteral("否(&N)"), this);
  BtnNo->setObjectName(QStringLiteral("BtnNo"));
  QPushButton* preferredButton = preferred == Answer::No ? BtnNo : BtnYes;
  preferredButton->setDefault(true);
  BtnYes->setAutoDefault(true);
  BtnNo->setAutoDefault(true);
  connect(BtnYes, &QPushButton::clicked, this, [this] {
    m_answer = Answer::Yes;
    accept();
  });
  connect(BtnNo, &QPushButton::clicked, this, [this] {
    m_answer = Answer::No;
    reject();
  });
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(8);
  top->addWidget(label, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtnYes);
  buttons->addWidget(BtnNo);
  buttons->addStretch();
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(16, 16, 16, 12);
  root->addLayout(top);
  root->addSpacing(12);
  root->addLayout(buttons);
  setFixedSize(sizeHint());
  preferredButton->setFocus();
}

namespace {
// Y and N alone answer, as every message box the operators know does; Shift is allowed for
// caps lock habits, other modifiers belong to shortcuts.
bool PlainLetter(const QKeyEvent* e, Qt::Key key) {
  return e->key() == key && (e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
}
}  // namespace

void TConfirmDialog::keyPressEvent(QKeyEvent* e) {
  if (PlainLetter(e, Qt::Key_Y)) {
    BtnYes->click();
    return;
  }
  if (e->key() == Qt::Key_Escape || PlainLetter(e, Qt::Key_N)) {
    BtnNo->click();
    return;
  }
  QDialog::keyPressEvent(e);
}

TWarningDialog::TWarningDialog(const QString& text, QWidget* parent)
    : QDialog(parent ? parent : QApplication::activeWindow()) {
  setObjectName(QStringLiteral("WarningDialog"));
  setWindowTitle(QStringLiteral("警告"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("Text"));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setMinimumWidth(200);
  BtnYes = new QPushButton(QStringLiteral("确定"), this);
  BtnYes->setObjectName(QStringLiteral("BtnYes"));
  BtnYes->setDefault(true);
  connect(BtnYes, &QPushButton::clicked, this, &QDialog::accept);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(8);
  top->addWidget(label, 1);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(16, 16, 16, 12);
  root->addLayout(top);
  root->addSpacing(12);
  root->addWidget(BtnYes, 0, Qt::AlignHCenter);
  setFixedSize(sizeHint());
}

void TWarningDialog::keyPressEvent(QKeyEvent* e) {
  if (PlainLetter(e, Qt::Key_Y)) {
    BtnYes->click();
    return;
  }
  if (PlainLetter(e, Qt::Key_N)) {
    reject();
    return;
  }
  QDialog::keyPressEvent(e);
}
