#include "gui/ui/HelpFrm.h"

#include <QDesktopServices>
#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "Version.h"
#include "gui/ui/Art.h"
#include "gui/ui/Fonts.h"

THelpForm::THelpForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HelpForm"));
  setWindowTitle(QString::fromUtf8(kProductName) + QStringLiteral(" 帮助"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMaximizeButtonHint);
  resize(760, 600);
  Browser = new QTextBrowser(this);
  Browser->setObjectName(QStringLiteral("Browser"));
  Browser->setOpenLinks(true);
  Browser->setOpenExternalLinks(true);
  Browser->setFont(UiFont(QStringLiteral("黑体"), 15));
  EnsureResources();
  QFile page(QStringLiteral(":/help/help.html"));
  if (page.open(QIODevice::ReadOnly)) Browser->setHtml(QString::fromUtf8(page.readAll()));
  auto* ok = new QPushButton(QStringLiteral("关闭"), this);
  ok->setObjectName(QStringLiteral("BtnClose"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* root = new QVBoxLayout(this);
  root->addWidget(Browser, 1);
  root->addWidget(ok, 0, Qt::AlignRight);
}
