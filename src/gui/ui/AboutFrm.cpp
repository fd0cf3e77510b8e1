#include "gui/ui/AboutFrm.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

#include "gui/ui/Art.h"
#include "gui/ui/Fonts.h"

namespace {
const QColor kBackColor(240, 247, 254);
const QString kSupportMail = QStringLiteral("support@qarvo.cn");
const QString kWebSite = QStringLiteral("https://www.qarvo.cn");
}  // namespace

TAboutForm::TAboutForm(const QString& caption, const QString& version, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("关于") + caption);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(486, 260);
  setFont(UiFont(QStringLiteral("宋体"), 12));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kBackColor);
  pal.setColor(QPalette::Base, kBackColor);
  setPalette(pal);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(8, 8, 145, 233);
  Image1->setPixmap(ArtPixmap(QStringLiteral("about_side"), Image1->size()));

  LbSoftName = new QLabel(caption, this);
  LbSoftName->setObjectName(QStringLiteral("LbSoftName"));
  LbSoftName->setGeometry(168, 24, 310, 40);
  LbSoftName->setFont(UiFont(QStringLiteral("隶书"), 29, true));

  auto label = [this](const char* name, const QString& t, int x, int y, int w) {
    auto* l = new QLabel(t, this);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, 18);
    return l;
  };
  Label1 = label("Label1", QStringLiteral("版本信息："), 176, 72, 64);
  LVec = label("LVec", version, 240, 72, 160);
  Label3 = label("Label3", QStringLiteral("技术支持："), 176, 120, 64);
  Label5 = label("Label5", QStringLiteral("Qarvo在线："), 166, 144, 74);
  Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto link = [this, &pal](const char* name, const QString& t, int y, int w) {
    auto* e = new QLineEdit(t, this);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(240, y, w, 18);
    e->setReadOnly(true);
    e->setFrame(false);
    e->setFont(UiFont(QStringLiteral("宋体"), 12));
    QPalette p = pal;
    p.setColor(QPalette::Text, QColor(0, 0, 255));
    e->setPalette(p);
    e->setCursor(Qt::PointingHandCursor);
    e->setFocusPolicy(Qt::NoFocus);
    e->installEventFilter(this);
    return e;
  };
  EdtMail = link("EdtMail", kSupportMail, 120, 161);
  EUrl = link("EUrl", kWebSite, 144, 145);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setGeometry(160, 200, 313, 2);
  Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);

  BtnOk = new QPushButton(QStringLiteral("确定"), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnOk->setGeometry(392, 216, 75, 25);
  BtnOk->setCursor(Qt::PointingHandCursor);
  BtnOk->setIcon(ArtIcon(QStringLiteral("glyph_ok"), QSize(16, 16)));
  BtnOk->setDefault(true);
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);
}

QUrl TAboutForm::ContactUrl(const QString& contact) {
  if (contact.contains(QLatin1Char('@')) && !contact.contains(QLatin1String("://")))
    return QUrl(QStringLiteral("mailto:") + contact);
  return QUrl::fromUserInput(contact);
}

// A click on the mail field writes to support; a click on the site opens the site.
void TAboutForm::EdtMailClick() { QDesktopServices::openUrl(ContactUrl(EdtMail->text())); }
void TAboutForm::EUrlClick() { QDesktopServices::openUrl(ContactUrl(EUrl->text())); }

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == EdtMail) EdtMailClick();
    if (watched == EUrl) EUrlClick();
  }
  return QDialog::eventFilter(watched, event);
}
