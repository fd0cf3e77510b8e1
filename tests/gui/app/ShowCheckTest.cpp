#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "Crowded.h"
#include "DialogRecorder.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinService.h"
#include "core/config/TaskRules.h"
#include "core/config/TaskSounds.h"
#include "core/db/TombolixDB.h"
#include "core/net/LanServer.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/app/ShowCheckFrm.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

class ShowCheckWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 1, 1, ""}};
    def.candidates = {"1 a", "2 b"};
    BuildTask(m_dm, def);
    QImage good(8, 8, QImage::Format_RGB32);
    good.fill(Qt::red);
    ASSERT_TRUE(good.save(QString::fromStdString(m_root.path("bg.jpg")), "JPG"));
    // The first bytes of a JPEG and nothing after them: named right, cannot be shown.
    std::string broken = ReadAll(m_root.dir() / "bg.jpg");
    WriteAll(m_root.dir() / "car.jpg", broken.substr(0, 40));
    std::string error;
    ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, "update LuckTask set MainImageName=? where TaskId=1001",
                            {m_root.path("bg.jpg")}, error));
    ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, "update TaskItem set AwardImageName=? where TaskId=1001",
                            {m_root.path("car.jpg")}, error));
  }

  // The row of the window whose topic is `topic`: "<mark>|<text>".
  static QString Row(const TShowCheckForm& f, const QString& topic, int nth = 0) {
    for (int i = 0; i < f.TVFindings->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* r = f.TVFindings->topLevelItem(i);
      if (r->text(1) == topic && nth-- == 0) return r->text(0) + "|" + r->text(2);
    }
    return QStringLiteral("<none>");
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

}  // namespace

TEST_F(ShowCheckWindow, ABrokenPictureAndAMissingFontAreWarnedTheRestTicked) {
  TShowCheckForm form;
  // A font set without the Kai faces that stand for 隶书, nor the sans that may stand in.
  const QStringList fonts = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("AR PL UMing CN"),
                             QStringLiteral("DejaVu Sans")};
  ASSERT_TRUE(form.Check(1001, QStringLiteral("年会"), fonts));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("开场前检查 - 年会"));
  form.show();
  EXPECT_EQ(Crowded(&form).join(QLatin1Char('\n')).toStdString(), "");
  EXPECT_EQ(Row(form, QStringLiteral("背景图片")), QStringLiteral("✓|背景图片可以打开"));
  EXPECT_EQ(Row(form, QStringLiteral("奖品图片")),
            QStringLiteral("！|奖项[一等奖]的奖品图片无法打开（文件已损坏或不是图片）：") +
                QString::fromStdString(m_root.path("car.jpg")));
  EXPECT_EQ(Row(form, QStringLiteral("字体")),
            QStringLiteral("！|缺少字体：隶书，抽奖画面的中文会用其他字体显示"));
  // The list came without an import, so it has no fingerprint to confirm.
  EXPECT_TRUE(Row(form, QStringLiteral("名单")).startsWith(QStringLiteral("！|名单已导入（2人）")));
  EXPECT_EQ(form.Warnings(), 3);
  EXPECT_EQ(form.LbSummary->text(), QStringLiteral("有3项需要处理："));
  // The order an operator goes through.
  QStringList topics;
  for (int i = 0; i < form.TVFindings->topLevelItemCount(); ++i)
    topics << form.TVFindings->topLevelItem(i)->text(1);
  EXPECT_EQ(topics, QStringList({"名单", "预设名单", "抽奖规则", "照片", "背景图片", "奖品图片",
                                 "背景音乐", "字体", "屏幕", "磁盘空间"}));
  EXPECT_EQ(Row(form, QStringLiteral("抽奖规则")),
            QStringLiteral("—|未设抽奖规则，名单中每个人都可以中奖"));
  // The faces installed here pass.
  TShowCheckForm here;
  ASSERT_TRUE(here.Check(1001, QStringLiteral("年会")));
  EXPECT_EQ(Row(here, QStringLiteral("字体")), QStringLiteral("✓|舞台字体已安装"));
  if (qEnvironmentVariableIsSet("TOMBOLIX_SHOW_CHECK_PNG")) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.grab().save(qEnvironmentVariable("TOMBOLIX_SHOW_CHECK_PNG"));
  }
}

TEST_F(ShowCheckWindow, TheMainWindowOpensItForTheSelectedTaskAndChangesNothing) {
  TMainForm w;
  const std::string before = ReadAll(paths::NativePath(paths::DatabasePath()));
  QString seen;
  OnNextModal([&](QWidget* modal) {
    auto* f = qobject_cast<TShowCheckForm*>(modal);
    ASSERT_NE(f, nullptr);
    seen = f->windowTitle();
    f->BtnClose->click();
  });
  w.SBtnShowCheck->click();
  EXPECT_EQ(seen, QStringLiteral("开场前检查 - ") + w.LVHeaders->item(0, 0)->text());
  EXPECT_EQ(ReadAll(paths::NativePath(paths::DatabasePath())), before);
  EXPECT_FALSE(paths::FileExists(paths::LuckFileDir() + "JOURNAL_1001.txt"));
  EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(ShowCheckWindow, ADrawOfThoseCheckedInNeedsCheckInRunningAndAnswering) {
  std::string error;
  ASSERT_TRUE(
      db::ExecSql(m_dm.ARryPub, "update LuckTask set CheckinOnly=1 where TaskId=1001", {}, error));
  TShowCheckForm notStarted;
  ASSERT_TRUE(notStarted.Check(1001, QStringLiteral("年会")));
  EXPECT_EQ(Row(notStarted, QStringLiteral("签到")),
            QStringLiteral("！|本项目只抽取已签到人员，但签到尚未开始：请先开始签到"));

  TCheckinService service;
  const uint16_t port = net::FreePort("127.0.0.1", 18950);
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", port, error)) << text::GbkToUtf8(error);
  const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(port);
  TShowCheckForm running;
  running.SetCheckin(&service);
  ASSERT_TRUE(running.Check(1001, QStringLiteral("年会")));
  EXPECT_EQ(Row(running, QStringLiteral("签到")),
            QStringLiteral("✓|签到网页应答正常：") + url + QStringLiteral("，已签到0 / 2"));

  // Once the draw fixed the list, check-in is over: the server alone is spoken of.
  files::WriteFileAtomic(paths::FinishedJournalPath(1001), "DRAW\r\n", error);
  TShowCheckForm drawn;
  drawn.SetCheckin(&service);
  ASSERT_TRUE(drawn.Check(1001, QStringLiteral("年会")));
  EXPECT_EQ(Row(drawn, QStringLiteral("签到")),
            QStringLiteral("✓|签到已结束，名单已确定；网页应答正常：") + url);

  // Nothing answers on a port nobody serves.
  service.Stop();
  EXPECT_FALSE(net::PageAnswers("127.0.0.1", port, 200));
  TShowCheckForm stopped;
  stopped.SetCheckin(&service);
  ASSERT_TRUE(stopped.Check(1001, QStringLiteral("年会")));
  EXPECT_EQ(Row(stopped, QStringLiteral("签到")),
            QStringLiteral("✓|签到已结束，名单已确定；网页服务未启动"));
}

// The task's rules are listed in the words the draw screen uses, wrapped whole in the row.
TEST_F(ShowCheckWindow, TheRulesAreListedInWords) {
  TTaskRules rules;
  rules.ExcludeIds = {"1"};
  rules.TaskQuota = {"name", 1};
  rules.Items = {{2001, {{"name", TConditionKind::NoneOf, {"x", "y", "z", "w"}}}, {}}};
  std::string error;
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, error)) << error;
  TShowCheckForm form;
  ASSERT_TRUE(form.Check(1001, QStringLiteral("年会")));
  EXPECT_EQ(
      Row(form, QStringLiteral("抽奖规则")),
      QStringLiteral("✓|奖项[一等奖]仅限：name不是w、x、y等4项　每name全场最多1名　排除名单1人"));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(Crowded(&form).join(QLatin1Char('\n')).toStdString(), "");
  if (qEnvironmentVariableIsSet("TOMBOLIX_SHOW_CHECK_RULES_PNG"))
    form.screen()->grabWindow(0).save(qEnvironmentVariable("TOMBOLIX_SHOW_CHECK_RULES_PNG"));
}

// A missing sound file is a warning of its own beside the background music, before the
// machine's fonts and screens.
TEST_F(ShowCheckWindow, AMissingSoundIsNamedBesideTheMusic) {
  TSoundSettings s;
  s.Of(TSoundCue::Applause).path = m_root.path("clap.mp3");
  std::string error;
  ASSERT_TRUE(config::SaveTaskSounds(1001, s, error)) << error;
  TShowCheckForm form;
  ASSERT_TRUE(form.Check(1001, QStringLiteral("年会")));
  QStringList topics;
  for (int i = 0; i < form.TVFindings->topLevelItemCount(); ++i)
    topics << form.TVFindings->topLevelItem(i)->text(1);
  const qsizetype music = topics.indexOf(QStringLiteral("背景音乐"));
  ASSERT_GE(music, 0);
  EXPECT_EQ(topics.mid(music, 4), QStringList({"背景音乐", "音效", "字体", "屏幕"}));
  EXPECT_EQ(Row(form, QStringLiteral("音效")), QStringLiteral("！|结束掌声文件不存在：") +
                                                   QString::fromStdString(m_root.path("clap.mp3")) +
                                                   QStringLiteral("。抽奖照常进行，这些音效不响"));
}
