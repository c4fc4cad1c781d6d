// A small HTTP/1.1 server on the loopback interface for varnock watch: it
// accepts connections on 127.0.0.1 only, reads each request (headers of a
// few kilobytes, no body worth the name) and answers it with whatever the
// handler says. Everything runs on the thread that calls serve_for, so the
// handler needs no locks. Boost.Beast stays inside http_server.cpp.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace varnock {

struct HttpRequest {
  std::string method;  // as sent: "GET", "HEAD", "POST", ...
  std::string target;  // as sent, undecoded: "/abc/state?x"
  std::string host;    // the Host header; empty when there was none
};

struct HttpResponse {
  int status = 200;
  std::string content_type = "text/plain; charset=utf-8";
  std::string body;  // a HEAD request gets the headers alone
  std::vector<std::pair<std::string, std::string>> headers;
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

class HttpServer {
 public:
  // Listens on 127.0.0.1:port; port 0 takes one the system chooses. Throws
  // std::runtime_error, saying why, when it cannot.
  HttpServer(unsigned short port, HttpHandler handler);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  unsigned short port() const;

  // Serves for about `slice`, then returns, so that the caller can look at
  // other things (a stop request, the folder) between slices.
  void serve_for(std::chrono::milliseconds slice);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace varnock
