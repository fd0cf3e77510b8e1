#include "gui/app/ShowCheckFrm.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/check/Notice.h"
#include "core/checkin/CheckinService.h"
#include "core/net/Firewall.h"
#include "core/net/LanServer.h"
#include "core/text/Gbk.h"
#include "gui/results/NoticePage.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

std::vector<check::TFinding> WindowFindings(const check::TShowCheck& files,
                                            const QStringList& installedFonts,
                                            const QWidget* owner) {
  std::vector<check::TFinding> out;
  if (files.Pictures.empty())
    out.push_back({check::TMark::NotUsed, text::G("图片"), text::G("未设背景图片和奖品图片")});
  for (const check::TPictureToOpen& p : files.Pictures) {
    const QString path = Q(p.Path);
    const bool exists = QFileInfo(path).isFile();
    QImageReader reader(path);
    // Read whole, as the draw screen will: a cut-off file fails here, not on stage.
    const bool opened = exists && !reader.read().isNull();
    out.push_back(check::PictureFinding(p, exists, opened, text::G("文件已损坏或不是图片")));
  }
  std::vector<std::string> missing;
  for (const QString& name : MissingFonts(installedFonts)) missing.push_back(FromQ(name));
  out.push_back(check::FontFinding(missing));
  const QList<QScreen*> screens = QGuiApplication::screens();
  QScreen* draw = DrawScreenFor(owner);
  const int index = draw ? static_cast<int>(screens.indexOf(draw)) + 1 : 0;
  const QSize size = draw ? draw->size() : QSize();
  out.push_back(
      check::ScreenFinding(static_cast<int>(screens.size()), index, size.width(), size.height()));
  return out;
}

namespace {

// The check-in page answers at `url` as a phone would load it.
bool PageAnswers(const QString& url) {
  const QUrl u(url);
  return net::PageAnswers(u.host().toStdString(), static_cast<uint16_t>(u.port(80)), 400);
}

}  // namespace

TShowCheckForm::TShowCheckForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ShowCheckForm"));
  setWindowTitle(QStringLiteral("开场前检查"));
  setFont(UiFont(QStringLiteral("宋体"), 14));
  LbSummary = new QLabel(this);
  LbSummary->setObjectName(QStringLiteral("LbSummary"));
  LbSummary->setWordWrap(true);
  TVFindings = new QTreeWidget(this);
  TVFindings->setObjectName(QStringLiteral("TVFindings"));
  TVFindings->setColumnCount(3);
  TVFindings->setHeaderLabels(
      {QStringLiteral("结果"), QStringLiteral("检查项"), QStringLiteral("说明")});
  TVFindings->setRootIsDecorated(false);
  TVFindings->setWordWrap(true);
  // A path too long for its line keeps its end, the file's name, in sight.
  TVFindings->setTextElideMode(Qt::ElideMiddle);
  TVFindings->setSelectionMode(QAbstractItemView::NoSelection);
  TVFindings->header()->setStretchLastSection(true);
  TVFindings->setColumnWidth(0, 50);
  TVFindings->setColumnWidth(1, 90);
  BtnNotice = new QPushButton(QStringLiteral("公示单…"), this);
  BtnNotice->setObjectName(QStringLiteral("BtnNotice"));
  BtnNotice->setToolTip(
      QStringLiteral("把任务、奖项、规则和名单的人数、指纹、根值写成可打印的公示单"));
  connect(BtnNotice, &QPushButton::clicked, this, &TShowCheckForm::BtnNoticeClick);
  BtnClose = new QPushButton(QStringLiteral("关闭"), this);
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  BtnClose->setDefault(true);
  connect(BtnClose, &QPushButton::clicked, this, &QDialog::accept);
  auto* root = new QVBoxLayout(this);
  root->addWidget(LbSummary);
  root->addWidget(TVFindings, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnNotice);
  buttons->addStretch(1);
  buttons->addWidget(BtnClose);
  root->addLayout(buttons);
  resize(840, 420);
}

int TShowCheckForm::Warnings() const {
  int n = 0;
  for (const check::TFinding& f : m_findings) n += f.Mark == check::TMark::Warning ? 1 : 0;
  return n;
}

bool TShowCheckForm::Check(int32_t taskId, const QString& taskName, QStringList installedFonts) {
  check::TShowCheck files;
  std::string error;
  m_taskId = taskId;
  if (!check::CheckShow(taskId, files, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  if (installedFonts.isEmpty()) installedFonts = QFontDatabase::families();
  const std::vector<check::TFinding> window = WindowFindings(files, installedFonts, parentWidget());
  // In the order an operator goes through them: the list, then the show, then the machine.
  m_findings.clear();
  // The pictures go before the music, the first finding of the show's sound and machine.
  size_t coreMusic = 0;
  while (coreMusic < files.Findings.size() &&
         files.Findings[coreMusic].Topic != text::G("背景音乐"))
    ++coreMusic;
  for (size_t i = 0; i < files.Findings.size() && i < coreMusic; ++i)
    m_findings.push_back(files.Findings[i]);
  for (size_t i = 0; i + 2 < window.size(); ++i) m_findings.push_back(window[i]);
  const size_t lastSound =
      coreMusic + (coreMusic + 1 < files.Findings.size() &&
                           files.Findings[coreMusic + 1].Topic == text::G("音效")
                       ? 1
                       : 0);
  for (size_t i = coreMusic; i < files.Findings.size(); ++i) {
    m_findings.push_back(files.Findings[i]);
    // Fonts and screens after the music and the other sounds, before the disk.
    if (i == lastSound) m_findings.insert(m_findings.end(), window.end() - 2, window.end());
  }

  if (files.CheckinOnly) {
    const bool running = m_checkin && m_checkin->Running() && m_checkin->TaskId() == taskId;
    const std::string url = running ? m_checkin->Url() : std::string();
    const checkin::TCheckinView v = running ? m_checkin->Desk().View() : checkin::TCheckinView{};
    m_findings.push_back(check::CheckinFinding(
        checkin::DrawFixed(taskId), running, running && PageAnswers(Q(url)), url,
        static_cast<int64_t>(v.CheckedIn), static_cast<int64_t>(v.Total)));
  }

  // Phones reach the program through the firewall whether or not this task checks in.
  std::string profiles;
  const net::TFirewall firewall = net::InboundFirewall(profiles);
  if (firewall != net::TFirewall::Unknown)
    m_findings.push_back(check::FirewallFinding(firewall == net::TFirewall::Blocked, profiles));

  setWindowTitle(QStringLiteral("开场前检查 - ") + taskName);
  TVFindings->clear();
  for (const check::TFinding& f : m_findings) {
    auto* row = new QTreeWidgetItem(TVFindings);
    const bool warn = f.Mark == check::TMark::Warning;
    row->setText(0, f.Mark == check::TMark::Ok ? QStringLiteral("✓")
                    : warn                     ? QStringLiteral("！")
                                               : QStringLiteral("—"));
    row->setText(1, Q(f.Topic));
    row->setText(2, Q(f.Text));
    row->setToolTip(2, Q(f.Text));
    row->setTextAlignment(0, Qt::AlignCenter);
    const QColor colour = warn                         ? QColor(200, 0, 0)
                          : f.Mark == check::TMark::Ok ? QColor(0, 128, 0)
                                                       : QColor(110, 110, 110);
    row->setForeground(0, colour);
    if (warn) row->setForeground(2, colour);
  }
  const int warnings = Warnings();
  LbSummary->setText(warnings == 0 ? QStringLiteral("全部检查通过，可以开场。")
                                   : QStringLiteral("有%1项需要处理：").arg(warnings));
  return true;
}

void TShowCheckForm::BtnNoticeClick() { SaveNotice(m_taskId, this); }
