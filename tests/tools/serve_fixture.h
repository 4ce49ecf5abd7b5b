// `ecf serve` as a separate process on a free loopback port, with its own
// host folder and a fixed clock, for the service and page tests. Needs
// ZEL_BUILD_BIN (set by CTest); the tests skip without it.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/json_codec.h"
#include "platform/platform.h"

namespace ecf::test {

inline constexpr const char* kServeClock = "2026-12-10T10:00:00";

inline std::string Quoted(const std::string& path) {
  return "'" + zel::platform::ToSystemPath(path) + "'";
}

// The demo scenario (tools/scenarios/demo.json).
inline Json DemoScenario() {
  std::string text;
  EXPECT_TRUE(zel::platform::Native().ReadWholeFile(ECF_SCENARIOS_DIR "/demo.json", &text));
  return Json::parse(text);
}

class ServeProcess {
 public:
  // Starts `ecf serve` on `home` (with `extra` arguments after the usual
  // ones) and waits until it listens. Check ok().
  explicit ServeProcess(const std::string& home, const std::string& extra = "")
      : home_(home), extra_(extra) {
    const char* bin = std::getenv("ZEL_BUILD_BIN");
    if (bin == nullptr || *bin == '\0') return;
    bin_ = bin;
    Start();
  }
  ~ServeProcess() { Stop(); }

  bool available() const { return !bin_.empty(); }
  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  const std::string& bin() const { return bin_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string output() const {
    std::string text;
    zel::platform::Native().ReadWholeFile(OutPath(), &text);
    return text;
  }
  std::unique_ptr<httplib::Client> Client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client->set_read_timeout(60, 0);
    return client;
  }

  void Start() {
    auto& native = zel::platform::Native();
    native.RemoveFile(OutPath());
    const std::string command = Quoted(zel::platform::JoinPath(bin_, "ecf")) + " serve --home " +
                                Quoted(home_) + " --port 0 --clock " + kServeClock + " " +
                                extra_ + " > " +
                                Quoted(OutPath()) + " 2>&1 & echo $! > " + Quoted(PidPath());
    if (std::system(command.c_str()) != 0) return;
    native.ReadWholeFile(PidPath(), &pid_);
    while (!pid_.empty() && (pid_.back() == '\n' || pid_.back() == '\r')) pid_.pop_back();
    // Polls the program's first line, "listening on http://127.0.0.1:PORT/".
    const std::string marker = "listening on http://127.0.0.1:";
    for (int attempt = 0; attempt < 1500 && port_ == 0; ++attempt) {
      const std::string out = output();
      const size_t at = out.find(marker);
      if (at != std::string::npos && out.find('/', at + marker.size()) != std::string::npos) {
        port_ = std::atoi(out.c_str() + at + marker.size());
      } else if (out.find("ecf serve: ") != std::string::npos &&
                 out.find("listening") == std::string::npos) {
        return;  // refused to start; output() says why
      } else {
        native.Delay(20);
      }
    }
  }

  // SIGTERM, then waits for the program's last line.
  void Stop() {
    if (pid_.empty()) return;
    const std::string kill = "kill " + pid_;
    if (std::system(kill.c_str()) == 0) {
      for (int attempt = 0; attempt < 1500; ++attempt) {
        if (output().find("ecf serve: stopped") != std::string::npos) break;
        zel::platform::Native().Delay(20);
      }
    }
    pid_.clear();
    port_ = 0;
  }

 private:
  std::string OutPath() const { return zel::platform::JoinPath(home_, "serve.out"); }
  std::string PidPath() const { return zel::platform::JoinPath(home_, "serve.pid"); }

  std::string home_;
  std::string extra_;
  std::string bin_;
  std::string pid_;
  int port_ = 0;
};

// A fixture with a fresh host folder and the service running on it.
class ServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (zel::platform::NativeIsWindows()) {
      GTEST_SKIP() << "starts and kills processes through a POSIX shell";
    }
    home_ = zel::platform::Native().MakeTempDirectory("ecf-serve-test-");
    serve_ = std::make_unique<ServeProcess>(home_);
    if (!serve_->available()) GTEST_SKIP() << "ZEL_BUILD_BIN not set (run under ctest)";
    ASSERT_TRUE(serve_->ok()) << serve_->output();
    client_ = serve_->Client();
  }
  void TearDown() override {
    client_.reset();
    if (serve_ && serve_->available()) {
      serve_->Stop();
      // What the service said on its way out: nothing from the sanitizers.
      const std::string said = serve_->output();
      EXPECT_EQ(said.find("Sanitizer"), std::string::npos) << said;
      EXPECT_NE(said.find("ecf serve: stopped"), std::string::npos) << said;
    }
    serve_.reset();
    if (!home_.empty()) zel::platform::Native().RemoveTree(home_);
  }

  // POSTs JSON to /calls (with an idempotency key when given).
  httplib::Result PostCalls(const Json& body, const std::string& key = "") {
    httplib::Headers headers;
    if (!key.empty()) headers.emplace("Idempotency-Key", key);
    return client_->Post("/calls", headers, body.dump(), "application/json");
  }
  Json State() {
    auto res = client_->Get("/state");
    EXPECT_TRUE(res && res->status == 200);
    return res ? Json::parse(res->body) : Json();
  }
  std::string Tape() {
    auto res = client_->Get("/tape");
    return res ? res->body : std::string();
  }

  std::string home_;
  std::unique_ptr<ServeProcess> serve_;
  std::unique_ptr<httplib::Client> client_;
};

}  // namespace ecf::test
