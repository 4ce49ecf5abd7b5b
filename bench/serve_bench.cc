// `ecf serve` under load, as a till program meets it: requests over kept
// connections to a running service (a separate process on a loopback port,
// its own host folder, the clock fixed at 10/12/2026 10:00).
//  - BM_ServeStatusQuery: one driver query (Nr_Cupom) per request, with 1 and
//    8 clients at once, each on its own kept connection;
//  - BM_ServeSale20Items: a whole 20-item sale (opening, 20 items, closing
//    paid 10,00 by card and 20,00 in cash) as one request, 1 and 8 clients;
//  - BM_ServeStatusQueryTape: the status query on a service whose paper tape
//    already holds 30 MB (a month of business) against one whose tape is
//    small: the cost of a call must not grow with the tape.
// Wall-clock times; each request's answer is checked.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "host/json_codec.h"
#include "platform/platform.h"

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// One `ecf serve` process, started on first use and stopped at exit.
class Service {
 public:
  explicit Service(size_t tape_bytes) {
    auto& os = zel::platform::Native();
    home_ = os.MakeTempDirectory("ecf-serve-bench-");
    if (tape_bytes > 0) {
      // A tape as a month of receipts leaves it: lines of text.
      std::string tape;
      const std::string line = "ARROZ TIPO 1 5KG            2 UN X 10,00       20,00 T1\n";
      while (tape.size() < tape_bytes) tape += line;
      os.WriteWholeFile(zel::platform::JoinPath(home_, "bobina.txt"), tape);
    }
    const std::string out = zel::platform::JoinPath(home_, "serve.out");
    const std::string command = Quoted(ECF_BINARY) + " serve --home " + Quoted(home_) +
                                " --port 0 --clock 2026-12-10T10:00:00 > " + Quoted(out) +
                                " 2>&1 & echo $! > " + Quoted(home_ + "/serve.pid");
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot start ecf serve");
    const std::string marker = "listening on http://127.0.0.1:";
    for (int i = 0; i < 1500 && port_ == 0; ++i) {
      std::string text;
      os.ReadWholeFile(out, &text);
      const size_t at = text.find(marker);
      if (at != std::string::npos && text.find('/', at + marker.size()) != std::string::npos) {
        port_ = std::atoi(text.c_str() + at + marker.size());
      } else {
        os.Delay(20);
      }
    }
    if (port_ == 0) throw std::runtime_error("ecf serve did not start");
    Post(*Client(), Setup());
  }
  ~Service() {
    std::string pid;
    auto& os = zel::platform::Native();
    os.ReadWholeFile(home_ + "/serve.pid", &pid);
    const std::string kill = "kill " + pid;
    if (std::system(kill.c_str()) == 0) os.Delay(300);
    os.RemoveTree(home_);
  }

  std::unique_ptr<httplib::Client> Client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client->set_keep_alive(true);
    client->set_tcp_nodelay(true);
    client->set_read_timeout(120, 0);
    return client;
  }

  static ecf::Json Post(httplib::Client& client, const ecf::Json& body) {
    auto res = client.Post("/calls", body.dump(), "application/json");
    if (!res || res->status != 200) {
      throw std::runtime_error("POST /calls: " + (res ? res->body : std::string("no answer")));
    }
    return ecf::Json::parse(res->body);
  }

  // The demo's start and loads.
  static ecf::Json Setup() { return ecf::Json(Demo().begin(), Demo().begin() + 5); }

  // Opening, 20 items of 1,50 and the demo's closing (30,00: 10,00 by card, 20,00 in
  // cash).
  static ecf::Json Sale() {
    const ecf::Json& steps = Demo();
    ecf::Json sale = ecf::Json::array({steps[5]});
    for (int i = 0; i < 20; ++i) {
      ecf::Json item = steps[6];
      auto& p = item["args"][0]["params"];
      p["NMPROD"] = "ITEM " + std::to_string(i + 1);
      p["QTDE"] = 1.0;
      p["VALOR"] = 1.5;
      p["DESCONT"] = 0.0;
      sale.push_back(item);
    }
    sale.push_back(steps[8]);
    return sale;
  }

 private:
  static const ecf::Json& Demo() {
    static const ecf::Json steps = [] {
      std::string text;
      zel::platform::Native().ReadWholeFile(ECF_SCENARIOS_DIR "/demo.json", &text);
      return ecf::Json::parse(text)["steps"];
    }();
    return steps;
  }

  std::string home_;
  int port_ = 0;
};

Service& Running(size_t tape_bytes) {
  static std::mutex mutex;
  static std::map<size_t, std::unique_ptr<Service>> services;
  std::lock_guard<std::mutex> lock(mutex);
  auto& service = services[tape_bytes];
  if (!service) service = std::make_unique<Service>(tape_bytes);
  return *service;
}

const ecf::Json kQuery = {{"call", "Nr_Cupom"}, {"args", {"", "002"}}};

void Query(benchmark::State& state, size_t tape_bytes) {
  Service& service = Running(tape_bytes);
  auto client = service.Client();
  for (auto _ : state) {
    const ecf::Json line = Service::Post(*client, kQuery);
    if (!line.contains("result") || line.contains("exception")) {
      state.SkipWithError("the query failed");
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ServeStatusQuery(benchmark::State& state) { Query(state, 0); }
BENCHMARK(BM_ServeStatusQuery)->Threads(1)->Threads(8)->UseRealTime();

void BM_ServeSale20Items(benchmark::State& state) {
  Service& service = Running(0);
  auto client = service.Client();
  const ecf::Json sale = Service::Sale();
  for (auto _ : state) {
    const ecf::Json lines = Service::Post(*client, sale);
    if (lines.back()["result"] != true) {
      state.SkipWithError(("the sale failed: " + lines.back().dump()).c_str());
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ServeSale20Items)->Threads(1)->Threads(8)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ServeStatusQueryTape(benchmark::State& state) {
  Query(state, static_cast<size_t>(state.range(0)) << 20);
  state.SetLabel(std::to_string(state.range(0)) + " MB tape");
}
BENCHMARK(BM_ServeStatusQueryTape)->Arg(0)->Arg(30)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
