// The proof of a guest's line on the phones: carried by a check-in and answered by the
// lookup page, the list never served. The expected hashes were worked out by hand from the
// tree's rules (SHA-256 over 0x00 ‖ line, 0x01 ‖ left ‖ right, 0x02 ‖ count ‖ tree).
#include <gtest/gtest.h>

#include "TempRoot.h"
#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinHttp.h"
#include "core/records/ListTree.h"
#include "core/text/Gbk.h"

using namespace checkin;
using text::G;

namespace {

const char* kRoot = "85c72064abcf38285c91d731925db0977eaaa90d9a5f293c6a939f40d31cae0f";
// Line 1's leaf, line 2's leaf, line 3's leaf, and the node over lines 1 and 2.
const char* kLeaf1 = "64ed29ecdc86041dc004b15416d551a748897b8619c9347f7a33099e0eb3800f";
const char* kLeaf2 = "fce5b0c01567cd1316929a3899d50e202075b14763f432a18d444398eb006b7d";
const char* kLeaf3 = "9779552b57fc604acbdd864fbc2e62d9da6be466fe4806a727c11042bbb6dd21";
const char* kNode12 = "6fe9bc04da16598997858d0ed84bfbc527ad5a06c6168e6859f08b6f9f947dc7";

const char* kZhang = "id=13800000001&name=%E5%BC%A0%E4%B8%89";  // 张三
const char* kWang = "id=13800000003&name=%E7%8E%8B%E4%BA%94";   // 王五

class ListProofTest : public ::testing::Test {
 protected:
  ListProofTest() {
    m_desk.SetClock([this] { return m_now; }, [] { return std::string("2026-12-10 09:30:00"); });
  }

  void Open() {
    TCheckinTask t;
    t.TaskId = 7;
    t.TaskName = G("年会");
    t.TitleLine = G("手机号码 姓名 部门");
    t.Lines = {G("13800000001 张三 销售"), G("13800000002 李四 财务"), G("13800000003 王五 技术")};
    t.FilePath = m_root.path("LUCK_FILE/CHECKIN_7.txt");
    std::string error;
    ASSERT_TRUE(m_desk.Open(t, error)) << error;
  }

  THttpResponse Ask(const char* method, const char* path, std::string body = "",
                    const char* from = "10.0.0.5") {
    THttpRequest req;
    req.Method = method;
    req.Path = path;
    req.Address = from;
    req.Body = body;
    return HandleRequest(m_desk, req);
  }

  TempRoot m_root;
  TCheckinDesk m_desk;
  int64_t m_now = 1'000'000;
};

}  // namespace

TEST_F(ListProofTest, ACheckInCarriesTheProofOfItsLine) {
  Open();
  const THttpResponse r = Ask("POST", "/checkin", kZhang);
  ASSERT_EQ(r.Status, 200);
  const size_t t = r.Body.find("\"token\":\"");
  ASSERT_NE(t, std::string::npos);
  const std::string token = r.Body.substr(t + 9, 32);
  EXPECT_EQ(r.Body, "{\"kind\":\"ok\",\"text\":\"签到成功\",\"name\":\"张三\",\"token\":\"" +
                        token +
                        "\",\"proof\":{\"n\":1,\"line\":\"13800000001 张三 销售\","
                        "\"hex\":\"313338303030303030303120d5c5c8fd20cffacadb\",\"proof\":\"3:" +
                        kLeaf2 + kLeaf3 + "\",\"root\":\"" + kRoot + "\"}}");
  // The verifier takes the same proof.
  uint64_t count = 0;
  EXPECT_EQ(listtree::CheckProof(G("13800000001 张三 销售"), 1, std::string("3:") + kLeaf2 + kLeaf3,
                                 kRoot, count),
            listtree::TProofVerdict::Holds);
  EXPECT_EQ(count, 3u);
  // A refusal carries none.
  EXPECT_EQ(Ask("POST", "/checkin", kZhang).Body.find("proof"), std::string::npos);
}

TEST_F(ListProofTest, TheLookupAnswersOnlyTheAskersOwnLineOpenOrClosed) {
  Open();
  EXPECT_EQ(Ask("POST", "/list", kWang).Body,
            std::string("{\"kind\":\"onlist\",\"text\":\"你在名单中（第3行）\",\"proof\":{\"n\":3,"
                        "\"line\":\"13800000003 王五 技术\","
                        "\"hex\":\"313338303030303030303320cdf5cee520bcbccaf5\",\"proof\":\"3:") +
                kNode12 + "\",\"root\":\"" + kRoot + "\"}}");
  const std::string li = Ask("POST", "/list", "id=13800000002&name=%E6%9D%8E%E5%9B%9B").Body;
  EXPECT_NE(li.find(std::string("\"n\":2,") + "\"line\":\"13800000002 李四 财务\"," +
                    "\"hex\":\"313338303030303030303220c0eecbc420b2c6cef1\",\"proof\":\"3:" +
                    kLeaf1 + kLeaf3 + "\""),
            std::string::npos)
      << li;
  // Asking checks nobody in.
  EXPECT_EQ(m_desk.View().CheckedIn, 0u);
  EXPECT_EQ(Ask("POST", "/list", "id=13800000002&name=%E5%BC%A0%E4%B8%89").Body,
            "{\"kind\":\"mismatch\",\"text\":\"号码与姓名不符\"}");
  EXPECT_EQ(Ask("POST", "/list", "id=13900000002&name=x").Body,
            "{\"kind\":\"notlisted\",\"text\":\"不在名单中：名单中没有这个号码\"}");
  EXPECT_EQ(Ask("POST", "/list", "id=").Body, "{\"kind\":\"empty\",\"text\":\"请输入号码\"}");
  EXPECT_EQ(Ask("POST", "/list", "id=%zz").Status, 400);

  // After the draw closed check-in a guest may still ask.
  m_desk.Close();
  const std::string answer = Ask("POST", "/list", kZhang).Body;
  EXPECT_NE(answer.find("\"text\":\"你在名单中（第1行）\""), std::string::npos) << answer;
  EXPECT_NE(answer.find(std::string("\"proof\":\"3:") + kLeaf2 + kLeaf3 + "\""), std::string::npos);

  const THttpResponse page = Ask("GET", "/list");
  EXPECT_EQ(page.Status, 200);
  EXPECT_NE(page.Body.find("<title>名单查询</title>"), std::string::npos);
  EXPECT_NE(page.Body.find("<label for=\"name\">姓名</label>"), std::string::npos);
  EXPECT_EQ(page.Body.find("13800000002"), std::string::npos);  // no line of the list
  EXPECT_EQ(page.Body.find("http"), std::string::npos);         // no outside asset
  EXPECT_NE(Ask("GET", "/").Body.find("<a href=\"/list\">"), std::string::npos);
  for (const char* path : {"/list/", "/list.txt", "/DATA_FILE/7.txt"})
    EXPECT_EQ(Ask("GET", path).Status, 404) << path;
}

TEST_F(ListProofTest, LookupsAreBoundedPerAddressAndShareCheckInsLocks) {
  Open();
  // Wrong names for one id lock it for check-in too.
  for (int i = 0; i < kMaxIdFailures; ++i)
    EXPECT_NE(Ask("POST", "/list", "id=13800000002&name=x", "10.0.1.1").Body.find("mismatch"),
              std::string::npos);
  EXPECT_NE(Ask("POST", "/checkin", "id=13800000002&name=%E6%9D%8E%E5%9B%9B", "10.0.1.2")
                .Body.find("\"kind\":\"toomany\""),
            std::string::npos);

  // Twenty answers to one address, found or not, then none for the window.
  for (int i = kMaxIdFailures; i < kMaxAddressLookups; ++i)
    EXPECT_NE(Ask("POST", "/list", kWang, "10.0.1.1").Body.find("onlist"), std::string::npos) << i;
  EXPECT_EQ(Ask("POST", "/list", kWang, "10.0.1.1").Body,
            "{\"kind\":\"toomany\",\"text\":\"尝试次数过多，请稍后再试\"}");
  EXPECT_NE(Ask("POST", "/list", kWang, "10.0.1.3").Body.find("onlist"), std::string::npos);
  // Check-in from that address is not what the lookups used up.
  EXPECT_NE(Ask("POST", "/checkin", kZhang, "10.0.1.1").Body.find("\"kind\":\"ok\""),
            std::string::npos);
  // The window lists the address once and the operator lifts it.
  const std::vector<TCheckinLock> locks = m_desk.Locks();
  ASSERT_EQ(locks.size(), 2u);
  EXPECT_EQ(locks[0], (TCheckinLock{"13800000002", true, 600}));
  EXPECT_EQ(locks[1], (TCheckinLock{"10.0.1.1", false, 600}));
  m_desk.Lift("10.0.1.1", false);
  EXPECT_NE(Ask("POST", "/list", kWang, "10.0.1.1").Body.find("onlist"), std::string::npos);
  // Ten minutes on, the window is clear.
  m_now += kFailureWindowMs;
  EXPECT_TRUE(m_desk.Locks().empty());
}

TEST_F(ListProofTest, ADeskNeverOpenedHasNoListToAnswer) {
  EXPECT_EQ(Ask("POST", "/list", kWang).Body,
            "{\"kind\":\"nolist\",\"text\":\"名单查询尚未开放\"}");
}
