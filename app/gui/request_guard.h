// Who may use the front end's server: requests that name it as their Host (127.0.0.1 or
// localhost with its port, which defeats DNS rebinding), come from its own page when they carry
// an Origin (a WebSocket must), and carry the session's token.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::gui {

struct RequestHeaders {
  std::string_view target;  // "/ws?token=..."
  std::string_view host;
  std::string_view origin;  // empty when absent
  std::string_view cookie;  // empty when absent
  bool websocket = false;
};

class RequestGuard {
 public:
  RequestGuard(unsigned short port, std::string token);

  // Why the request is refused; none when it may be served.
  std::optional<std::string> Refusal(const RequestHeaders& request) const;
  // The cookie that carries the token for the page's own requests.
  std::string CookieName() const { return "kestrel_" + std::to_string(port_); }
  // The target without its query: "/ws".
  static std::string_view Path(std::string_view target);

 private:
  bool CarriesToken(const RequestHeaders& request) const;
  bool SameToken(std::string_view candidate) const;

  unsigned short port_;
  std::string token_;
};

}  // namespace kestrel::gui
