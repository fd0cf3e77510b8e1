// The secret, its commitment and the seed's derivation, and the journal faults that a kill
// at a bad moment leaves: a torn tail, a damaged middle, a head alone, a finished draw
// without its winner files.
#include <gtest/gtest.h>

#include <filesystem>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawProof.h"
#include "core/draw/DrawTexts.h"
#include "core/draw/StageView.h"
#include "core/records/ListTree.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;
namespace fs = std::filesystem;

namespace {

TDrawSecret Counting() {
  TDrawSecret s{};
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<uint8_t>(i);
  return s;
}

const std::string kData(64, 'a');
const std::string kPresets(64, 'b');

}  // namespace

TEST(DrawProof, CommitmentAndSeedFollowTheWrittenRule) {
  const TDrawSecret s = Counting();
  const std::string hex = SecretHex(s);
  EXPECT_EQ(hex, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  EXPECT_EQ(Commitment(s), "630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd");
  EXPECT_EQ(Commitment(TDrawSecret{}),
            "66687aadf862bd776c8fc18b8e9f8e20089714856ee233b3902a591d0d5f2925");
  TDrawSecret back{};
  ASSERT_TRUE(
      ParseSecretHex("000102030405060708090A0B0C0D0E0F101112131415161718191a1b1c1d1e1f", back));
  EXPECT_EQ(back, s);
  EXPECT_FALSE(ParseSecretHex(hex.substr(1), back));
  EXPECT_FALSE(ParseSecretHex(hex.substr(0, 63) + "g", back));

  // Seeds worked out with Python's hashlib from the same text.
  const std::string items = ItemsText({{1001, 5, 2}, {1002, 1, 1}});
  EXPECT_EQ(items, "1001/5/2,1002/1/1");
  EXPECT_EQ(DeriveSeed(hex, "", kData, kPresets, items), 629535755u);
  EXPECT_EQ(DeriveSeed(hex, "4711", kData, kPresets, items), 3868348949u);
  // Every input counts, leading zeros of the audience's number too.
  EXPECT_EQ(DeriveSeed(hex, "04711", kData, kPresets, items), 3659869254u);
  EXPECT_EQ(DeriveSeed(hex, "4711", kData, kPresets, "1001/5/2,1002/1/2"), 3858040920u);
  EXPECT_EQ(DeriveSeed(hex, "4711", "c" + kData.substr(1), kPresets, items), 3941431480u);
  EXPECT_EQ(PresetHashOf({{2001, "x 1"}, {2002, "y"}}),
            "692da882ee0bb191c24695e5515c7b06f92cd5d3af0f59dccd550bb34c026af6");
  EXPECT_EQ(PresetHashOf({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

  EXPECT_TRUE(ValidAudienceNumber(""));
  EXPECT_TRUE(ValidAudienceNumber("000000000000000001"));
  EXPECT_FALSE(ValidAudienceNumber("0000000000000000001"));  // 19 digits
  EXPECT_FALSE(ValidAudienceNumber("12a"));
  EXPECT_FALSE(ValidAudienceNumber("-1"));

  // The system's source gives different secrets; a numbered one is the same each time.
  TDrawSecret a{}, b{};
  std::string err;
  ASSERT_TRUE(SystemSecret(a, err)) << err;
  ASSERT_TRUE(SystemSecret(b, err));
  EXPECT_NE(a, b);
  EXPECT_EQ(NumberedSecret(7), NumberedSecret(7));
  EXPECT_NE(NumberedSecret(7), NumberedSecret(8));
}

TEST(DrawJournal, NewRecordsReadBackAndUnknownKindsKeepTheirPlace) {
  TempRoot root;
  TJournalHead h;
  h.TaskId = 1001;
  h.DataHash = kData;
  h.PresetHash = kPresets;
  h.Items = {{2001, 3, 2}};
  h.Secret = SecretHex(Counting());
  h.Commit = Commitment(Counting());
  const TJournalStart st{"0815", 629535755u};
  TJournalBatch b{2001, 2, false, 0, 99u, {4, 1}};
  b.Rolls = 17;
  const std::string path = paths::JournalPath(1001);
  const std::string text = FormatJournalHead(h) + FormatJournalStart(st) + FormatJournalBatch(b);
  EXPECT_NE(text.find("\tcommit=630dcd29"), std::string::npos);
  EXPECT_EQ(text.find("\tseed=0"), std::string::npos);  // a checkable head has no seed
  EXPECT_NE(text.find("START\taudience=0815\tseed=629535755\tcheck="), std::string::npos);
  EXPECT_NE(text.find("\trng=99\trolls=17\twinners=4,1\t"), std::string::npos);
  // A record of a kind this reader does not know, between the start and the batch.
  const std::string other = SealJournalRecord("NOTE\titem=2001\twinner=4");
  const size_t batchAt = text.find("BATCH");
  WriteAll(paths::NativePath(path), text.substr(0, batchAt) + other + text.substr(batchAt));
  TJournal j;
  std::string err;
  ASSERT_EQ(ReadJournal(path, j, err), JournalRead::Ok) << err;
  EXPECT_EQ(j.Head.Commit, h.Commit);
  EXPECT_EQ(j.Head.Secret, h.Secret);
  ASSERT_TRUE(j.Started);
  EXPECT_EQ(j.Start, st);
  EXPECT_EQ(j.DrawSeed(), 629535755u);
  ASSERT_EQ(j.Batches.size(), 1u);
  EXPECT_EQ(j.Batches[0], b);
  EXPECT_FALSE(j.TornTail);
  EXPECT_EQ(j.WholeBytes, text.size() + other.size());
  ASSERT_EQ(j.Others.size(), 1u);
  EXPECT_EQ(j.Others[0].AfterBatches, 0u);
  EXPECT_EQ(j.Others[0].Line + "\r\n", other);

  // A batch of a checkable draw before its START, or without its roll count, is damage.
  TJournalBatch noRolls = b;
  noRolls.Rolls = -1;
  WriteAll(paths::NativePath(path), FormatJournalHead(h) + FormatJournalStart(st) +
                                        FormatJournalBatch(noRolls) + FormatJournalBatch(b));
  EXPECT_EQ(ReadJournal(path, j, err), JournalRead::Damaged);
  WriteAll(paths::NativePath(path), FormatJournalHead(h) + FormatJournalBatch(b));
  EXPECT_EQ(ReadJournal(path, j, err), JournalRead::Damaged);
}

TEST(DrawJournal, ATornTailIsCutBackADamagedMiddleIsDamage) {
  TempRoot root;
  TJournalHead h;
  h.TaskId = 1001;
  h.DataHash = kData;
  h.PresetHash = kPresets;
  h.Items = {{2001, 9, 2}};
  h.Secret = SecretHex(Counting());
  h.Commit = Commitment(Counting());
  TJournalBatch b1{2001, 2, false, 0, 1u, {1, 2}};
  TJournalBatch b2{2001, 4, false, 0, 2u, {3, 4}};
  TJournalBatch b3{2001, 6, false, 0, 3u, {5, 6}};
  b1.Rolls = b2.Rolls = b3.Rolls = 5;
  const std::string whole = FormatJournalHead(h) + FormatJournalStart({"", 5u}) +
                            FormatJournalBatch(b1) + FormatJournalBatch(b2);
  const std::string last = FormatJournalBatch(b3);
  const std::string path = paths::JournalPath(1001);
  TJournal j;
  std::string err;
  // Half of the last line, as `truncate -s -47` leaves it.
  WriteAll(paths::NativePath(path), whole + last.substr(0, last.size() - 47));
  ASSERT_EQ(ReadJournal(path, j, err), JournalRead::Ok);
  EXPECT_EQ(j.Batches.size(), 2u);
  EXPECT_TRUE(j.TornTail);
  EXPECT_EQ(j.WholeBytes, whole.size());
  ASSERT_TRUE(CutJournalTail(path, j.WholeBytes, err)) << err;
  EXPECT_EQ(ReadAll(paths::NativePath(path)), whole);
  EXPECT_EQ(JournalSize(path), static_cast<int64_t>(whole.size()));
  // Nothing to cut: the file stays as it is.
  ASSERT_TRUE(CutJournalTail(path, whole.size(), err));
  EXPECT_EQ(ReadAll(paths::NativePath(path)), whole);
  // Asked to keep more than there is: refused, the file untouched.
  EXPECT_FALSE(CutJournalTail(path, whole.size() + 1, err));
  EXPECT_EQ(ReadAll(paths::NativePath(path)), whole);

  // One byte flipped in the middle line: damaged, not a batch fewer.
  std::string flipped = whole + last;
  const size_t at = whole.find("winners=3,4");
  ASSERT_NE(at, std::string::npos);
  flipped[at + 8] = '7';
  WriteAll(paths::NativePath(path), flipped);
  EXPECT_EQ(ReadJournal(path, j, err), JournalRead::Damaged);
  EXPECT_EQ(err, G("抽奖记录文件已损坏：") + path);
  EXPECT_TRUE(j.Batches.empty());
  // The same byte flipped in the head.
  flipped = whole + last;
  flipped[flipped.find("again=")] = 'A';
  WriteAll(paths::NativePath(path), flipped);
  EXPECT_EQ(ReadJournal(path, j, err), JournalRead::Damaged);
}

namespace {

class JournalFaults : public ::testing::Test {
 protected:
  static constexpr int kRolls = 3;
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 3, 2, ""}, {G("二等奖"), 4, 2, ""}};
    for (int i = 0; i < 40; ++i)
      def.candidates.push_back(std::to_string(13700000000LL + i * 53) + " n" + std::to_string(i));
    m_ids = BuildTask(m_dm, def);
  }
  // Sets an engine up and starts its journal as the screen does.
  void Open(TDataDraw& e) { ASSERT_TRUE(SetUpDraw(e)); }
  static void Batches(TDataDraw& e, int n, int rolls = kRolls) {
    for (int i = 0; i < n && !(e.state() == TDataDraw::State::Finished); ++i) {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      for (int r = 0; r < rolls; ++r) e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    }
  }
  static std::vector<int32_t> Revealed(const TDataDraw& e) {
    std::vector<int32_t> out;
    for (const TLuckId& w : e.Session().Winners) out.push_back(w.CandidateIndex);
    return out;
  }
  std::string Journal() const { return ReadAll(paths::NativePath(paths::JournalPath(1001))); }
  static int HistoryCount() {
    std::error_code ec;
    int n = 0;
    for (auto it = fs::directory_iterator(paths::NativePath(paths::HistoryDir()), ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
      ++n;
    return n;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
  TRandom m_rng;
};

}  // namespace

TEST_F(JournalFaults, ATornLastLineIsCutBeforeTheNextAppendAndNoWinnerIsLost) {
  std::vector<int32_t> shown;
  {
    TDrawSession eSession;
    TDataDraw e(eSession, m_rng, 5u);
    Open(e);
    std::string err;
    ASSERT_TRUE(e.StartJournal(err)) << err;
    Batches(e, 2);
    shown = Revealed(e);
  }
  // Half of the last line gone, as a power cut leaves it.
  std::string text = Journal();
  WriteAll(paths::NativePath(paths::JournalPath(1001)), text.substr(0, text.size() - 47));
  shown.resize(2);  // the second batch's record is torn: it counts as not drawn
  std::vector<int32_t> second;
  {
    TDrawSession eSession;
    TDataDraw e(eSession, m_rng, 6u);
    Open(e);
    ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
    EXPECT_EQ(e.Pending().Winners(), 2);
    TDataDraw::BatchEnd end;
    std::string err;
    ASSERT_TRUE(e.Resume(end, err)) << err;
    // Cut back to its whole lines at once, before anything is appended.
    EXPECT_EQ(Journal().back(), '\n');
    Batches(e, 2);
    second = Revealed(e);
  }
  EXPECT_EQ(std::vector<int32_t>(second.begin(), second.begin() + 2), shown);
  ASSERT_EQ(second.size(), 5u);  // 2, then 1 and 2 after the resume
  // Every revealed winner reads back: no record was glued onto a torn one.
  TDrawSession eSession;
  TDataDraw e(eSession, m_rng, 7u);
  Open(e);
  ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
  EXPECT_EQ(drawtext::ResumeQuestion(e.Pending().Winners()),
            G("上次抽奖尚未完成(已抽出5人),是否继续上次的抽奖?"));
  TDataDraw::BatchEnd end;
  std::string err;
  ASSERT_TRUE(e.Resume(end, err)) << err;
  EXPECT_EQ(Revealed(e), second);
}

TEST_F(JournalFaults, ADamagedMiddleIsToldNotCountedAndKeptInTheHistory) {
  {
    TDrawSession eSession;
    TDataDraw e(eSession, m_rng, 5u);
    Open(e);
    Batches(e, 3);
  }
  std::string text = Journal();
  const size_t second = text.find("BATCH", text.find("BATCH") + 1);
  text[text.find("winners=", second) + 8] ^= 1;
  WriteAll(paths::NativePath(paths::JournalPath(1001)), text);
  TDrawSession eSession;
  TDataDraw e(eSession, m_rng, 6u);
  Open(e);
  EXPECT_EQ(e.Pending().kind, TPendingKind::Damaged);
  TDataDraw::BatchEnd end;
  std::string err;
  EXPECT_FALSE(e.Resume(end, err));
  EXPECT_EQ(drawtext::PendingDamaged(),
            G("上次未完成的抽奖记录已损坏,无法准确继续,已移至历史记录,将重新开始抽奖"));
  ASSERT_TRUE(e.SetAsidePending(err)) << err;
  ASSERT_TRUE(e.StartJournal(err)) << err;
  EXPECT_EQ(HistoryCount(), 1);
  bool kept = false;
  for (auto& f : fs::recursive_directory_iterator(paths::NativePath(paths::HistoryDir())))
    kept = kept || (f.is_regular_file() && ReadAll(f.path()) == text);
  EXPECT_TRUE(kept);
}

TEST_F(JournalFaults, AHeadAloneIsSetAsideWithoutAskingAndACompleteDrawIsFinished) {
  {
    TDrawSession eSession;
    TDataDraw e(eSession, m_rng, 5u);
    Open(e);
    std::string err;
    ASSERT_TRUE(e.StartJournal(err));
  }
  const std::string head = Journal();
  {
    TDrawSession eSession;
    TDataDraw e(eSession, m_rng, 6u);
    Open(e);
    EXPECT_EQ(e.Pending().kind, TPendingKind::None);
    std::string err;
    ASSERT_TRUE(e.StartJournal(err));
    EXPECT_EQ(HistoryCount(), 1);  // the earlier head, kept
    EXPECT_NE(Journal(), head);    // a new commitment
    Batches(e, 5);                 // 2+1, 2+2: every item complete
    ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  }
  // Killed between the winner files and the journal's rename: the journal is unfinished
  // but its batches complete every item.
  std::error_code ec;
  fs::rename(paths::NativePath(paths::FinishedJournalPath(1001)),
             paths::NativePath(paths::JournalPath(1001)), ec);
  ASSERT_FALSE(ec);
  const std::string files = ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[1])));
  TDrawSession eSession;
  TDataDraw e(eSession, m_rng, 7u);
  Open(e);
  ASSERT_EQ(e.Pending().kind, TPendingKind::Complete);
  TDataDraw::BatchEnd end;
  std::string err;
  ASSERT_TRUE(e.Resume(end, err)) << err;
  EXPECT_TRUE(end.finished);
  EXPECT_TRUE(end.saved) << end.saveError;
  EXPECT_TRUE((e.state() == TDataDraw::State::Finished));
  EXPECT_FALSE(paths::FileExists(paths::JournalPath(1001)));
  EXPECT_TRUE(paths::FileExists(paths::FinishedJournalPath(1001)));
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[1]))), files);
  // Only what was missing was done: this draw's files did not go to the history.
  EXPECT_EQ(HistoryCount(), 1);
}

TEST_F(JournalFaults, TheAudienceNumberIsTakenOnlyBeforeTheFirstBatch) {
  TDrawSession eSession;
  TDataDraw e(eSession, m_rng, 5u);
  Open(e);
  EXPECT_FALSE(e.SetAudienceNumber("12x"));
  EXPECT_FALSE(e.SetAudienceNumber("1234567890123456789"));
  ASSERT_TRUE(e.SetAudienceNumber("0042"));
  EXPECT_EQ(e.AudienceNumber(), "0042");
  EXPECT_EQ(e.DrawSeed(), 0u);
  Batches(e, 1);
  EXPECT_FALSE(e.SetAudienceNumber("7"));
  EXPECT_EQ(e.AudienceNumber(), "0042");
  const TJournalHead& h = e.JournalHead();
  const std::string items = "2001/3/2,2002/4/2";
  EXPECT_EQ(e.DrawSeed(),
            DeriveSeed(SecretHex(NumberedSecret(5)), "0042", h.DataHash, h.PresetHash, items));
  EXPECT_EQ(h.Commit, Commitment(NumberedSecret(5)));
  TJournal j;
  std::string err;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), j, err), JournalRead::Ok);
  EXPECT_EQ(j.Start.Audience, "0042");
  EXPECT_EQ(j.Start.Seed, e.DrawSeed());
  ASSERT_EQ(j.Batches.size(), 1u);
  EXPECT_EQ(j.Batches[0].Rolls, kRolls);
  // The proof line: 12 digits of the list's hash, the count, 8 of the list's root, 16 of
  // the commitment, and which opening of the task this is.
  const std::string root = listtree::TListTree(e.Session().CandidateLines).RootHex();
  EXPECT_EQ(stageview::ProofText(e), G("抽奖凭证  名单 ") + h.DataHash.substr(0, 12) +
                                         G("  40人  根值 ") + root.substr(0, 8) + G("  承诺 ") +
                                         h.Commit.substr(0, 16) + G("  本任务第1次开启"));
}
