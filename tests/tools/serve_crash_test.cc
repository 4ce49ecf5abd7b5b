// `ecf serve` and crashes: a sale sent with an idempotency key while the
// service is killed at each of the file writes the sale makes (the printer's
// memory, journal and tape, the driver's debug log, the service's key
// journal), the service started again and the same request sent again under
// the same key: the sale is on the tape once, and the retry's answer says
// what happened. And slow clients beside a normal one.
#if !defined(_WIN32)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/commands.h"
#include "host/service.h"
#include "host/session.h"
#include "tools/serve_fixture.h"

namespace ecf::test {
namespace {

constexpr const char* kChildHome = "ECF_SERVE_CHILD_HOME";
constexpr const char* kChildKillAt = "ECF_SERVE_CHILD_KILL_AT";
constexpr const char* kItem = "SABAO EM PO 1KG";

// Every file write of the process goes through one of these (the driver's
// and the printer's through the session, the service's own through its file
// platform). Once the file "armed" is in the host folder, the writes are
// counted, and the process dies just before the kill_at-th.
class KillingPlatform : public zel::platform::PlatformWrapper {
 public:
  KillingPlatform(std::string armed, int kill_at)
      : PlatformWrapper(&zel::platform::Native()), armed_(std::move(armed)), kill_at_(kill_at) {}

  bool WriteWholeFile(const std::string& p, const std::string& d) override {
    Hit();
    return PlatformWrapper::WriteWholeFile(p, d);
  }
  bool WriteFileAtomically(const std::string& p, const std::string& d) override {
    Hit();
    return PlatformWrapper::WriteFileAtomically(p, d);
  }
  bool AppendToFile(const std::string& p, const std::string& d) override {
    Hit();
    return PlatformWrapper::AppendToFile(p, d);
  }
  bool AppendDurably(const std::string& p, const std::string& d) override {
    Hit();
    return PlatformWrapper::AppendDurably(p, d);
  }
  bool CopyFileTo(const std::string& s, const std::string& t, bool f) override {
    Hit();
    return PlatformWrapper::CopyFileTo(s, t, f);
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    Hit();
    return PlatformWrapper::RenameFile(from, to);
  }

 private:
  void Hit() {
    static std::atomic<bool> armed{false};
    static std::atomic<int> writes{0};
    if (!armed) armed = zel::platform::Native().FileExists(armed_);
    if (armed && ++writes == kill_at_) zel::platform::KillCurrentProcess();
  }

  std::string armed_;
  int kill_at_;
};

// The service as the process to kill; started by the sweep below.
TEST(ServeChild, ServesUntilKilled) {
  const char* home = std::getenv(kChildHome);
  const char* kill_at = std::getenv(kChildKillAt);
  if (home == nullptr || kill_at == nullptr) {
    GTEST_SKIP() << "started by ServeCrashTest as the process to kill";
  }
  const std::string armed = zel::platform::JoinPath(home, "armed");
  const int at = std::atoi(kill_at);
  static KillingPlatform base(armed, at);
  HostSession::BasePlatform() = &base;
  Service::FilePlatform() = [armed, at] { return std::make_unique<KillingPlatform>(armed, at); };
  ServeCommand({"--home", home, "--port", "0", "--clock", kServeClock}, std::cout, std::cerr);
}

// The demo's start and loads, unkeyed, as a till sends them after the
// service started; then the sale under a key: opening, one item, closing.
Json SetupSteps() {
  const Json steps = DemoScenario()["steps"];
  return Json(std::vector<Json>(steps.begin(), steps.begin() + 5));
}
Json Sale() {
  const Json steps = DemoScenario()["steps"];
  Json item = steps[6];
  auto& p = item["args"][0]["params"];
  p["NMPROD"] = kItem;
  p["QTDE"] = 1.0;
  p["VALOR"] = 30.0;
  p["DESCONT"] = 0.0;
  return Json::array({steps[5], item, steps[8]});
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class ServeCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (zel::platform::NativeIsWindows()) GTEST_SKIP() << "kills processes through a POSIX shell";
    const char* bin = std::getenv("ZEL_BUILD_BIN");
    if (bin == nullptr || *bin == '\0') GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
    program_ = zel::platform::JoinPath(bin, "tools_tests");
  }

  // Starts the child on `home` (killed at the `kill_at`-th armed write; 0:
  // never) and returns its port, 0 when it died before listening.
  int Start(const std::string& home, int kill_at) {
    auto& native = zel::platform::Native();
    const std::string out = zel::platform::JoinPath(home, "child.out");
    native.RemoveFile(out);
    const std::string command = std::string(kChildHome) + "=" + Quoted(home) + " " + kChildKillAt +
                                "=" + std::to_string(kill_at) + " " + Quoted(program_) +
                                " --gtest_filter=ServeChild.ServesUntilKilled > " + Quoted(out) +
                                " 2>&1 & echo $! > " + Quoted(home + "/child.pid");
    if (std::system(command.c_str()) != 0) return 0;
    native.ReadWholeFile(home + "/child.pid", &pid_);
    while (!pid_.empty() && (pid_.back() == '\n' || pid_.back() == '\r')) pid_.pop_back();
    const std::string marker = "listening on http://127.0.0.1:";
    for (int i = 0; i < 1500; ++i) {
      std::string text;
      native.ReadWholeFile(out, &text);
      const size_t at = text.find(marker);
      if (at != std::string::npos && text.find('/', at + marker.size()) != std::string::npos) {
        return std::atoi(text.c_str() + at + marker.size());
      }
      if (text.find("[  ") != std::string::npos && !Alive()) return 0;
      native.Delay(20);
    }
    return 0;
  }
  bool Alive() const { return std::system(("kill -0 " + pid_ + " 2>/dev/null").c_str()) == 0; }
  // Stops the child (whether it is still there or not) and waits for it.
  void Stop() {
    std::system(("kill " + pid_ + " 2>/dev/null").c_str());
    for (int i = 0; i < 500 && Alive(); ++i) zel::platform::Native().Delay(10);
  }

  static httplib::Result Post(int port, const Json& body, const std::string& key = "") {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60, 0);
    httplib::Headers headers;
    if (!key.empty()) headers.emplace("Idempotency-Key", key);
    return client.Post("/calls", headers, body.dump(), "application/json");
  }
  static std::string TapeOf(int port) {
    httplib::Client client("127.0.0.1", port);
    auto res = client.Get("/tape");
    return res ? res->body : std::string();
  }

  std::string program_;
  std::string pid_;
};

// Kill points, retries and violations, for docs/benchmarks.md.
TEST_F(ServeCrashTest, ASaleKilledAtAnyWriteIsOnTheTapeOnceAfterTheRetry) {
  auto& native = zel::platform::Native();
  int kill_points = 0, recovered = 0, ran_on_retry = 0, violations = 0;
  for (int kill_at = 1; kill_at < 400; ++kill_at) {
    SCOPED_TRACE("killed at write " + std::to_string(kill_at));
    const std::string home = native.MakeTempDirectory("ecf-serve-crash-");
    int port = Start(home, kill_at);
    ASSERT_GT(port, 0) << "the service did not start";
    auto res = Post(port, SetupSteps());
    ASSERT_TRUE(res && res->status == 200);
    ASSERT_TRUE(native.WriteWholeFile(zel::platform::JoinPath(home, "armed"), ""));
    res = Post(port, Sale(), "venda-0001");
    if (res) {
      // The sale ran to its end before the kill point: the sweep is done.
      ASSERT_EQ(res->status, 200) << res->body;
      EXPECT_EQ(Count(TapeOf(port), kItem), 1u);
      Stop();
      native.RemoveTree(home);
      ASSERT_GT(kill_points, 10) << "the sale made too few writes to sweep";
      break;
    }
    ++kill_points;
    Stop();
    native.RemoveFile(zel::platform::JoinPath(home, "armed"));
    // Started again, the till starts the driver as after any restart and
    // sends the same sale under the same key.
    port = Start(home, 0);
    ASSERT_GT(port, 0) << "the service did not start again after the kill";
    res = Post(port, SetupSteps());
    ASSERT_TRUE(res && res->status == 200);
    res = Post(port, Sale(), "venda-0001");
    ASSERT_TRUE(res) << "no answer to the retry";
    const Json answer = Json::parse(res->body, nullptr, false);
    const size_t on_tape = Count(TapeOf(port), kItem);
    if (answer.is_object() && answer.value("recovered", false)) {
      // The printer had moved: nothing was sent again.
      ++recovered;
      EXPECT_EQ(res->status, 200) << res->body;
      EXPECT_EQ(answer["registered"], true) << res->body;
      EXPECT_NE(answer["found"]["before"], answer["found"]["now"]) << res->body;
      if (on_tape > 1) ++violations;
      EXPECT_LE(on_tape, 1u);
    } else {
      // Nothing had reached the printer: the retry sold, once.
      ++ran_on_retry;
      EXPECT_EQ(res->status, 200) << res->body;
      ASSERT_TRUE(answer.is_array()) << res->body;
      EXPECT_EQ(answer.back()["result"], true) << res->body;
      if (on_tape != 1) ++violations;
      EXPECT_EQ(on_tape, 1u);
    }
    // A second retry answers the same and sells nothing more.
    auto again = Post(port, Sale(), "venda-0001");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->get_header_value("Idempotent-Replayed"), "true");
    EXPECT_EQ(Count(TapeOf(port), kItem), on_tape);
    Stop();
    native.RemoveTree(home);
  }
  std::cout << "serve kill sweep: " << kill_points << " kill points, " << recovered
            << " retries answered from the printer, " << ran_on_retry
            << " retries that sold (nothing had reached the printer), " << violations
            << " violations\n";
  EXPECT_EQ(violations, 0);
}

// Sixty clients that send their request's head a byte at a time, slowly,
// beside one that asks normally: the normal one is answered, and the slow
// ones are dropped once they stop sending.
TEST(ServeSlowClientsTest, SlowClientsDoNotStallTheOthers) {
#if defined(_WIN32)
  GTEST_SKIP() << "starts processes through a POSIX shell and speaks POSIX sockets";
#else
  auto& native = zel::platform::Native();
  const std::string home = native.MakeTempDirectory("ecf-serve-slow-");
  {
    ServeProcess serve(home);
    if (!serve.available()) GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
    ASSERT_TRUE(serve.ok()) << serve.output();
    std::vector<int> slow;
    const std::string head = "GET /state HTTP/1.1\r\nHost: 127.0.0.1:" +
                             std::to_string(serve.port()) + "\r\nX-Slow: ";
    for (int i = 0; i < 60; ++i) {
      const int fd = socket(AF_INET, SOCK_STREAM, 0);
      ASSERT_GE(fd, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<uint16_t>(serve.port()));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      ASSERT_EQ(send(fd, head.data(), head.size(), MSG_NOSIGNAL),
                static_cast<ssize_t>(head.size()));
      slow.push_back(fd);
    }
    // The slow clients go on sending a byte a second, each within the
    // service's read timeout, for as long as the normal requests take (up to
    // 15 s): the normal client must not wait for them.
    std::atomic<bool> done{false};
    std::thread trickle([&] {
      for (int second = 0; second < 15 && !done; ++second) {
        for (int fd : slow) send(fd, "x", 1, MSG_NOSIGNAL);
        for (int i = 0; i < 10 && !done; ++i) zel::platform::Native().Delay(100);
      }
    });
    auto client = serve.Client();
    client->set_read_timeout(10, 0);
    for (int i = 0; i < 3; ++i) {
      auto res = client->Get("/state");
      EXPECT_TRUE(res) << "a normal request was not answered beside slow clients";
      if (res) {
        EXPECT_EQ(res->status, 200);
      }
    }
    done = true;
    trickle.join();
    // Silent now: the service gives up on them (its read timeout), answers
    // at most an error, and closes the connection.
    size_t dropped = 0;
    for (int fd : slow) {
      timeval wait{10, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
      char buffer[512];
      ssize_t got;
      while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0) {
      }
      if (got == 0) ++dropped;  // closed by the service (a timeout gives -1)
      close(fd);
    }
    EXPECT_EQ(dropped, slow.size());
  }
  native.RemoveTree(home);
#endif
}

}  // namespace
}  // namespace ecf::test
