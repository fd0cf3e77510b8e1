#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <filesystem>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDB.h"
#include "core/records/ListTree.h"
#include "core/text/Gbk.h"
#include "gui/app/ShowCheckFrm.h"
#include "gui/results/NoticePage.h"
#include "gui/results/QueryFrm.h"

using text::G;

namespace {

// The list "1 a", "2 b", "3 c": its draw data file's SHA-256 and the root of the hash tree
// over its lines with the count 3, worked out apart from the program.
const char* const kFingerprint = "e8081a182fbbeb843aa99c38f0b73eb8204cc21a7fe1246390b573432e71cebf";
const char* const kRoot = "7808bbd7b3e232dcadff6f72adc9932624f4557493cfdd0fbe52a670952e4cbc";

// Task 1001 over the list of three; its 公示单 saved from 开场前检查.
class NoticeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 1, 1, G("电视机")}, {G("二等奖"), 2, 1, ""}};
    def.candidates = {"1 a", "2 b", "3 c"};
    m_items = BuildTask(m_dm, def);
    std::string error;
    ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                            "update LuckTask set TaskName='2026年会抽奖' where TaskId=1001",
                            error));
  }

  // Clicks 公示单… with `pdf` chosen in the save dialog.
  void SaveNotice(int32_t taskId, const QString& pdf) {
    TShowCheckForm form;
    ASSERT_TRUE(form.Check(taskId, QStringLiteral("年会")));
    m_dialogs.files.push_back(pdf);
    form.BtnNotice->click();
  }

  // The PDF's text as pdftotext reads it, its lines joined by blanks.
  static QString PdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(30000)) << "pdftotext did not finish";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
  }

  static int Pages(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(p.waitForFinished(30000));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(p.readAllStandardOutput());
    return m.hasMatch() ? m.captured(1).toInt() : -1;
  }

  static int DarkPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    return n;
  }

  // Copies the files into $TOMBOLIX_NOTICE_DIR, when set, to be looked at.
  static void Keep(const QStringList& files) {
    const QString dir = qEnvironmentVariable("TOMBOLIX_NOTICE_DIR");
    if (dir.isEmpty()) return;
    for (const QString& f : files) {
      const QString to = dir + QLatin1Char('/') + QFileInfo(f).fileName();
      QFile::remove(to);
      QFile::copy(f, to);
    }
  }

  QString Out(const char* name) const { return QString::fromStdString(m_root.path(name)); }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  std::vector<int> m_items;
};

}  // namespace

// The printed page says the numbers the Ready screen and the verifier show, in text a reader
// (and a search) finds; the pictures are A4 at 300 dpi and 1920×1080.
TEST_F(NoticeFiles, ThePdfSaysTheRootCountAndFingerprint) {
  std::filesystem::create_directories(m_root.dir() / "out");
  SaveNotice(1001, Out("out/notice.pdf"));
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Information);
  EXPECT_TRUE(m_dialogs.messages()[0].second.startsWith(QStringLiteral("公示单已保存")))
      << m_dialogs.messages()[0].second.toStdString();

  const QString text = PdfText(Out("out/notice.pdf"));
  EXPECT_TRUE(text.contains(QString::fromLatin1(kRoot))) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromLatin1(kFingerprint))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("人数：3人"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("名单 e8081a182fbb 3人"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("2026年会抽奖 奖项 奖项 名额 奖品 一等奖 1名 电视机")))
      << text.toStdString();
  EXPECT_EQ(Pages(Out("out/notice.pdf")), 1);
  // The root as a guest reads it off the page checks the proof of their line.
  const QRegularExpressionMatch root =
      QRegularExpression(QStringLiteral("名单哈希树根值： ?([0-9a-f]{64})")).match(text);
  ASSERT_TRUE(root.hasMatch()) << text.toStdString();
  const listtree::TListTree tree({"1 a", "2 b", "3 c"});
  uint64_t count = 0;
  EXPECT_EQ(
      listtree::CheckProof("2 b", 2, tree.ProofText(2), root.captured(1).toStdString(), count),
      listtree::TProofVerdict::Holds);
  EXPECT_EQ(count, 3u);

  Keep({Out("out/notice_A4.png"), Out("out/notice_1920x1080.png")});
  EXPECT_EQ(QImage(Out("out/notice_A4.png")).size(), QSize(2480, 3508));
  const QImage screen(Out("out/notice_1920x1080.png"));
  EXPECT_EQ(screen.size(), QSize(1920, 1080));
  EXPECT_GT(DarkPixels(screen), 20000);  // the text is drawn, not a white page
  // Nothing but the three files: no temporary left beside them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_root.dir() / "out"),
                          std::filesystem::directory_iterator()),
            3);
}

// Thirty items with long names take more A4 pages; every item and the root are still there.
TEST_F(NoticeFiles, ManyItemsTakeMorePagesAndLoseNothing) {
  check::TNotice n;
  std::string error;
  ASSERT_TRUE(check::MakeNotice(1001, {2026, 3, 9}, n, error));
  n.Items.clear();
  // Marks of the page's own language are the item's text, not markup.
  n.Items.push_back({G("A&B <b>奖</b>"), 1, ""});
  for (int i = 1; i <= 30; ++i)
    n.Items.push_back({G("第") + std::to_string(i) + G("名特别奖（由本公司全体同仁共同推选产生）"),
                       i, G("价值不菲的纪念品一份及证书一张") + std::to_string(i)});
  QStringList written;
  ASSERT_TRUE(WriteNotice(n, Out("many.pdf"), written, error)) << text::GbkToUtf8(error);
  const int pages = Pages(Out("many.pdf"));
  EXPECT_GE(pages, 2);
  EXPECT_EQ(written.size(), pages + 2);
  EXPECT_EQ(written.last(), Out("many_1920x1080.png"));
  EXPECT_TRUE(QFile::exists(Out("many_A4_2.png")));
  const QString text = PdfText(Out("many.pdf"));
  for (int i : {1, 15, 30}) EXPECT_TRUE(text.contains(QStringLiteral("证书一张%1").arg(i))) << i;
  EXPECT_TRUE(text.contains(QString::fromLatin1(kRoot)));
  EXPECT_TRUE(text.contains(QStringLiteral("A&B <b>奖</b>"))) << text.toStdString();
  Keep(written);
}

// A folder that cannot be written says so and never "已保存"; a task without a list is
// refused before anything is asked.
TEST_F(NoticeFiles, AFailureSaysSoAndATaskWithoutAListIsRefused) {
  WriteAll(m_root.dir() / "plain", "a file, not a folder");
  SaveNotice(1001, Out("plain/notice.pdf"));
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Error);
  EXPECT_TRUE(m_dialogs.messages()[0].second.startsWith(QStringLiteral("公示单没有保存完整：")))
      << m_dialogs.messages()[0].second.toStdString();
  EXPECT_FALSE(m_dialogs.messages()[0].second.contains(QStringLiteral("已保存")));

  TaskDef bare;
  bare.taskId = 1002;
  bare.items = {{G("一等奖"), 1, 1, ""}};
  BuildTask(m_dm, bare);
  m_dialogs.log.clear();
  SaveNotice(1002, Out("bare.pdf"));
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].second,
            QStringLiteral("名单未导入，不能生成公示单，请先在抽奖配置中导入名单"));
  EXPECT_EQ(m_dialogs.files.size(), 1u);  // the save dialog was never asked
  EXPECT_FALSE(QFile::exists(Out("bare.pdf")));
}

// The results window saves the same notice, for a reprint after the draw.
TEST_F(NoticeFiles, TheResultsWindowSavesTheSameNotice) {
  std::filesystem::create_directories(m_root.dir() / "out");
  TDrawSession session;
  TQueryForm form(session);
  ASSERT_EQ(form.SetUpQuery(1001), 1);
  m_dialogs.files.push_back(Out("out/again.pdf"));
  form.BtnNotice->click();
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Information);
  EXPECT_TRUE(PdfText(Out("out/again.pdf")).contains(QString::fromLatin1(kRoot)));
}
