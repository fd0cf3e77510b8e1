// 作废 in the results window on a finished draw from a list: the winner is voided on the
// draw's record, leaves the winners for the struck-through 作废 rows, and cannot claim.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "ModalHelper.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/claims/ClaimDesk.h"
#include "core/records/VoidFile.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"
#include "gui/results/QueryFrm.h"
#include "gui/results/VoidReasonDlg.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

// Ten candidates 11 … 20 with names; 一等奖 3 one at a time, 二等奖 3 in one batch, drawn to
// the end before the window opens.
class ResultsVoidWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 3, 1, ""}, {G("二等奖"), 3, 3, ""}};
    def.title = G("号码 姓名");
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(11 + i) + " " + G("人") + std::to_string(i));
    m_ids = BuildTask(m_dm, def);
    auto run = StartDraw(5u);
    for (int b = 0; b < 4; ++b) {
      ASSERT_TRUE(run->e.BeginBatch());
      run->e.SelectBatchWinners();
      run->e.RollStep();
      run->e.RevealBatch();
      run->e.EndBatch();
    }
    ASSERT_EQ(m_form.SetUpQuery(1001), 1);
  }

  // Voids the selected winner with the reason offered at `reason`, the questions answered
  // from the recorder; answers the text the reason's window named the winner with.
  QString VoidSelected(int reason) {
    QString who;
    OnNextModal([&](QWidget* m) {
      auto* dlg = qobject_cast<TVoidReasonDlg*>(m);
      if (!dlg) {
        ADD_FAILURE() << "not the reason's window";
        m->close();
        return;
      }
      who = dlg->LbWho->text();
      EXPECT_FALSE(dlg->BtnOk->isEnabled());  // no reason yet
      dlg->RbReasons[static_cast<size_t>(reason)]->click();
      EXPECT_TRUE(dlg->BtnOk->isEnabled());
      dlg->BtnOk->click();
    });
    m_form.BtnVoid->click();
    return who;
  }

  // The column whose head is `head`, or -1.
  int Column(const QString& head) const {
    for (int c = 0; c < m_form.SGLuckId->columnCount(); ++c)
      if (const QTableWidgetItem* h = m_form.SGLuckId->horizontalHeaderItem(c);
          h && h->text() == head)
        return c;
    return -1;
  }
  QString Cell(int r, int c) const { return GridCell(m_form.SGLuckId, r, c); }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  std::vector<int> m_ids;
  TDrawSession m_session;
  TQueryForm m_form{m_session};
};

}  // namespace

TEST_F(ResultsVoidWindow, AVoidedWinnerIsStruckThroughBelowTheWinnersAndOnRecord) {
  EXPECT_TRUE(m_form.BtnVoid->isEnabled());
  EXPECT_EQ(m_form.LbCount->text(), QStringLiteral("共(3)名"));
  const QString id = Cell(2, 0), name = Cell(2, 1);
  m_form.SGLuckId->setCurrentCell(2, 0);
  EXPECT_EQ(VoidSelected(1), QStringLiteral("[一等奖] ") + id + " " + name);
  ASSERT_EQ(m_dialogs.log.size(), 2u);
  EXPECT_EQ(m_dialogs.log[0].type, RecordedDialog::Question);
  EXPECT_EQ(m_dialogs.log[0].text,
            QStringLiteral("确定作废[一等奖] ") + id + " " + name +
                QStringLiteral("?\n原因：不符合资格\n名额将空缺，不再重抽。"));
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  EXPECT_EQ(
      m_dialogs.messages().back(),
      std::make_pair(MessageKind::Information, QStringLiteral("已作废：[一等奖] ") + id +
                                                   QStringLiteral("（不符合资格），名额空缺")));

  // On record: the void file holds the winner's line with the reason.
  TVoidFile file;
  std::string error;
  ASSERT_TRUE(LoadItemVoids(1001, m_ids[0], file, error)) << error;
  ASSERT_EQ(file.rows.size(), 1u);
  EXPECT_EQ(Q(file.rows[0].CandidateLine), id + " " + name);
  EXPECT_EQ(file.rows[0].Reason, G("不符合资格"));
  EXPECT_EQ(file.rows[0].ReplacementId, "");

  // Two winners, then the 作废 section: the winner struck through with when and why.
  EXPECT_EQ(m_form.LbCount->text(), QStringLiteral("共(2)名"));
  EXPECT_NE(Cell(1, 0), id);
  EXPECT_NE(Cell(2, 0), id);
  EXPECT_EQ(Cell(3, 0), QStringLiteral("作废名单："));
  EXPECT_EQ(Cell(4, 0), id);
  EXPECT_EQ(Cell(4, 1), name);
  ASSERT_NE(m_form.SGLuckId->item(4, 0), nullptr);
  EXPECT_TRUE(m_form.SGLuckId->item(4, 0)->font().strikeOut());
  EXPECT_FALSE(m_form.SGLuckId->item(1, 0)->font().strikeOut());
  const int mark = Column(QStringLiteral("作废"));
  ASSERT_GE(mark, 2);
  // The clock in the grid (作废:不符合资格 21:07 名额空缺), the date too under the pointer.
  EXPECT_EQ(Cell(4, mark).size(), QStringLiteral("作废:不符合资格 21:07 名额空缺").size());
  EXPECT_TRUE(Cell(4, mark).startsWith(QStringLiteral("作废:不符合资格 ")));
  EXPECT_TRUE(Cell(4, mark).endsWith(QStringLiteral(" 名额空缺")));
  EXPECT_TRUE(
      m_form.SGLuckId->item(4, mark)->toolTip().startsWith(QStringLiteral("作废:不符合资格 2")));
  EXPECT_EQ(m_form.SGLuckId->currentRow(), 4);

  // The struck row again: the engine's refusal before any question.
  m_dialogs.log.clear();
  m_form.BtnVoid->click();
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(
      m_dialogs.messages().back(),
      std::make_pair(MessageKind::Attention, QStringLiteral("该中奖者已经作废,不能再次作废")));
  ASSERT_TRUE(LoadItemVoids(1001, m_ids[0], file, error)) << error;
  EXPECT_EQ(file.rows.size(), 1u);
}

TEST_F(ResultsVoidWindow, AClaimedWinnerIsAskedAboutFirstAndCannotClaimOnceVoided) {
  m_form.LBItem->setCurrentRow(1);  // 二等奖
  const QString id = Cell(1, 0);
  m_form.SGLuckId->setCurrentCell(1, 0);
  m_form.BtnClaim->click();
  const int claimColumn = Column(QStringLiteral("领取"));
  ASSERT_GE(claimColumn, 0);
  ASSERT_FALSE(Cell(1, claimColumn).isEmpty());
  m_dialogs.log.clear();

  m_form.SGLuckId->setCurrentCell(1, 0);
  VoidSelected(2);
  ASSERT_EQ(m_dialogs.log.size(), 3u);
  EXPECT_TRUE(m_dialogs.log[0].text.startsWith(QStringLiteral("该中奖者已领奖（2")));
  EXPECT_TRUE(m_dialogs.log[0].text.endsWith(QStringLiteral(" 结果查询），仍要作废?")));
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  TVoidFile file;
  std::string error;
  ASSERT_TRUE(LoadItemVoids(1001, m_ids[1], file, error)) << error;
  ASSERT_EQ(file.rows.size(), 1u);
  EXPECT_EQ(file.rows[0].Reason.size(), G("本人放弃；已于 21:02 领奖（结果查询）").size());
  EXPECT_TRUE(Q(file.rows[0].Reason).startsWith(QStringLiteral("本人放弃；已于 ")));
  EXPECT_TRUE(Q(file.rows[0].Reason).endsWith(QStringLiteral(" 领奖（结果查询）")));

  // 领取 on the struck row: the desk says why not.
  ASSERT_EQ(Cell(4, 0), id);
  m_form.SGLuckId->setCurrentCell(4, 0);
  m_form.BtnClaim->click();
  EXPECT_EQ(
      m_dialogs.messages().back(),
      std::make_pair(MessageKind::Attention, QStringLiteral("该中奖者的中奖已作废，不能领取")));
}

// An item added on the night (here after the last batch) is listed after the task's own,
// with its winners like any other.
TEST_F(ResultsVoidWindow, AnItemAddedLiveIsListedWithItsWinners) {
  std::vector<std::string> added;
  {
    auto run = StartDraw(5u);
    TDataDraw& e = run->e;
    std::string message;
    ASSERT_TRUE(e.OpenFinished(message)) << message;
    TDataDraw::BatchEnd end;
    ASSERT_TRUE(e.AddItem({G("特别奖"), 2, 2, G("手机")}, true, "", end, message)) << message;
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    e.RollStep();
    e.RevealBatch();
    e.EndBatch();
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
    for (const TLuckId& w : e.Session().Winners)
      if (w.ItemId == e.Session().Items.back().ItemId)
        added.emplace_back(text::FirstField(w.CandidateLine));
  }
  ASSERT_EQ(added.size(), 2u);
  ASSERT_EQ(m_form.SetUpQuery(1001), 1);
  ASSERT_EQ(m_form.LBItem->count(), 3);
  EXPECT_EQ(m_form.LBItem->item(2)->text(), QStringLiteral("特别奖"));
  m_form.LBItem->setCurrentRow(2);
  EXPECT_EQ(m_form.LbCount->text(), QStringLiteral("共(2)名"));
  EXPECT_EQ(Cell(1, 0), Q(added[0]));
  EXPECT_EQ(Cell(2, 0), Q(added[1]));
}
