#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QUrl>

#include "DialogRecorder.h"
#include "ModalHelper.h"
#include "UrlCatcher.h"
#include "core/text/Gbk.h"
#include "core/text/Messages.h"
#include "gui/ui/AboutFrm.h"
#include "gui/ui/MessageFrm.h"

namespace {

int VisibleKind(const TMessageForm& f) {
  const QLabel* imgs[] = {f.Img0, f.Img1, f.Img2, f.Img3};
  int shown = -1;
  for (int i = 0; i < 4; ++i) {
    if (imgs[i]->isVisibleTo(&f)) {
      if (shown >= 0) return -2;  // more than one
      shown = i;
    }
  }
  return shown;
}

}  // namespace

TEST(MessageForm, EachKindShowsExactlyItsPicture) {
  const std::pair<MessageKind, int> cases[] = {{MessageKind::Information, 0},
                                               {MessageKind::Warning, 1},
                                               {MessageKind::Error, 2},
                                               {MessageKind::Attention, 3}};
  for (auto [kind, picture] : cases) {
    TMessageForm f;
    f.SetMessage(kind, QStringLiteral("x"));
    EXPECT_EQ(VisibleKind(f), picture) << "kind " << picture;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("提示"));
  }
}

TEST(MessageForm, TextLinesAndEmptyText) {
  TMessageForm f;
  f.SetMessage(MessageKind::Error, QStringLiteral("第一行\n第二行"));
  EXPECT_EQ(f.MemMessage->document()->blockCount(), 2);
  EXPECT_EQ(f.MemMessage->document()->findBlockByNumber(1).text(), QStringLiteral("第二行"));
  f.SetMessage(MessageKind::Information, QString());
  EXPECT_EQ(f.MemMessage->toPlainText(), QString());
  EXPECT_EQ(VisibleKind(f), 0);
  EXPECT_TRUE(f.MemMessage->isReadOnly());
  EXPECT_EQ(f.MemMessage->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(MessageForm, ALongTextShowsWholeAndAShortOneKeepsTheDesignedBox) {
  TMessageForm f;
  f.SetMessage(MessageKind::Information, QStringLiteral("保存成功!"));
  EXPECT_EQ(f.size(), QSize(394, 208));
  // A package import's summary with a deep path: every line in sight, nothing scrolled away.
  const QString summary =
      QStringLiteral(
          "已添加抽奖项目[2027新春年会幸运大抽奖（总部及各分公司）]，序号1004（原序号1001已被"
          "占用）：奖项12个，名单2000人，预设3人，照片1998张，图片13张，背景音乐\n文件：") +
      QStringLiteral(
          "/home/operator/活动资料/2027年会/总部/抽奖/备用笔记本/活动包/年会_活动包.zip");
  f.SetMessage(MessageKind::Information, summary);
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_NE(f.size(), QSize(394, 208));
  QTextCursor end(f.MemMessage->document());
  end.movePosition(QTextCursor::End);
  f.MemMessage->setTextCursor(end);
  EXPECT_LE(f.MemMessage->cursorRect().bottom(), f.MemMessage->viewport()->height());
  EXPECT_EQ(f.MemMessage->verticalScrollBar()->maximum(), 0);
  EXPECT_LE(f.BtnOk->geometry().bottom(), f.Panel1->height());
  EXPECT_GT(f.BtnOk->geometry().top(), f.MemMessage->geometry().bottom());
}

TEST(MessageForm, EnterPressesOk) {
  TMessageForm f;
  f.SetMessage(MessageKind::Information, QStringLiteral("保存成功!"));
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_TRUE(f.BtnOk->isDefault());
  QTest::keyClick(&f, Qt::Key_Return);
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(f.result(), QDialog::Accepted);
}

TEST(MessageForm, RealProviderShowsTheWindowModallyAndReturnsAfterOk) {
  int seenKind = -9;
  QString seenText;
  OnNextModal([&](QWidget* w) {
    auto* f = qobject_cast<TMessageForm*>(w);
    ASSERT_NE(f, nullptr);
    seenKind = VisibleKind(*f);
    seenText = f->MemMessage->toPlainText();
    f->BtnOk->click();
  });
  ShowMessageBox(MessageKind::Attention, "请先选择抽奖项目");
  EXPECT_EQ(seenKind, 3);
  EXPECT_EQ(seenText, QStringLiteral("请先选择抽奖项目"));
}

TEST(CoreMessages, AreShownThroughTheProviderDecodedFromGbk) {
  DialogRecorder rec;
  msg::Show(MessageKind::Information, text::G("数据库连接失败,坏了"));
  ASSERT_EQ(rec.messages().size(), 1u);
  EXPECT_EQ(rec.messages()[0],
            std::make_pair(MessageKind::Information, QStringLiteral("数据库连接失败,坏了")));
}

TEST(ConfirmDialog, EnterIsYesEscIsNoCloseBoxIsUnanswered) {
  {
    TConfirmDialog d(QStringLiteral("确定要删除吗？"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("确认"));
    EXPECT_EQ(d.BtnYes->text(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(d.BtnNo->text(), QStringLiteral("否(&N)"));
    EXPECT_FALSE(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QTest::keyClick(&d, Qt::Key_Return);
    EXPECT_EQ(d.answer(), Answer::Yes);
  }
  {
    TConfirmDialog d(QStringLiteral("q"));
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.answer(), Answer::No);
    EXPECT_FALSE(d.isVisible());
  }
  {
    TConfirmDialog d(QStringLiteral("q"));
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.close();
    EXPECT_EQ(d.answer(), Answer::Closed);
    EXPECT_FALSE(d.isVisible());
  }
  {
    TConfirmDialog d(QStringLiteral("q"));
    d.show();
    d.BtnNo->click();
    EXPECT_EQ(d.answer(), Answer::No);
  }
}

TEST(ConfirmDialog, RealAskYesNoReturnsTheButtonPressed) {
  OnNextModal([](QWidget* w) {
    auto* d = qobject_cast<TConfirmDialog*>(w);
    ASSERT_NE(d, nullptr);
    d->BtnNo->click();
  });
  EXPECT_EQ(AskYesNo(QStringLiteral("是否要退出？")), Answer::No);
  OnNextModal([](QWidget* w) { w->close(); });
  EXPECT_EQ(AskYesNo(QStringLiteral("是否要退出？")), Answer::Closed);
}

TEST(Recorder, AnswersQuestionsInOrderThenYes) {
  DialogRecorder rec;
  rec.answers = {Answer::No, Answer::Closed};
  EXPECT_EQ(AskYesNo(QStringLiteral("a")), Answer::No);
  EXPECT_EQ(AskYesNo(QStringLiteral("b")), Answer::Closed);
  EXPECT_EQ(AskYesNo(QStringLiteral("c")), Answer::Yes);
  ASSERT_EQ(rec.log.size(), 3u);
  EXPECT_EQ(rec.log[1].text, QStringLiteral("b"));
}

TEST(AboutForm, CaptionVersionAndContactLinks) {
  TAboutForm about(QStringLiteral("Qarvo抽奖软件"), QStringLiteral("V2.7"));
  EXPECT_EQ(about.windowTitle(), QStringLiteral("关于Qarvo抽奖软件"));
  EXPECT_EQ(about.LbSoftName->text(), QStringLiteral("Qarvo抽奖软件"));
  EXPECT_EQ(about.LVec->text(), QStringLiteral("V2.7"));
  EXPECT_TRUE(about.EdtMail->isReadOnly());
  EXPECT_FALSE(about.EdtMail->hasFrame());
  EXPECT_EQ(about.EdtMail->palette().color(QPalette::Text), QColor(0, 0, 255));

  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  QTest::mouseClick(about.EdtMail, Qt::LeftButton);
  QTest::mouseClick(about.EUrl, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(catcher.urls.size(), 2);
  EXPECT_EQ(catcher.urls[0].scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(catcher.urls[0].path(), about.EdtMail->text());
  EXPECT_EQ(catcher.urls[1].scheme(), QStringLiteral("https"));
  about.BtnOk->click();
  EXPECT_FALSE(about.isVisible());
}

namespace {

// Opens the real question through the real provider, presses `key` on the widget that has
// the focus there (a button, as for a person), and returns what the call answered.
Answer AskAndPress(Qt::Key key, Answer preferred, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  EXPECT_EQ(SetDialogProvider(nullptr), nullptr);
  bool seen = false;
  OnNextModal([&](QWidget* w) {
    seen = qobject_cast<TConfirmDialog*>(w) != nullptr;
    EXPECT_TRUE(QTest::qWaitFor([w] { return w->isVisible() && w->focusWidget(); }));
    QTest::keyClick(w->focusWidget(), key, mods);
    // A key that answers nothing leaves the question open; the test closes it.
    if (!QTest::qWaitFor([w] { return !w->isVisible(); }, 500)) w->close();
  });
  const Answer a =
      AskYesNo(QStringLiteral("当前的修改尚未保存，退出将丢失这些修改，是否确定退出？"), preferred);
  EXPECT_TRUE(seen);
  return a;
}

// The same for the framework's warning: the dialog's result (Accepted, Rejected), or -1 when
// the key left it open.
int WarnAndPress(Qt::Key key) {
  int result = -2;
  OnNextModal([&](QWidget* w) {
    auto* d = qobject_cast<TWarningDialog*>(w);
    ASSERT_NE(d, nullptr);
    QObject::connect(d, &QDialog::finished, [&result](int r) { result = r; });
    EXPECT_TRUE(QTest::qWaitFor([w] { return w->isVisible(); }));
    QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, key);
    if (!QTest::qWaitFor([w] { return !w->isVisible(); }, 500)) {
      w->close();
      result = -1;
    }
  });
  Dialogs().warning(QStringLiteral("请选择保存的文件名"));
  return result;
}

}  // namespace

TEST(ConfirmDialog, YAndNAloneAnswerEveryQuestionWhicheverButtonIsTheDefault) {
  for (Answer preferred : {Answer::Yes, Answer::No}) {
    SCOPED_TRACE(preferred == Answer::Yes ? "default Yes" : "default No");
    EXPECT_EQ(AskAndPress(Qt::Key_Y, preferred), Answer::Yes);
    EXPECT_EQ(AskAndPress(Qt::Key_N, preferred), Answer::No);
    EXPECT_EQ(AskAndPress(Qt::Key_Y, preferred, Qt::ShiftModifier), Answer::Yes);
    EXPECT_EQ(AskAndPress(Qt::Key_Escape, preferred), Answer::No);
    // Enter gives the default.
    EXPECT_EQ(AskAndPress(Qt::Key_Return, preferred), preferred);
    // Another letter answers nothing; Ctrl+Y is a shortcut, not an answer.
    EXPECT_EQ(AskAndPress(Qt::Key_X, preferred), Answer::Closed);
    EXPECT_EQ(AskAndPress(Qt::Key_Y, preferred, Qt::ControlModifier), Answer::Closed);
  }
}

TEST(WarningDialog, YAndEnterConfirmNAndEscClose) {
  EXPECT_EQ(WarnAndPress(Qt::Key_Y), QDialog::Accepted);
  EXPECT_EQ(WarnAndPress(Qt::Key_Return), QDialog::Accepted);
  EXPECT_EQ(WarnAndPress(Qt::Key_N), QDialog::Rejected);
  EXPECT_EQ(WarnAndPress(Qt::Key_Escape), QDialog::Rejected);
  EXPECT_EQ(WarnAndPress(Qt::Key_X), -1);
}
