#include "request_guard.h"

namespace kestrel::gui {
namespace {

// The value of `key` in a query ("a=1&token=x") or a cookie header ("a=1; token=x"); none when
// absent.
std::optional<std::string_view> ValueOf(std::string_view list, std::string_view key, char separator) {
  while (!list.empty()) {
    const std::size_t end = std::min(list.find(separator), list.size());
    std::string_view pair = list.substr(0, end);
    list.remove_prefix(end == list.size() ? end : end + 1);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.size() > key.size() && pair.substr(0, key.size()) == key && pair[key.size()] == '=') {
      return pair.substr(key.size() + 1);
    }
  }
  return std::nullopt;
}

}  // namespace

RequestGuard::RequestGuard(unsigned short port, std::string token) : port_(port), token_(std::move(token)) {}

std::string_view RequestGuard::Path(std::string_view target) { return target.substr(0, target.find('?')); }

std::optional<std::string> RequestGuard::Refusal(const RequestHeaders& request) const {
  const std::string port = std::to_string(port_);
  if (request.host != "127.0.0.1:" + port && request.host != "localhost:" + port) {
    return "the request names another host";
  }
  if (request.websocket && request.origin.empty()) return "a WebSocket must come from the page of this server";
  if (!request.origin.empty() && request.origin != "http://127.0.0.1:" + port &&
      request.origin != "http://localhost:" + port) {
    return "the request comes from another site";
  }
  if (!CarriesToken(request)) return "the request does not carry this session's token";
  return std::nullopt;
}

bool RequestGuard::CarriesToken(const RequestHeaders& request) const {
  const std::size_t query = request.target.find('?');
  if (query != std::string_view::npos) {
    const std::optional<std::string_view> token = ValueOf(request.target.substr(query + 1), "token", '&');
    if (token && SameToken(*token)) return true;
  }
  const std::optional<std::string_view> cookie = ValueOf(request.cookie, CookieName(), ';');
  return cookie && SameToken(*cookie);
}

// Compares in time independent of where the texts differ.
bool RequestGuard::SameToken(std::string_view candidate) const {
  if (candidate.size() != token_.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token_.size(); ++i) {
    difference |= static_cast<unsigned char>(candidate[i] ^ token_[i]);
  }
  return difference == 0 && !token_.empty();
}

}  // namespace kestrel::gui
