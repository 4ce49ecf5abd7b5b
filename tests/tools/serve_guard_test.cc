// What `ecf serve` refuses before anything runs: requests a web page could
// make (a form post, another origin, a preflight), requests naming another
// host (DNS rebinding), requests without the access token, and a second
// service on a port already taken. The guard's rules as a table, then each
// refusal over HTTP with nothing run.
#include <cstdlib>
#include <string>

#include "host/request_guard.h"
#include "tools/serve_fixture.h"

namespace ecf::test {
namespace {

TEST(RequestGuardTest, RulesOfTheGuard) {
  struct Case {
    const char* what;
    RequestFacts request;
    const char* token;
    int status;  // 0: let through
  };
  const std::string own = "127.0.0.1:8019";
  const Case cases[] = {
      {"a call from a till program", {"POST", "/calls", own, "", "application/json", ""}, "", 0},
      {"localhost in any case, JSON with a charset",
       {"POST", "/faults", "LocalHost:8019", "", "Application/JSON; charset=utf-8", ""}, "", 0},
      {"a query", {"GET", "/state", own, "", "", ""}, "", 0},
      {"the page opened by the service's own page",
       {"POST", "/faults", own, "http://localhost:8019", "application/json", ""}, "", 0},
      {"a form post", {"POST", "/calls", own, "", "application/x-www-form-urlencoded", ""}, "",
       403},
      {"plain text", {"POST", "/faults", own, "", "text/plain", ""}, "", 403},
      {"no type", {"POST", "/calls", own, "", "", ""}, "", 403},
      {"JSON-looking type", {"POST", "/calls", own, "", "application/jsonx", ""}, "", 403},
      {"another host name (DNS rebinding)", {"GET", "/tape", "attacker.example:8019", "", "", ""},
       "", 403},
      {"another port", {"GET", "/state", "127.0.0.1:8020", "", "", ""}, "", 403},
      {"no Host", {"GET", "/state", "", "", "", ""}, "", 403},
      {"another origin",
       {"POST", "/calls", own, "http://127.0.0.1:9000", "application/json", ""}, "", 403},
      {"an opaque origin", {"GET", "/tape", own, "null", "", ""}, "", 403},
      {"a preflight", {"OPTIONS", "/calls", own, "", "", ""}, "", 403},
      {"the token", {"GET", "/state", own, "", "", "Bearer s3cret"}, "s3cret", 0},
      {"the page needs no token", {"GET", "/", own, "", "", ""}, "s3cret", 0},
      {"no token", {"GET", "/state", own, "", "", ""}, "s3cret", 401},
      {"a wrong token", {"GET", "/tape", own, "", "", "Bearer s3cre"}, "s3cret", 401},
      {"a longer token", {"GET", "/tape", own, "", "", "Bearer s3crets"}, "s3cret", 401},
      {"another scheme", {"GET", "/tape", own, "", "", "Basic s3cret"}, "s3cret", 401},
  };
  for (const Case& c : cases) {
    const std::optional<Refusal> refusal = CheckRequest(c.request, 8019, c.token);
    EXPECT_EQ(refusal ? refusal->status : 0, c.status) << c.what;
  }
  EXPECT_EQ(TokenFromFile("  abc\r\n"), "abc");
  EXPECT_EQ(TokenFromFile("\n \n"), "");
}

class ServeGuardTest : public ServeTest {
 protected:
  // Nothing ran: the printer has no document and no fault set.
  void ExpectNothingRan() {
    const Json state = State();
    EXPECT_EQ(state["driver_started"], false);
    EXPECT_EQ(state["counters"]["coo"], "000000");
    EXPECT_EQ(state["faults"]["paper"], "normal");
    EXPECT_EQ(Tape(), "");
  }
  static void ExpectJsonRefusal(const httplib::Result& res, int status, const char* what) {
    ASSERT_TRUE(res) << what;
    EXPECT_EQ(res->status, status) << what << ": " << res->body;
    const Json body = Json::parse(res->body, nullptr, false);
    EXPECT_TRUE(body.is_object() && body.contains("error")) << what << ": " << res->body;
    EXPECT_FALSE(res->has_header("Access-Control-Allow-Origin")) << what;
  }
};

TEST_F(ServeGuardTest, ForeignRequestsAreRefusedAndRunNothing) {
  const std::string call = R"({"call": "StartImpFiscal", "args": [{"params": {}}]})";
  const std::string fault = R"({"command": "paper end"})";
  ExpectJsonRefusal(client_->Post("/calls", call, "text/plain"), 403, "a plain-text call");
  ExpectJsonRefusal(client_->Post("/calls", call, "application/x-www-form-urlencoded"), 403,
                    "a form post");
  ExpectJsonRefusal(client_->Post("/faults", "paper end", "text/plain"), 403, "a text fault");
  ExpectJsonRefusal(client_->Post("/calls", {{"Host", "attacker.example:" +
                                                          std::to_string(serve_->port())}},
                                  call, "application/json"),
                    403, "another host");
  ExpectJsonRefusal(client_->Get("/tape", {{"Host", "attacker.example"}}), 403,
                    "the tape read through another host name");
  ExpectJsonRefusal(client_->Post("/faults", {{"Origin", "http://127.0.0.1:1"}}, fault,
                                  "application/json"),
                    403, "another origin");
  ExpectJsonRefusal(client_->Options("/calls", {{"Origin", "http://evil.example"},
                                                {"Access-Control-Request-Method", "POST"}}),
                    403, "a preflight");
  ExpectNothingRan();

  // The same requests from the till's own side go through.
  auto res = client_->Post("/faults", {{"Origin", serve_->url()}}, fault, "application/json");
  ASSERT_TRUE(res && res->status == 200) << (res ? res->body : "");
  EXPECT_EQ(State()["faults"]["paper"], "end");
}

TEST_F(ServeGuardTest, ASecondServiceOnTheSamePortFailsToStart) {
  const std::string out = zel::platform::JoinPath(home_, "second.out");
  const std::string command =
      Quoted(zel::platform::JoinPath(serve_->bin(), "ecf")) + " serve --home " +
      Quoted(zel::platform::JoinPath(home_, "second")) + " --port " +
      std::to_string(serve_->port()) + " > " + Quoted(out) + " 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_NE(status, 0);
  std::string said;
  zel::platform::Native().ReadWholeFile(out, &said);
  EXPECT_NE(said.find("127.0.0.1:" + std::to_string(serve_->port())), std::string::npos) << said;
  EXPECT_EQ(said.find("listening"), std::string::npos) << said;
  // The first service still answers alone.
  EXPECT_EQ(State()["counters"]["coo"], "000000");
}

TEST(ServeTokenTest, EveryRequestButThePageNeedsTheToken) {
  if (zel::platform::NativeIsWindows()) GTEST_SKIP() << "starts processes through a POSIX shell";
  auto& native = zel::platform::Native();
  const std::string home = native.MakeTempDirectory("ecf-serve-token-");
  const std::string token_file = zel::platform::JoinPath(home, "token");
  ASSERT_TRUE(native.WriteWholeFile(token_file, "k9-till-0001\n"));
  {
    ServeProcess serve(home, "--token-file " + Quoted(token_file));
    if (!serve.available()) GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
    ASSERT_TRUE(serve.ok()) << serve.output();
    auto client = serve.Client();
    const std::string fault = R"({"command": "paper end"})";

    auto res = client->Get("/");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    for (const auto& [what, headers] :
         {std::pair<const char*, httplib::Headers>{"no token", {}},
          {"a wrong token", {{"Authorization", "Bearer k9-till-0002"}}}}) {
      res = client->Post("/faults", headers, fault, "application/json");
      ASSERT_TRUE(res) << what;
      EXPECT_EQ(res->status, 401) << what;
      EXPECT_EQ(res->get_header_value("WWW-Authenticate"), "Bearer") << what;
      res = client->Get("/state", headers);
      ASSERT_TRUE(res) << what;
      EXPECT_EQ(res->status, 401) << what;
    }
    const httplib::Headers with_token = {{"Authorization", "Bearer k9-till-0001"}};
    res = client->Get("/state", with_token);
    ASSERT_TRUE(res && res->status == 200);
    EXPECT_EQ(Json::parse(res->body)["faults"]["paper"], "normal");  // nothing ran
    res = client->Post("/faults", with_token, fault, "application/json");
    ASSERT_TRUE(res && res->status == 200) << (res ? res->body : "");
  }
  native.RemoveTree(home);
}

}  // namespace
}  // namespace ecf::test
