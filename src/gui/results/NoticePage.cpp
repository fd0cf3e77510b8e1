#include "gui/results/NoticePage.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QCursor>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextOption>
#include <memory>
#include <utility>

#include "Version.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

// The A4 page in layout units: one unit a point (595 × 842).
constexpr double kA4W = 595.0;
constexpr double kA4H = 842.0;
constexpr double kA4Margin = 48.0;
constexpr int kA4Body = 11;

QString Esc(const std::string& gbk) { return Q(gbk).toHtmlEscaped(); }

// The 黑体 face, but a TrueType one where installed: Qt's PDF writer gives Noto CJK's CFF
// glyphs wrong characters in the text a reader copies or searches (digits lost, 人 as the
// radical ⼈), and a guest must be able to find the numbers there.
QString Body() {
  const QStringList installed = QFontDatabase::families();
  for (const QString& face :
       {QStringLiteral("Microsoft YaHei"), QStringLiteral("SimHei"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("WenQuanYi Micro Hei")})
    if (installed.contains(face)) return face;
  return ResolveFontFamily(QStringLiteral("黑体"));
}

// A face whose digits all have one width, so that a hex number reads in even columns.
QString Mono() { return QFontDatabase::systemFont(QFontDatabase::FixedFont).family(); }

QString Heading(const QString& text, int px) {
  return QStringLiteral(
             "<p style=\"font-size:%1px; font-weight:bold; margin-top:%2px; "
             "margin-bottom:%3px;\">%4</p>")
      .arg(px)
      .arg(px)
      .arg(px / 3)
      .arg(text);
}

// The title, the task and the prize items.
QString HeadAndItems(const check::TNotice& n, int px) {
  QString h = QStringLiteral(
                  "<p align=\"center\" style=\"font-size:%1px; font-weight:bold; "
                  "margin-bottom:%2px;\">%3</p>")
                  .arg(px * 2)
                  .arg(px / 2)
                  .arg(Esc(n.Title));
  h += QStringLiteral("<p align=\"center\" style=\"font-size:%1px; font-weight:bold;\">%2</p>")
           .arg(px * 3 / 2)
           .arg(Esc(n.TaskName));
  h += Heading(QStringLiteral("奖项"), px * 5 / 4);
  h += QStringLiteral(
           "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"%1\" "
           "style=\"border-color:#808080; border-style:solid;\">")
           .arg(px / 3);
  h += QStringLiteral(
      "<thead><tr><th width=\"42%\" align=\"left\">奖项</th><th width=\"12%\" "
      "align=\"right\">名额</th>"
      "<th width=\"46%\" align=\"left\">奖品</th></tr></thead>");
  for (const check::TNoticeItem& it : n.Items)
    h += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2名</td><td>%3</td></tr>")
             .arg(Esc(it.Name))
             .arg(it.Count)
             .arg(Esc(it.Award));
  // Room between the table and the next heading, whose own margin Qt drops after a table.
  h += QStringLiteral("</table><p style=\"font-size:%1px;\">&nbsp;</p>").arg(px / 2);
  return h;
}

QString Rules(const check::TNotice& n, int px) {
  QString h = Heading(QStringLiteral("抽奖规则"), px * 5 / 4);
  h += QStringLiteral("<ul style=\"margin-left:0px; -qt-list-indent:1;\">");
  for (const std::string& r : n.Rules) h += QStringLiteral("<li>%1</li>").arg(Esc(r));
  return h + QStringLiteral("</ul>");
}

// The numbers a guest compares: each hex number whole on a line of its own.
QString Numbers(const check::TNotice& n, int px) {
  // Unbroken: a number split over two lines is misread; the screen's type shrinks instead.
  const QString mono =
      QStringLiteral("<p style=\"font-family:'%1'; margin-left:%2px; white-space:pre;\">%3</p>");
  QString h = Heading(QStringLiteral("名单"), px * 5 / 4);
  h += QStringLiteral("<p>人数：<b>%1人</b>（名单本身不公开）</p>").arg(n.Count);
  h += QStringLiteral("<p>名单指纹（SHA-256）：</p>") +
       mono.arg(Mono()).arg(px).arg(Esc(n.Fingerprint));
  h += QStringLiteral("<p>名单哈希树根值：</p>") + mono.arg(Mono()).arg(px).arg(Esc(n.Root));
  h += QStringLiteral("<p>开抽前大屏幕显示：<b>%1</b></p>").arg(Esc(n.Voucher));
  return h;
}

QString StepsAndDate(const check::TNotice& n, int px) {
  QString h = Heading(QStringLiteral("如何核对"), px * 5 / 4);
  h += QStringLiteral("<ol style=\"margin-left:0px; -qt-list-indent:1;\">");
  for (const std::string& s : n.Steps) h += QStringLiteral("<li>%1</li>").arg(Esc(s));
  h += QStringLiteral("</ol>");
  h += QStringLiteral("<p align=\"right\" style=\"margin-top:%1px;\">公示日期：%2</p>")
           .arg(px)
           .arg(Esc(n.Date));
  return h;
}

// A document of `html` in pixel sizes, `width` wide; paged at `pageHeight` when above 0.
std::unique_ptr<QTextDocument> Document(const QString& html, int px, double width,
                                        double pageHeight, double margin) {
  auto doc = std::make_unique<QTextDocument>();
  QFont font(Body());
  font.setPixelSize(px);
  doc->setDefaultFont(font);
  // A word longer than the line (a long name without blanks) breaks rather than runs off.
  QTextOption option = doc->defaultTextOption();
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  doc->setDefaultTextOption(option);
  doc->setDocumentMargin(margin);
  doc->setHtml(
      QStringLiteral("<body style=\"font-size:%1px; color:#000000;\">%2</body>").arg(px).arg(html));
  if (pageHeight > 0)
    doc->setPageSize(QSizeF(width, pageHeight));
  else
    doc->setTextWidth(width);
  return doc;
}

std::unique_ptr<QTextDocument> A4Document(const check::TNotice& n) {
  return Document(
      HeadAndItems(n, kA4Body) + Rules(n, kA4Body) + Numbers(n, kA4Body) + StepsAndDate(n, kA4Body),
      kA4Body, kA4W, kA4H, kA4Margin);
}

// Draws page `page` (from 0) of `doc` scaled by `scale` at `origin`.
void DrawPage(QPainter& p, QTextDocument& doc, int page, double scale, QPointF origin = {}) {
  // An unpaged document is one page of its own height.
  const QSizeF size = doc.pageSize().height() > 0 ? doc.pageSize() : doc.size();
  const QRectF clip(0, page * size.height(), size.width(), size.height());
  p.save();
  p.translate(origin);
  p.scale(scale, scale);
  p.translate(0, -clip.top());
  p.setClipRect(clip);
  QAbstractTextDocumentLayout::PaintContext context;
  context.clip = clip;
  context.palette.setColor(QPalette::Text, Qt::black);
  doc.documentLayout()->draw(&p, context);
  p.restore();
}

}  // namespace

QByteArray NoticePdf(const check::TNotice& notice) {
  std::unique_ptr<QTextDocument> doc = A4Document(notice);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(kNoticeDpi);
    pdf.setTitle(Q(notice.TaskName + " " + notice.Title));
    pdf.setCreator(QString::fromUtf8(kProductName));
    QPainter p(&pdf);
    const double scale = pdf.width() / kA4W;
    for (int i = 0; i < doc->pageCount(); ++i) {
      if (i > 0) pdf.newPage();
      DrawPage(p, *doc, i, scale);
    }
  }
  return bytes;
}

std::vector<QImage> NoticeA4Images(const check::TNotice& notice) {
  std::unique_ptr<QTextDocument> doc = A4Document(notice);
  // 210 × 297 mm at the print resolution, rounded: 2480 × 3508 at 300 dpi.
  const QSize size(qRound(210 / 25.4 * kNoticeDpi), qRound(297 / 25.4 * kNoticeDpi));
  std::vector<QImage> pages;
  for (int i = 0; i < doc->pageCount(); ++i) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(qRound(kNoticeDpi / 0.0254));
    image.setDotsPerMeterY(qRound(kNoticeDpi / 0.0254));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawPage(p, *doc, i, size.width() / kA4W);
    pages.push_back(std::move(image));
  }
  return pages;
}

QImage NoticeScreenImage(const check::TNotice& notice, QSize size) {
  // Two columns: what is drawn on the left, the numbers and how to check on the right. The
  // largest type at which both fit, whole and unbroken numbers included.
  const double margin = size.height() / 30.0;
  const double column = (size.width() - 3 * margin) / 2;
  std::unique_ptr<QTextDocument> left, right;
  for (int px = size.height() / 30; px >= 6; --px) {
    left = Document(HeadAndItems(notice, px) + Rules(notice, px), px, column, 0, 0);
    right = Document(Numbers(notice, px) + StepsAndDate(notice, px), px, column, 0, 0);
    const double room = size.height() - 2 * margin;
    if (left->size().height() <= room && right->size().height() <= room &&
        left->idealWidth() <= column && right->idealWidth() <= column)
      break;
  }
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  DrawPage(p, *left, 0, 1.0, QPointF(margin, margin));
  DrawPage(p, *right, 0, 1.0, QPointF(2 * margin + column, margin));
  return image;
}

QStringList NoticeFileNames(const QString& pdfPath, int a4Pages) {
  const QFileInfo pdf(pdfPath);
  const QString stem = pdf.dir().filePath(pdf.completeBaseName());
  QStringList names{pdfPath};
  for (int i = 0; i < a4Pages; ++i)
    names << (i == 0 ? stem + QStringLiteral("_A4.png")
                     : stem + QStringLiteral("_A4_%1.png").arg(i + 1));
  names << stem +
               QStringLiteral("_%1x%2.png").arg(kNoticeScreen.width()).arg(kNoticeScreen.height());
  return names;
}

bool WriteNotice(const check::TNotice& notice, const QString& pdfPath, QStringList& written,
                 std::string& error) {
  written.clear();
  std::vector<QImage> images = NoticeA4Images(notice);
  images.push_back(NoticeScreenImage(notice));
  const QStringList names = NoticeFileNames(pdfPath, static_cast<int>(images.size()) - 1);
  std::vector<std::pair<std::string, std::string>> files;
  const QByteArray pdf = NoticePdf(notice);
  files.emplace_back(FromQ(names[0]), pdf.toStdString());
  for (size_t i = 0; i < images.size(); ++i) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!images[i].save(&buffer, "PNG")) {
      error = text::G("无法生成图片") + FromQ(names[static_cast<int>(i) + 1]);
      return false;
    }
    files.emplace_back(FromQ(names[static_cast<int>(i) + 1]), png.toStdString());
  }
  size_t done = 0;
  const bool ok = files::WriteFilesAtomic(files, done, error);
  for (size_t i = 0; i < done && i < files.size(); ++i) written << names[static_cast<int>(i)];
  return ok;
}

void SaveNotice(int32_t taskId, QWidget* parent) {
  const QDate today = QDate::currentDate();
  check::TNotice notice;
  std::string error;
  if (!check::MakeNotice(taskId, {today.year(), today.month(), today.day()}, notice, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  QString pdfPath;
  ChooseSaveFile(QStringLiteral("pdf"), QStringLiteral("保存公示单"),
                 QStringLiteral("公示单_%1").arg(taskId), parent, pdfPath,
                 QStringLiteral("公示单"));
  if (pdfPath.isEmpty()) return;
  QStringList written;
  // Drawing the 300 dpi pages takes a second or two; the operator sees it is at work.
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = WriteNotice(notice, pdfPath, written, error);
  QGuiApplication::restoreOverrideCursor();
  if (!ok) {
    QString text = QStringLiteral("公示单没有保存完整：") + Q(error);
    if (!written.isEmpty())
      text += QStringLiteral("\n已写好的文件：\n") +
              QDir::toNativeSeparators(written.join(QLatin1Char('\n')));
    ShowMessageBox(MessageKind::Error, text);
    return;
  }
  QStringList shown;
  for (const QString& name : written) shown << QDir::toNativeSeparators(name);
  ShowMessageBox(MessageKind::Information,
                 QStringLiteral("公示单已保存（PDF为A4，可打印；PNG为A4和1920×1080各一份）：\n") +
                     shown.join(QLatin1Char('\n')));
}
