// The page of `ecf serve` in headless Chromium (driven by
// serve_page_check.js through Node): it loads, shows the tape lines of a sale
// made through the API while it is open, and its "Paper out" button reaches
// the printer. The screenshot is kept in the build folder
// (artifacts/serve-page.png). Runs in the plain build only; skips, saying
// why, where Chromium or Node is missing or cannot start on this machine.
#include <string>

#include "tools/serve_fixture.h"

namespace ecf::test {
namespace {

// The first of `names` found on the PATH, or "".
std::string FindProgram(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const std::string command = std::string("command -v ") + name + " > /dev/null 2>&1";
    if (std::system(command.c_str()) == 0) return name;
  }
  return "";
}

// Whether `command` runs and exits 0 within a minute, its output discarded.
bool Runs(const std::string& command) {
  return std::system(("timeout 60 " + command + " > /dev/null 2>&1").c_str()) == 0;
}

class PageTest : public ServeTest {
 protected:
  void SetUp() override {
#ifdef ECF_SKIP_BROWSER_TESTS
    GTEST_SKIP() << "the page test runs in the plain build only";
#endif
    chromium_ = FindProgram({"chromium", "chromium-browser"});
    if (chromium_.empty()) GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh)";
    node_ = FindProgram({"node", "nodejs"});
    if (node_.empty()) GTEST_SKIP() << "node is not installed (scripts/install-deps.sh)";
    if (!Runs(node_ + " -e 0")) GTEST_SKIP() << node_ << " is installed but does not run here";
    ServeTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // A browser that cannot start at all here (no usable sandbox, missing
    // libraries) is a machine's limit, not the page's fault.
    if (!Runs(chromium_ + " --headless --no-sandbox --disable-gpu --no-first-run " +
              "--disable-background-networking --user-data-dir=" +
              Quoted(zel::platform::JoinPath(home_, "chromium-probe")) + " --dump-dom about:blank")) {
      GTEST_SKIP() << chromium_ << " is installed but cannot start a headless page here";
    }
  }
  std::string chromium_, node_;
};

TEST_F(PageTest, ShowsTheTapeOfASaleAsItPrintsAndAFaultButtonReachesThePrinter) {
  // The driver started and loaded; the page then watches the sale.
  const Json steps = DemoScenario()["steps"];
  auto res = PostCalls(Json(std::vector<Json>(steps.begin(), steps.begin() + 5)));
  ASSERT_TRUE(res && res->status == 200);
  const Json sale(std::vector<Json>(steps.begin() + 5, steps.begin() + 9));
  auto& native = zel::platform::Native();
  const std::string sale_path = zel::platform::JoinPath(home_, "sale.json");
  ASSERT_TRUE(native.WriteWholeFile(sale_path, sale.dump()));

  const std::string artifacts = ECF_ARTIFACTS_DIR;
  ASSERT_TRUE(native.MakeDirectory(artifacts));
  const std::string screenshot = zel::platform::JoinPath(artifacts, "serve-page.png");
  native.RemoveFile(screenshot);
  const std::string out = zel::platform::JoinPath(home_, "page.json");
  const std::string err = zel::platform::JoinPath(home_, "page.err");
  const std::string command = node_ + " " + Quoted(ECF_TESTS_DIR "/serve_page_check.js") + " " +
                              chromium_ + " " + serve_->url() + "/ " + Quoted(sale_path) + " " +
                              Quoted(screenshot) + " " +
                              Quoted(zel::platform::JoinPath(home_, "chromium-profile")) + " > " +
                              Quoted(out) + " 2> " + Quoted(err);
  const int status = std::system(command.c_str());
  std::string text, complaints;
  native.ReadWholeFile(out, &text);
  native.ReadWholeFile(err, &complaints);
  ASSERT_EQ(status, 0) << complaints;

  const Json page = Json::parse(text);
  // Every line of the tape, in order, as the printer printed it.
  const std::string tape = Tape();
  Json tape_lines = Json::array();
  for (size_t at = 0, end; (end = tape.find('\n', at)) != std::string::npos; at = end + 1) {
    tape_lines.push_back(tape.substr(at, end - at));
  }
  EXPECT_EQ(page["tape"], tape_lines);
  EXPECT_NE(tape.find("FEIJÃO PRETO 1KG"), std::string::npos);
  EXPECT_NE(page["log"].get<std::string>().find("IBM_FI_"), std::string::npos);
  EXPECT_EQ(page["paper_on_page"], "end");
  // The page of another origin reached nothing: its JSON post and its read
  // were stopped by the browser (no preflight granted), its plain posts by
  // the service, and the paper fault it tried to clear is still there.
  EXPECT_EQ(page["attack"]["json_call"], "blocked") << page.dump();
  EXPECT_EQ(page["attack"]["read_tape"], "blocked") << page.dump();
  EXPECT_EQ(State()["faults"]["paper"], "end");

  std::string png;
  ASSERT_TRUE(native.ReadWholeFile(screenshot, &png));
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
}

}  // namespace
}  // namespace ecf::test
