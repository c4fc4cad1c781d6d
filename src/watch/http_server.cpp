#include "watch/http_server.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>

namespace varnock {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// A page and its polling need one or two connections; a client that holds
// more is not that page, and is turned away rather than let exhaust the
// process's descriptors.
constexpr long MAX_CONNECTIONS = 32;
// The page asks for three things with short headers and no body.
constexpr std::uint32_t MAX_HEADER_BYTES = 16 * 1024;
constexpr std::uint64_t MAX_BODY_BYTES = 16 * 1024;
// A connection that sends nothing for this long is closed; the page polls
// far more often.
constexpr std::chrono::seconds IDLE{30};

template <class Body>
void set_headers(http::response<Body>& response, const HttpResponse& answer, bool keep_alive) {
  response.set(http::field::content_type, answer.content_type);
  for (const auto& [name, value] : answer.headers) response.set(name, value);
  response.keep_alive(keep_alive);
}

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  // tally is shared by every open connection: its use count tells how many
  // there are.
  Connection(tcp::socket socket, const HttpHandler& handler, std::shared_ptr<void> tally)
      : stream_(std::move(socket)), handler_(handler), tally_(std::move(tally)) {}

  void start() { read(); }

 private:
  void read() {
    parser_.emplace();
    parser_->header_limit(MAX_HEADER_BYTES);
    parser_->body_limit(MAX_BODY_BYTES);
    stream_.expires_after(IDLE);
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Connection::on_read, shared_from_this()));
  }

  void on_read(beast::error_code ec, std::size_t) {
    // The client left or went quiet, or sent what no page sends (headers
    // too long, a body, no HTTP at all): the connection ends unanswered.
    if (ec) return close();
    const http::request<http::string_body>& request = parser_->get();
    HttpRequest asked{std::string(request.method_string()), std::string(request.target()), ""};
    // A request with two Host headers has no one host; it stays empty.
    if (request.count(http::field::host) == 1) asked.host = std::string(request[http::field::host]);
    HttpResponse answer;
    try {
      answer = handler_(asked);
    } catch (const std::exception&) {
      answer = HttpResponse{500, "text/plain; charset=utf-8", "internal error\n", {}};
    }
    const bool keep_alive = request.keep_alive();
    const auto status = static_cast<http::status>(answer.status);
    if (request.method() == http::verb::head) {
      auto response = std::make_shared<http::response<http::empty_body>>(status, request.version());
      set_headers(*response, answer, keep_alive);
      response->content_length(answer.body.size());
      send(std::move(response), keep_alive);
    } else {
      auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
      set_headers(*response, answer, keep_alive);
      response->body() = std::move(answer.body);
      response->prepare_payload();
      send(std::move(response), keep_alive);
    }
  }

  template <class Body>
  void send(std::shared_ptr<http::response<Body>> response, bool keep_alive) {
    stream_.expires_after(IDLE);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response, keep_alive](beast::error_code ec, std::size_t) {
                        if (ec || !keep_alive) return self->close();
                        self->read();
                      });
  }

  void close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.socket().close(ignored);
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  const HttpHandler& handler_;
  std::shared_ptr<void> tally_;
};

}  // namespace

struct HttpServer::Impl {
  // Declared first, destroyed last: it destroys the pending handlers, and
  // with them the connections they hold, before the rest goes.
  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::steady_timer pause{io};
  HttpHandler handler;
  std::shared_ptr<void> tally = std::make_shared<int>(0);

  ~Impl() {
    beast::error_code ignored;
    acceptor.close(ignored);
  }

  void accept() {
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
      if (ec == asio::error::operation_aborted || !acceptor.is_open()) return;
      if (ec) {
        // Out of descriptors, say: try again shortly rather than spin.
        pause.expires_after(std::chrono::milliseconds(100));
        pause.async_wait([this](beast::error_code e) {
          if (!e) accept();
        });
        return;
      }
      if (tally.use_count() - 1 < MAX_CONNECTIONS) {
        std::make_shared<Connection>(std::move(socket), handler, tally)->start();
      }
      accept();
    });
  }
};

HttpServer::HttpServer(unsigned short port, HttpHandler handler) : impl_(std::make_unique<Impl>()) {
  impl_->handler = std::move(handler);
  const tcp::endpoint at(asio::ip::address_v4::loopback(), port);
  beast::error_code ec;
  impl_->acceptor.open(at.protocol(), ec);
  if (!ec) impl_->acceptor.bind(at, ec);
  if (!ec) impl_->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + ec.message());
  }
  impl_->accept();
}

HttpServer::~HttpServer() = default;

unsigned short HttpServer::port() const { return impl_->acceptor.local_endpoint().port(); }

void HttpServer::serve_for(std::chrono::milliseconds slice) {
  if (impl_->io.stopped()) impl_->io.restart();
  impl_->io.run_for(slice);
}

}  // namespace varnock
