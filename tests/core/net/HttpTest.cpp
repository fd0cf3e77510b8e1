#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/net/Http.h"

namespace {

// A feature that takes one path and notes every request it is asked.
class PathRoutes : public net::TRoutes {
 public:
  PathRoutes(std::string path, int status) : m_path(std::move(path)), m_status(status) {}
  int asked = 0;

 protected:
  bool Answer(const net::THttpRequest& request, net::THttpResponse& response) override {
    ++asked;
    if (request.Path != m_path) return false;
    response = net::PlainResponse(m_status, m_path);
    return true;
  }

 private:
  std::string m_path;
  int m_status;
};

class DispatchTest : public ::testing::Test {
 protected:
  net::THttpResponse Ask(std::string_view path, size_t headerBytes = 10, bool tooLarge = false) {
    net::THttpRequest req;
    req.Method = "POST";
    req.Path = path;
    req.HeaderBytes = headerBytes;
    req.BodyTooLarge = tooLarge;
    return net::Dispatch(req, {&m_first, nullptr, &m_second});
  }

  PathRoutes m_first{"/a", 201};
  PathRoutes m_second{"/b", 202};
};

TEST_F(DispatchTest, TheFirstFeatureThatTakesARequestAnswersAndNoneGives404) {
  EXPECT_EQ(Ask("/a").Status, 201);
  EXPECT_EQ(m_second.asked, 0);
  EXPECT_EQ(Ask("/b").Status, 202);
  const net::THttpResponse none = Ask("/c");
  EXPECT_EQ(none.Status, 404);
  EXPECT_EQ(none.Body, "没有这个页面");
  EXPECT_EQ(m_first.asked, 3);
  EXPECT_EQ(m_second.asked, 2);
}

TEST_F(DispatchTest, ARequestOverTheLimitsIsRefusedBeforeAnyFeatureIsAsked) {
  EXPECT_EQ(Ask("/a", net::kMaxHeaderBytes + 1).Status, 431);
  EXPECT_EQ(Ask("/b", 10, true).Status, 413);
  EXPECT_EQ(Ask("/a", net::kMaxHeaderBytes).Status, 201);
  EXPECT_EQ(m_first.asked, 1);
  EXPECT_EQ(m_second.asked, 0);
  // One feature asked alone leaves such a request to the dispatch.
  net::THttpRequest req;
  req.Path = "/a";
  req.BodyTooLarge = true;
  net::THttpResponse r;
  EXPECT_FALSE(m_first.Handle(req, r));
  EXPECT_EQ(m_first.asked, 1);
}

}  // namespace
