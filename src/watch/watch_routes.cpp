#include "watch/watch_routes.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "platform/sha256.h"
#include "report/web_page.h"
#include "support/files.h"

namespace varnock {
namespace {

using Json = nlohmann::json;

constexpr const char* JSON_TYPE = "application/json; charset=utf-8";
// What an answer that is not the page may do: nothing.
constexpr const char* NOTHING_POLICY = "default-src 'none'; frame-ancestors 'none'";

std::string base64(const std::string& bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t k = 0;
  for (; k + 2 < bytes.size(); k += 3) {
    const std::uint32_t n = (std::uint32_t(std::uint8_t(bytes[k])) << 16) |
                            (std::uint32_t(std::uint8_t(bytes[k + 1])) << 8) | std::uint8_t(bytes[k + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += digits[(n >> shift) & 63];
  }
  if (k < bytes.size()) {
    std::uint32_t n = std::uint32_t(std::uint8_t(bytes[k])) << 16;
    if (k + 1 < bytes.size()) n |= std::uint32_t(std::uint8_t(bytes[k + 1])) << 8;
    out += digits[(n >> 18) & 63];
    out += digits[(n >> 12) & 63];
    out += k + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// The policy of the live page: its one script is allowed by its digest, so
// that nothing injected into the page could run; styles are inline (the
// page sets sizes on its elements); images are the page's own data and
// blob addresses (saving a figure as PNG draws it through one); and it may
// ask this server only.
std::string page_policy() {
  const std::string_view page = web_page_template(WebPage::watch);
  const std::string open = "<script>";
  const std::size_t begin = page.find(open);
  const std::size_t end = begin == std::string_view::npos ? begin : page.find("</script>", begin);
  if (end == std::string_view::npos) throw std::logic_error("the live page has no script");
  const std::string_view script = page.substr(begin + open.size(), end - begin - open.size());
  platform::Sha256 hash;
  hash.update(script.data(), script.size());
  const std::string hex = hash.hex_digest();
  std::string digest;
  for (std::size_t k = 0; k + 1 < hex.size(); k += 2) {
    digest += static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16));
  }
  return "default-src 'none'; script-src 'sha256-" + base64(digest) +
         "'; style-src 'unsafe-inline'; img-src data: blob:; connect-src 'self'; base-uri 'none'; "
         "form-action 'none'; frame-ancestors 'none'";
}

// Compares in a time that does not depend on where the texts differ.
bool same_secret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char differ = 0;
  for (std::size_t k = 0; k < a.size(); ++k) differ |= static_cast<unsigned char>(a[k] ^ b[k]);
  return differ == 0;
}

bool lower_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const char c = a[k] >= 'A' && a[k] <= 'Z' ? static_cast<char>(a[k] - 'A' + 'a') : a[k];
    if (c != b[k]) return false;
  }
  return true;
}

HttpResponse answer_with(int status, const char* content_type, std::string body,
                         const std::string& policy = NOTHING_POLICY) {
  HttpResponse r;
  r.status = status;
  r.content_type = content_type;
  r.body = std::move(body);
  r.headers = {{"Cache-Control", "no-store"},
               {"Content-Security-Policy", policy},
               {"X-Content-Type-Options", "nosniff"},
               {"Referrer-Policy", "no-referrer"},
               {"Cross-Origin-Resource-Policy", "same-origin"},
               {"X-Frame-Options", "DENY"}};
  return r;
}

HttpResponse plain(int status, const char* text) {
  return answer_with(status, "text/plain; charset=utf-8", std::string(text) + "\n");
}

Json waiting_json(const FolderWatch& folder) {
  return folder.waiting().empty() ? Json(nullptr) : Json(folder.waiting());
}

std::string dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace

std::string random_token() {
  std::random_device device;
  std::string token;
  static const char hex[] = "0123456789abcdef";
  for (int word = 0; word < 4; ++word) {
    const std::uint32_t bits = device();
    for (int shift = 28; shift >= 0; shift -= 4) token += hex[(bits >> shift) & 15];
  }
  return token;
}

WatchRoutes::WatchRoutes(const FolderWatch& folder, std::string token, unsigned short port)
    : folder_(folder), token_(std::move(token)), port_(port), page_policy_(page_policy()) {}

std::string WatchRoutes::address() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + token_ + "/";
}

std::string WatchRoutes::state_json() const {
  return dump(Json{{"version", folder_.version()}, {"waiting", waiting_json(folder_)}});
}

// The report's data is JSON text already: it goes in as it is.
std::string WatchRoutes::data_json() const {
  std::string text = state_json();
  text.pop_back();
  return text + ",\"report\":" + (folder_.version() == 0 ? std::string("null") : folder_.data_json()) + "}";
}

std::string WatchRoutes::page_data_json() const {
  std::string text = dump(Json{{"folder", display(folder_.folder())}});
  text.pop_back();
  return text + "," + data_json().substr(1);
}

HttpResponse WatchRoutes::answer(const HttpRequest& request) const {
  const std::string port = std::to_string(port_);
  const std::string_view host = request.host;
  const bool our_host = host == "127.0.0.1:" + port || lower_equal(host, "localhost:" + port) ||
                        (port_ == 80 && (host == "127.0.0.1" || lower_equal(host, "localhost")));
  if (!our_host) return plain(403, "forbidden");

  // The first segment of the path must be the token itself, byte for byte.
  const std::string_view target = request.target;
  const std::string_view path = target.substr(0, target.find('?'));
  if (path.empty() || path.front() != '/') return plain(403, "forbidden");
  const std::size_t segment_end = path.find('/', 1);
  const std::string_view segment =
      segment_end == std::string_view::npos ? path.substr(1) : path.substr(1, segment_end - 1);
  if (!same_secret(segment, token_)) return plain(403, "forbidden");

  if (request.method != "GET" && request.method != "HEAD") {
    HttpResponse r = plain(405, "method not allowed");
    r.headers.emplace_back("Allow", "GET, HEAD");
    return r;
  }
  const std::string_view rest = segment_end == std::string_view::npos ? "" : path.substr(segment_end);
  if (rest.empty()) {
    // The page's own requests are relative to /TOKEN/.
    HttpResponse r = plain(308, "moved");
    r.headers.emplace_back("Location", "/" + token_ + "/");
    return r;
  }
  if (rest == "/") {
    return answer_with(200, "text/html; charset=utf-8", web_page(WebPage::watch, page_data_json()),
                       page_policy_);
  }
  if (rest == "/state") return answer_with(200, JSON_TYPE, state_json());
  if (rest == "/data") return answer_with(200, JSON_TYPE, data_json());
  return plain(404, "not found");
}

}  // namespace varnock
