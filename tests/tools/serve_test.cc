// `ecf serve` run as a separate process and called over HTTP on a loopback
// port: the same answers as `ecf run`, one printer command at a time for any
// number of clients, idempotency keys, the tape stream, faults, and bad
// requests answered with a JSON error.
#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "host/commands.h"
#include "host/service.h"
#include "tools/serve_fixture.h"

namespace ecf::test {
namespace {

// Steps of the demo scenario: start and loads, then one sale.
Json SetupSteps() {
  const Json steps = DemoScenario()["steps"];
  return Json(std::vector<Json>(steps.begin(), steps.begin() + 5));
}

// The demo's sale (open, two items, close) with the items named `a` and `b`.
Json SaleSteps(const std::string& a, const std::string& b) {
  const Json steps = DemoScenario()["steps"];
  Json sale(std::vector<Json>(steps.begin() + 5, steps.begin() + 9));
  sale[1]["args"][0]["params"]["NMPROD"] = a;
  sale[2]["args"][0]["params"]["NMPROD"] = b;
  return sale;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

void ExpectNoException(const Json& lines) {
  ASSERT_TRUE(lines.is_array()) << lines.dump();
  for (const auto& line : lines) EXPECT_FALSE(line.contains("exception")) << line.dump();
}

TEST(ServeCommandTest, RefusesBadArgumentsBeforeOpeningAnything) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--port", "65536"},
                                               {"--port", "80a"},
                                               {"--port"},
                                               {"--clock", "yesterday"},
                                               {"--printer", "NoEqualsSign"},
                                               {"--bogus"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(ServeCommand(args, out, err), 2) << args[0];
    EXPECT_FALSE(err.str().empty());
    EXPECT_EQ(out.str(), "");
  }
}

using ServiceTest = ServeTest;

TEST_F(ServiceTest, TheDemoThroughCallsAnswersAsEcfRunAndPrintsTheSameTape) {
  Json scenario = DemoScenario();
  const std::string run_home = zel::platform::JoinPath(home_, "run");
  scenario["home"] = run_home;
  scenario["clock"] = kServeClock;
  const std::string scenario_path = zel::platform::JoinPath(home_, "scenario.json");
  const std::string run_out = zel::platform::JoinPath(home_, "run.out");
  ASSERT_TRUE(zel::platform::Native().WriteWholeFile(scenario_path, scenario.dump()));
  const std::string command = Quoted(zel::platform::JoinPath(serve_->bin(), "ecf")) + " run " +
                              Quoted(scenario_path) + " > " + Quoted(run_out);
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string run_text;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(run_out, &run_text));
  // The fiscal-menu files name their host folder in the dialogs: the run's
  // folder stands for the service's.
  for (size_t at; (at = run_text.find(run_home)) != std::string::npos;) {
    run_text.replace(at, run_home.size(), home_);
  }
  std::vector<Json> run_lines;
  for (size_t at = 0, end; (end = run_text.find('\n', at)) != std::string::npos; at = end + 1) {
    run_lines.push_back(Json::parse(run_text.substr(at, end - at)));
  }
  ASSERT_EQ(run_lines.size(), scenario["steps"].size() + 1);  // steps and the paths

  auto res = PostCalls(Json{{"steps", scenario["steps"]}, {"answers", scenario["answers"]}});
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200) << res->body;
  const Json served = Json::parse(res->body);
  ASSERT_EQ(served.size(), scenario["steps"].size());
  for (size_t i = 0; i < served.size(); ++i) EXPECT_EQ(served[i], run_lines[i]) << i;

  std::string run_tape;
  ASSERT_TRUE(zel::platform::Native().ReadWholeFile(zel::platform::JoinPath(run_home, "bobina.txt"),
                                                    &run_tape));
  EXPECT_EQ(Tape(), run_tape);

  // One step alone is answered with its line, not a list.
  res = PostCalls(Json{{"call", "FormataCNPJ"}, {"args", {"11222333000181"}}});
  ASSERT_TRUE(res && res->status == 200);
  const Json line = Json::parse(res->body);
  ASSERT_TRUE(line.is_object()) << line.dump();
  EXPECT_EQ(line["step"], 1);
  EXPECT_EQ(line["call"], "FormataCNPJ");
  EXPECT_TRUE(line["result"].is_string()) << line.dump();
}

TEST_F(ServiceTest, TwoClientsSellingAtOnceGetWholeReceiptsEachItemOnce) {
  auto res = PostCalls(SetupSteps());
  ASSERT_TRUE(res && res->status == 200);
  ExpectNoException(Json::parse(res->body));

  constexpr int kSales = 3;
  std::atomic<int> failures{0};
  auto seller = [&](char who) {
    auto client = serve_->Client();
    for (int n = 1; n <= kSales; ++n) {
      const std::string item = std::string("ITEM ") + who + std::to_string(n);
      auto sold =
          client->Post("/calls", SaleSteps(item + "A", item + "B").dump(), "application/json");
      if (!sold || sold->status != 200) {
        ++failures;
        continue;
      }
      for (const auto& line : Json::parse(sold->body)) {
        if (line.contains("exception") || line["result"] != Json(true)) ++failures;
      }
    }
  };
  std::thread first(seller, 'X'), second(seller, 'Y');
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);

  const std::string tape = Tape();
  for (char who : {'X', 'Y'}) {
    for (int n = 1; n <= kSales; ++n) {
      const std::string item = std::string("ITEM ") + who + std::to_string(n);
      EXPECT_EQ(Count(tape, item + "A"), 1u) << item;
      EXPECT_EQ(Count(tape, item + "B"), 1u) << item;
      // The sale's two items follow each other: no other sale got between.
      const size_t a = tape.find(item + "A"), b = tape.find(item + "B");
      ASSERT_LT(a, b);
      EXPECT_EQ(Count(tape.substr(a, b - a), "ITEM "), 1u) << tape.substr(a, b - a);
    }
  }
  EXPECT_EQ(State()["counters"]["ccf"], "000006");
}

TEST_F(ServiceTest, AnIdempotencyKeyAnswersTheFirstCallAgainWithoutPrinting) {
  auto res = PostCalls(SetupSteps(), "setup-1");
  ASSERT_TRUE(res && res->status == 200);
  const Json sale = SaleSteps("ARROZ", "FEIJAO");
  auto first = PostCalls(sale, "sale-1");
  ASSERT_TRUE(first && first->status == 200) << (first ? first->body : "");
  ExpectNoException(Json::parse(first->body));
  EXPECT_FALSE(first->has_header("Idempotent-Replayed"));
  const std::string tape = Tape();
  const Json counters = State()["counters"];
  EXPECT_EQ(counters["ccf"], "000001");

  // The till retries: the same answer, nothing printed.
  auto again = PostCalls(sale, "sale-1");
  ASSERT_TRUE(again && again->status == 200);
  EXPECT_EQ(again->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(again->body, first->body);
  EXPECT_EQ(Tape(), tape);
  EXPECT_EQ(State()["counters"], counters);

  // Another request under the used key is refused, and nothing runs.
  auto other = PostCalls(SaleSteps("ARROZ", "MACARRAO"), "sale-1");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 409);
  EXPECT_TRUE(Json::parse(other->body).contains("error"));
  EXPECT_EQ(Tape(), tape);

  // The keys outlive the service: after a restart the retry still prints nothing.
  serve_->Stop();
  serve_->Start();
  ASSERT_TRUE(serve_->ok()) << serve_->output();
  client_ = serve_->Client();
  auto after_restart = PostCalls(sale, "sale-1");
  ASSERT_TRUE(after_restart && after_restart->status == 200);
  EXPECT_EQ(after_restart->body, first->body);
  EXPECT_EQ(Tape(), tape);

  // A new key is a new sale.
  res = PostCalls(SetupSteps(), "setup-2");
  ASSERT_TRUE(res && res->status == 200);
  auto second = PostCalls(sale, "sale-2");
  ASSERT_TRUE(second && second->status == 200);
  EXPECT_EQ(State()["counters"]["ccf"], "000002");
}

TEST_F(ServiceTest, BadRequestsGetAJsonErrorWithTheFittingStatusAndRunNothing) {
  struct Case {
    const char* what;
    std::string body;
    int status;
    const char* error;  // part of the message
  };
  const Case cases[] = {
      {"not JSON", "{\"call\": ", 400, "not valid JSON"},
      {"neither a step nor a list", "42", 400, "expected a step"},
      {"nested too deeply", std::string(100000, '['), 400, "nested too deeply"},
      {"a step without call", "[{\"args\": []}]", 400, "step 1"},
      {"an argument of the wrong kind", R"({"call": "Nr_Cupom", "args": [1, "001"]})", 400,
       "argument 1"},
      {"answers that are not booleans",
       R"({"steps": [{"call": "FormataCNPJ", "args": ["1"]}], "answers": ["yes"]})", 400,
       "answers"},
      {"an unknown operation", R"({"call": "VendaItemX", "args": []})", 404,
       "unknown operation \"VendaItemX\""},
      {"an unknown operation after a good step",
       R"([{"call": "StartImpFiscal", "args": [{"params": {"CDFILIAL": "0001"}}]},
           {"call": "Nope"}])",
       404, "step 2"},
      {"too large", std::string(Service::kMaxRequestBytes + 1, ' '), 413, "too large"},
  };
  for (const auto& c : cases) {
    // With a parameter after the type, as browsers and some clients send it.
    for (const char* type : {"application/json", "application/json; charset=utf-8"}) {
      auto res = client_->Post("/calls", c.body, type);
      ASSERT_TRUE(res) << c.what;
      EXPECT_EQ(res->status, c.status) << c.what << " " << res->body;
      const Json error = Json::parse(res->body, nullptr, false);
      ASSERT_TRUE(error.is_object() && error.contains("error")) << c.what << " " << res->body;
      EXPECT_NE(error["error"].get<std::string>().find(c.error), std::string::npos)
          << c.what << " " << res->body;
    }
  }
  auto res = client_->Get("/no/such/thing");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 404);
  EXPECT_TRUE(Json::parse(res->body).contains("error"));
  res = client_->Get("/log?lines=lots");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 400);

  // Nothing reached the driver or the printer, and the service still answers.
  const Json state = State();
  EXPECT_EQ(state["driver_started"], false);
  EXPECT_EQ(state["counters"]["coo"], "000000");
  EXPECT_EQ(Tape(), "");
}

TEST_F(ServiceTest, FaultsReachTheSimulatedPrinterAndShowInState) {
  auto res = client_->Post("/faults", R"({"command": "paper end"})", "application/json");
  ASSERT_TRUE(res && res->status == 200) << (res ? res->body : "");
  EXPECT_EQ(State()["faults"]["paper"], "end");

  res = client_->Post("/faults", R"({"commands": ["nak next", "clock-skew +960"]})",
                      "application/json");
  ASSERT_TRUE(res && res->status == 200) << (res ? res->body : "");
  Json faults = State()["faults"];
  EXPECT_EQ(faults["clock_skew"], 960);
  ASSERT_EQ(faults["pending"].size(), 1u);
  EXPECT_EQ(faults["pending"][0], "nak * nth 1");

  // The driver meets the fault: the NAK refuses its next command.
  res = PostCalls(SetupSteps());
  ASSERT_TRUE(res && res->status == 200);
  EXPECT_TRUE(State()["faults"]["pending"].empty());

  res = client_->Post("/faults", R"({"commands": ["clear", "paper sideways"]})",
                      "application/json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 400);
  const Json refused = Json::parse(res->body);
  EXPECT_NE(refused["error"].get<std::string>().find("paper sideways"), std::string::npos);
  EXPECT_EQ(refused["results"][0]["code"], 1);  // the clear before it was applied
  faults = State()["faults"];
  EXPECT_EQ(faults["paper"], "normal");
  EXPECT_EQ(faults["clock_skew"], 0);

  res = client_->Post("/faults", R"({"commands": []})", "application/json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 400);
}

TEST_F(ServiceTest, ThePageComesFromTheProgramAndFetchesNothingFromElsewhere) {
  auto res = client_->Get("/");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
  const std::string& page = res->body;
  EXPECT_NE(page.find("id=\"tape\""), std::string::npos);
  EXPECT_NE(page.find("/tape/stream"), std::string::npos);
  for (const char* outside : {"http://", "https://", "src=", "@import", "url("}) {
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  }
}

TEST_F(ServiceTest, OperatorQuestionsAreAnsweredFromTheRequestElseNoAndReported) {
  auto res = PostCalls(SetupSteps());
  ASSERT_TRUE(res && res->status == 200);
  // The printer refuses the opening of a card sale once: the driver asks the
  // operator whether to print again.
  Json open = {{"call", "AbreCupom"},
               {"args",
                {{{"params",
                   {{"ESQUEMACOR", "002"},
                    {"INTTEFERRO", 0},
                    {"INCLUICPF", ""},
                    {"INCLUINOME", ""},
                    {"INCLUIENDERECO", ""},
                    {"IDUTILTEF", "S"},
                    {"UTILTEF", true}}}}}}};
  struct Case {
    Json answers;  // null: none given
    bool answer;
  };
  for (const Case& c : {Case{nullptr, false}, Case{Json::array({true}), true}}) {
    res = client_->Post("/faults", R"({"command": "fail IBM_FI_AbreCupomMFD -1 nth 1"})",
                        "application/json");
    ASSERT_TRUE(res && res->status == 200);
    Json request = open;
    if (!c.answers.is_null()) request["answers"] = c.answers;
    res = PostCalls(request);
    ASSERT_TRUE(res && res->status == 200);
    const Json line = Json::parse(res->body);
    EXPECT_EQ(line["result"], c.answer) << line.dump();
    ASSERT_FALSE(line["dialogs"].empty()) << line.dump();
    const Json& question = line["dialogs"].back();
    EXPECT_EQ(question["question"], true) << line.dump();
    EXPECT_EQ(question["answer"], c.answer) << line.dump();
    EXPECT_EQ(State()["open"], c.answer ? "receipt" : "none");
  }
}

TEST_F(ServiceTest, AClientThatDropsMidSaleLeavesTheSaleComplete) {
  auto res = PostCalls(SetupSteps());
  ASSERT_TRUE(res && res->status == 200);
  {
    auto impatient = serve_->Client();
    impatient->set_read_timeout(0, 1000);  // gives up long before the receipt is closed
    auto dropped =
        impatient->Post("/calls", SaleSteps("ARROZ", "FEIJAO").dump(), "application/json");
    EXPECT_FALSE(dropped);
  }
  // The request reached the service whole, so the sale runs to its end; /state
  // waits for a call in progress, but may come in before the sale started.
  Json state = State();
  for (int attempt = 0; attempt < 500 && state["counters"]["ccf"] == "000000"; ++attempt) {
    zel::platform::Native().Delay(20);
    state = State();
  }
  EXPECT_EQ(state["counters"]["ccf"], "000001");
  EXPECT_EQ(state["open"], "none");
  const std::string tape = Tape();
  EXPECT_EQ(Count(tape, "FEIJAO"), 1u);
  EXPECT_NE(tape.find("TROCO R$"), std::string::npos);
}

TEST_F(ServiceTest, TheTapeStreamSendsEachPrintedLineOnceInOrder) {
  auto res = PostCalls(SetupSteps());
  ASSERT_TRUE(res && res->status == 200);

  // Events "id: OFFSET" / "data: LINE"; collected until `until` lines came.
  struct Collected {
    std::vector<std::string> lines;
    std::vector<size_t> ids;
  };
  auto parse = [](const std::string& events, Collected* out) {
    size_t at = 0;
    for (size_t end; (end = events.find("\n\n", at)) != std::string::npos; at = end + 2) {
      const std::string event = events.substr(at, end - at);
      if (event.rfind("id: ", 0) != 0) continue;  // a keep-alive comment
      const size_t data = event.find("\ndata: ");
      out->ids.push_back(std::stoull(event.substr(4, data - 4)));
      out->lines.push_back(event.substr(data + 7));
    }
    return at;
  };
  auto stream = [&](const httplib::Headers& headers, size_t until, Collected* out) {
    auto client = serve_->Client();
    std::string pending;
    client->Get("/tape/stream?from=0", headers, [&](const char* data, size_t length) {
      pending.append(data, length);
      pending.erase(0, parse(pending, out));
      return out->lines.size() < until;
    });
  };

  // Watches from before the sale; stops once it has as many lines as the tape.
  Collected live;
  std::atomic<size_t> expected{SIZE_MAX};
  std::thread watcher([&] {
    auto client = serve_->Client();
    std::string pending;
    client->Get("/tape/stream?from=0", [&](const char* data, size_t length) {
      pending.append(data, length);
      pending.erase(0, parse(pending, &live));
      return live.lines.size() < expected;
    });
  });
  res = PostCalls(SaleSteps("ARROZ", "FEIJAO"));
  ASSERT_TRUE(res && res->status == 200);
  const std::string tape = Tape();
  const size_t tape_lines = Count(tape, "\n");
  expected = tape_lines;
  watcher.join();
  ASSERT_GT(tape_lines, 30u);

  std::string joined;
  for (const auto& line : live.lines) joined += line + "\n";
  EXPECT_EQ(joined, tape);
  ASSERT_EQ(live.ids.size(), tape_lines);
  EXPECT_EQ(live.ids.back(), tape.size());

  // A browser that reconnects names the last event it saw and gets the rest.
  Collected resumed;
  stream({{"Last-Event-ID", std::to_string(live.ids[9])}}, 1, &resumed);
  ASSERT_FALSE(resumed.lines.empty());
  EXPECT_EQ(resumed.lines[0], live.lines[10]);
  EXPECT_EQ(resumed.ids[0], live.ids[10]);
}

}  // namespace
}  // namespace ecf::test
