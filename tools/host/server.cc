// ecf serve: the service over HTTP on the loopback interface, and the page
// that shows the printer's paper tape as it prints.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <memory>
#include <optional>
#include <thread>

#include "host/commands.h"
#include "host/request_guard.h"
#include "host/service.h"
#include "platform/platform.h"
#include "serve_page.h"

namespace ecf {
namespace {

constexpr int kDefaultPort = 8019;
constexpr int kMaxStreams = 32;  // open tape streams (each holds a worker)
// Each connection holds a worker while it is open: enough of them that slow
// or idle clients (up to a couple of hundred) cannot keep the till's own
// requests waiting.
constexpr int kWorkers = 256;
// A client that stops sending its request's header or body for this long,
// or stops reading the answer, is dropped and its worker freed.
constexpr int kReadTimeoutSeconds = 3;
constexpr int kWriteTimeoutSeconds = 5;
// A kept connection with no request for this long is closed.
constexpr int kKeepAliveSeconds = 5;
constexpr int kStreamWaitMs = 1000;  // between keep-alives of a quiet stream
// Connections waiting to be accepted: a burst of clients is queued, not
// dropped and retried a second later.
constexpr int kListenBacklog = 128;
// Requests one kept connection may carry before the service closes it.
constexpr size_t kKeepAliveRequests = 100000;
constexpr size_t kTapePiece = 1 << 16;  // /tape is sent from the file in pieces


volatile std::sig_atomic_t g_stop_requested = 0;
extern "C" void OnStopSignal(int) { g_stop_requested = 1; }

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void Send(httplib::Response& res, const Reply& reply) {
  res.status = reply.status;
  if (reply.replayed) res.set_header("Idempotent-Replayed", "true");
  res.set_content(Dump(reply.body) + "\n", "application/json");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  Send(res, Reply{status, Json{{"error", message}}, false});
}

// The request body (its type was checked before routing: JSON), up to the
// service's limit (413 beyond it).
bool ReadBody(const httplib::Request& req, httplib::Response& res,
              const httplib::ContentReader& reader, std::string* body) {
  if (req.is_multipart_form_data()) {
    SendError(res, 400, "send the request as JSON, not as a multipart form");
    return false;
  }
  const bool read = reader([body](const char* data, size_t length) {
    body->append(data, length);
    return body->size() <= Service::kMaxRequestBytes;
  });
  if (read && body->size() <= Service::kMaxRequestBytes) return true;
  if (res.status != 413 && body->size() <= Service::kMaxRequestBytes) {
    SendError(res, 400, "the request body could not be read");
  } else {
    SendError(res, 413, "the request is too large");
  }
  return false;
}

// "id" of the last event an EventSource saw (it sends it when it reconnects),
// else ?from=N, else the end of the tape: only what prints from now on.
size_t StreamStart(const httplib::Request& req, Service& service) {
  std::string from = req.get_header_value("Last-Event-ID");
  if (from.empty() && req.has_param("from")) from = req.get_param_value("from");
  if (!from.empty() && from.find_first_not_of("0123456789") == std::string::npos &&
      from.size() < 19) {
    return std::stoull(from);
  }
  return service.TapeSize();
}

// Server-sent events, one per printed line: "id: OFFSET" (the tape's byte
// offset after the line) and "data: LINE".
std::string Events(const std::string& lines, size_t start) {
  std::string events;
  size_t at = 0;
  while (at < lines.size()) {
    size_t end = lines.find('\n', at);
    if (end == std::string::npos) end = lines.size();
    std::string line = lines.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    events += "id: " + std::to_string(start + at) + "\ndata: " + line + "\n\n";
  }
  return events;
}

// Every request passes the guard (request_guard.h) before it is routed:
// nothing of a refused request is read or run.
void Guard(httplib::Server& server, const std::atomic<int>& port, const std::string& token) {
  server.set_pre_routing_handler([&port, token](const httplib::Request& req,
                                                httplib::Response& res) {
    const RequestFacts facts{req.method,
                             req.path,
                             req.get_header_value("Host"),
                             req.get_header_value("Origin"),
                             req.get_header_value("Content-Type"),
                             req.get_header_value("Authorization")};
    const std::optional<Refusal> refusal = CheckRequest(facts, port.load(), token);
    if (!refusal) return httplib::Server::HandlerResponse::Unhandled;
    if (refusal->status == 401) res.set_header("WWW-Authenticate", "Bearer");
    // Whatever the client meant to send is not wanted.
    res.set_header("Connection", "close");
    SendError(res, refusal->status, refusal->message);
    return httplib::Server::HandlerResponse::Handled;
  });
}

void Routes(httplib::Server& server, Service& service, std::atomic<int>& streams) {
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(kServePage, "text/html; charset=utf-8");
  });
  server.Post("/calls", [&service](const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
    std::string body;
    if (ReadBody(req, res, reader, &body)) {
      Send(res, service.Calls(body, req.get_header_value("Idempotency-Key")));
    }
  });
  server.Get("/state", [&service](const httplib::Request&, httplib::Response& res) {
    Send(res, service.State());
  });
  server.Post("/faults", [&service](const httplib::Request& req, httplib::Response& res,
                                    const httplib::ContentReader& reader) {
    std::string body;
    if (ReadBody(req, res, reader, &body)) Send(res, service.Faults(body));
  });
  server.Get("/log", [&service](const httplib::Request& req, httplib::Response& res) {
    size_t lines = 20;
    if (req.has_param("lines")) {
      const std::string n = req.get_param_value("lines");
      if (n.empty() || n.size() > 5 || n.find_first_not_of("0123456789") != std::string::npos) {
        return SendError(res, 400, "lines must be a number up to 99999");
      }
      lines = std::stoul(n);
    }
    Send(res, service.Log(lines));
  });
  // The tape as it stands when asked, read from its file a piece at a time.
  server.Get("/tape", [&service](const httplib::Request&, httplib::Response& res) {
    const size_t size = service.TapeSize();
    res.set_content_provider(
        size, "text/plain; charset=utf-8",
        [&service](size_t offset, size_t length, httplib::DataSink& sink) {
          const std::string piece = service.TapeBytes(offset, std::min(length, kTapePiece));
          if (piece.empty()) return false;
          return sink.write(piece.data(), piece.size());
        });
  });
  server.Get(
      "/tape/stream", [&service, &streams](const httplib::Request& req, httplib::Response& res) {
        if (streams.fetch_add(1) >= kMaxStreams) {
          streams.fetch_sub(1);
          return SendError(res, 503, "too many tape streams open");
        }
        auto offset = std::make_shared<size_t>(StreamStart(req, service));
        res.set_header("Cache-Control", "no-store");
        res.set_chunked_content_provider(
            "text/event-stream",
            [&service, offset](size_t, httplib::DataSink& sink) {
              std::string lines;
              size_t next = *offset;
              if (!service.TapeSince(*offset, kStreamWaitMs, &lines, &next)) {
                sink.done();
                return true;
              }
              // A comment when nothing printed: a client that went away is
              // noticed by the failed write.
              const std::string events = lines.empty() ? ": waiting\n\n" : Events(lines, *offset);
              *offset = next;
              return sink.write(events.data(), events.size());
            },
            [&streams](bool) { streams.fetch_sub(1); });
      });

  server.set_payload_max_length(Service::kMaxRequestBytes);
  // Errors raised by the HTTP layer itself (an unknown path, a body over the
  // limit) get a JSON body like the service's own.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const std::string message = res.status == 404   ? "no such resource: " + req.path
                                    : res.status == 413 ? "the request is too large"
                                    : res.status == 400 ? "malformed request"
                                                        : "request refused";
        Send(res, Reply{res.status, Json{{"error", message}}, false});
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
        std::string message = "internal error";
        try {
          if (error) std::rethrow_exception(error);
        } catch (const std::exception& e) {
          message += std::string(": ") + e.what();
        } catch (...) {
        }
        SendError(res, 500, message);
      });
}

}  // namespace

int ServeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  SessionOptions options;
  int port = kDefaultPort;
  std::string token;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--home" && has_value) {
      options.home = FromJsonText(args[++i]);
    } else if (args[i] == "--port" && has_value) {
      const std::string& n = args[++i];
      if (n.empty() || n.size() > 5 || n.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(n) > 65535) {
        err << "ecf serve: --port takes a number from 0 to 65535 (0: any free port)\n";
        return 2;
      }
      port = std::stoi(n);
    } else if (args[i] == "--clock" && has_value) {
      try {
        options.clock = ParseIsoDateTime(args[++i]);
      } catch (const EncodingError& e) {
        err << "ecf serve: --clock: " << e.what() << "\n";
        return 2;
      }
    } else if (args[i] == "--token-file" && has_value) {
      std::string text;
      if (!zel::platform::Native().ReadWholeFileByNativeName(args[++i], &text)) {
        err << "ecf serve: --token-file: cannot read " << args[i] << "\n";
        return 2;
      }
      token = TokenFromFile(text);
      if (token.empty()) {
        err << "ecf serve: --token-file: " << args[i] << " holds no token\n";
        return 2;
      }
    } else if (args[i] == "--printer" && has_value && args[i + 1].find('=') != std::string::npos) {
      const std::string& pair = args[++i];
      options.printer[pair.substr(0, pair.find('='))] =
          FromJsonText(pair.substr(pair.find('=') + 1));
    } else {
      err << CommandUsage("serve");
      return 2;
    }
  }
  if (options.home.empty()) {
    // A service keeps its printer from one start to the next.
    options.home = zel::platform::JoinPath(zel::platform::Native().SystemDirectory(), "serve");
  }

  std::unique_ptr<Service> service;
  try {
    service = std::make_unique<Service>(options);
  } catch (const std::exception& e) {
    err << "ecf serve: " << e.what() << "\n";
    return 1;
  }
  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server.set_keep_alive_max_count(kKeepAliveRequests);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_read_timeout(kReadTimeoutSeconds, 0);
  server.set_write_timeout(kWriteTimeoutSeconds, 0);
  server.set_tcp_nodelay(true);
  // The port is the service's alone (a second service on it fails to start
  // instead of sharing its connections), and answers leave at once.
  std::uintptr_t listener_socket = 0;
  server.set_socket_options([&listener_socket](socket_t sock) {
    listener_socket = static_cast<std::uintptr_t>(sock);
    zel::platform::SetListenSocketOptions(listener_socket);
  });
  std::atomic<int> streams{0};
  std::atomic<int> own_port{0};
  Guard(server, own_port, token);
  Routes(server, *service, streams);

  const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                              : (server.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) {
    err << "ecf serve: cannot listen on 127.0.0.1:" << port
        << (port == 0 ? "" : " (the port is in use, or not this user's to take)") << "\n";
    return 1;
  }
  own_port = bound;
  zel::platform::WidenListenBacklog(listener_socket, kListenBacklog);
  // A client that goes away is a failed write, not the end of the service.
  zel::platform::IgnoreBrokenConnections();
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::atomic<bool> listening_ended{false};
  std::thread listener([&server, &listening_ended] {
    server.listen_after_bind();
    listening_ended = true;
  });
  out << "ecf serve: listening on http://127.0.0.1:" << bound << "/ (host folder "
      << ToJsonText(service->home()) << ")" << std::endl;
  while (g_stop_requested == 0 && !listening_ended) zel::platform::Native().Delay(100);
  // Open streams end; a call in progress finishes before the workers stop.
  service->Stop();
  server.stop();
  listener.join();
  service.reset();
  out << "ecf serve: stopped" << std::endl;
  return 0;
}

}  // namespace ecf
