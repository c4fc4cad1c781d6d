// Which request gets what, for varnock watch. Only three things are
// served, all under a random token that only the printed address holds:
//   GET /TOKEN/       the live page (the report page with the polling)
//   GET /TOKEN/state  {"version": N, "waiting": "why not updated" | null}
//   GET /TOKEN/data   {"version": N, "waiting": ..., "report": the report page's data | null}
// Nothing from a request is ever taken as a file name: targets are compared
// whole and undecoded with these three, so ../, %2e%2e, %2F or an absolute
// address can only miss. A request without the token, or for another host
// than 127.0.0.1:PORT or localhost:PORT (a page elsewhere whose name was
// pointed at this machine), gets 403; a method other than GET and HEAD gets
// 405; /TOKEN itself is sent on to /TOKEN/, anything else under the token
// gets 404. Every answer carries no-store and
// a Content-Security-Policy that lets the page use its own inline script
// and styles and ask this server alone.
#pragma once

#include <string>

#include "watch/folder_watch.h"
#include "watch/http_server.h"

namespace varnock {

// 128 bits from std::random_device, as 32 lower-case hex digits.
std::string random_token();

class WatchRoutes {
 public:
  WatchRoutes(const FolderWatch& folder, std::string token, unsigned short port);

  HttpResponse answer(const HttpRequest& request) const;

  // http://127.0.0.1:PORT/TOKEN/
  std::string address() const;

  // The live page's data object: the folder, the state and the report.
  std::string page_data_json() const;

 private:
  std::string state_json() const;
  std::string data_json() const;

  const FolderWatch& folder_;
  std::string token_;
  unsigned short port_;
  std::string page_policy_;  // the page's Content-Security-Policy
};

}  // namespace varnock
