// Which request gets what from varnock watch: the page, its state and its
// data under the token and for the loopback host only, nothing for any
// other target, GET and HEAD alone, and the headers that keep every answer
// out of caches and other pages. (watch_check.py asks the running server
// for files by every spelling of a path.)
#include "watch/watch_routes.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr unsigned short PORT = 8123;
const std::string TOKEN = "0123456789abcdef0123456789abcdef";
const std::string HOST = "127.0.0.1:8123";

std::string header(const HttpResponse& r, const std::string& name) {
  for (const auto& [key, value] : r.headers) {
    if (key == name) return value;
  }
  return "";
}

class WatchRoutesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Session session;
    ASSERT_TRUE(session.run(fs::path(VARNOCK_SOURCE_DIR) / "examples/condenser.txt", dir_.path()).ok());
    // Files just written settle first.
    const FolderWatch::Clock::time_point now = FolderWatch::Clock::now();
    watch_.poll(now);
    watch_.poll(now + std::chrono::seconds(1));
    ASSERT_EQ(watch_.version(), 1u);
  }

  HttpResponse ask(const std::string& target, const std::string& host = HOST, const std::string& method = "GET") {
    const HttpResponse r = routes_.answer({method, target, host});
    // Whatever the answer, it is neither kept nor shown inside another page.
    EXPECT_EQ(header(r, "Cache-Control"), "no-store") << target;
    EXPECT_NE(header(r, "Content-Security-Policy").find("frame-ancestors 'none'"), std::string::npos) << target;
    EXPECT_EQ(header(r, "X-Content-Type-Options"), "nosniff") << target;
    return r;
  }

  varnock_test::TempDir dir_;
  FolderWatch watch_{dir_.path()};
  WatchRoutes routes_{watch_, TOKEN, PORT};
};

TEST_F(WatchRoutesTest, ServesThePageItsStateAndItsDataUnderTheToken) {
  EXPECT_EQ(routes_.address(), "http://127.0.0.1:8123/" + TOKEN + "/");

  const HttpResponse page = ask("/" + TOKEN + "/");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.content_type, "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("id=\"watch-data\""), std::string::npos);
  const std::string policy = header(page, "Content-Security-Policy");
  EXPECT_NE(policy.find("script-src 'sha256-"), std::string::npos) << policy;
  EXPECT_NE(policy.find("connect-src 'self'"), std::string::npos) << policy;
  EXPECT_EQ(policy.find("unsafe-eval"), std::string::npos) << policy;

  const HttpResponse state = ask("/" + TOKEN + "/state?t=1");
  EXPECT_EQ(state.status, 200);
  EXPECT_EQ(state.content_type, "application/json; charset=utf-8");
  EXPECT_EQ(Json::parse(state.body), Json::parse(R"({"version": 1, "waiting": null})"));

  const Json data = Json::parse(ask("/" + TOKEN + "/data").body);
  EXPECT_EQ(data["version"], 1);
  EXPECT_EQ(data["report"], Json::parse(watch_.data_json()));

  EXPECT_EQ(ask("/" + TOKEN + "/state", "localhost:8123").status, 200);
  EXPECT_EQ(ask("/" + TOKEN + "/state", "LocalHost:8123").status, 200);
  EXPECT_EQ(ask("/" + TOKEN + "/state", HOST, "HEAD").status, 200);

  // Nothing else exists, however it is spelt: no target names a file.
  for (const char* rest : {"OUT_M.txt", "../OUT_M.txt", "%2e%2e/OUT_M.txt", "..%2FOUT_M.txt", "state/", "./"}) {
    EXPECT_EQ(ask("/" + TOKEN + "/" + rest).status, 404) << rest;
  }

  const HttpResponse bare = ask("/" + TOKEN);
  EXPECT_EQ(bare.status, 308);
  EXPECT_EQ(header(bare, "Location"), "/" + TOKEN + "/");
}

TEST_F(WatchRoutesTest, RefusesRequestsWithoutTheTokenOrForAnotherHost) {
  std::string near_miss = "/" + TOKEN + "/";
  near_miss[32] = 'e';
  std::string short_one = "/" + TOKEN + "/";
  short_one.erase(32, 1);
  const std::vector<std::string> targets = {
      "/", "/state", "/data", near_miss, short_one, "/" + TOKEN + "0/",
      "/0123456789ABCDEF0123456789ABCDEF/", "/%30123456789abcdef0123456789abcdef/", "//" + TOKEN + "/",
      "http://127.0.0.1:8123/" + TOKEN + "/", "*", "", "/../" + TOKEN + "/"};
  for (const std::string& target : targets) {
    EXPECT_EQ(ask(target).status, 403) << target;
  }
  for (const char* host : {"", "evil.example:8123", "127.0.0.1:8124", "127.0.0.1", "localhost",
                           "127.0.0.1:8123.evil.example", "[::1]:8123", "127.0.0.1:8123 "}) {
    EXPECT_EQ(ask("/" + TOKEN + "/", host).status, 403) << "Host: " << host;
  }
}

TEST_F(WatchRoutesTest, AnswersGetAndHeadOnly) {
  for (const char* method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS", "TRACE", "CONNECT", "get"}) {
    const HttpResponse r = ask("/" + TOKEN + "/state", HOST, method);
    EXPECT_EQ(r.status, 405) << method;
    EXPECT_EQ(header(r, "Allow"), "GET, HEAD") << method;
  }
  EXPECT_EQ(ask("/state", HOST, "POST").status, 403) << "without the token, nothing else is said";
}

TEST(WatchToken, Is128RandomBitsInHex) {
  const std::string a = random_token(), b = random_token();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos) << a;
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace varnock
