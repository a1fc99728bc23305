// A page for the protocol tests: an HTTP request or a WebSocket to the front end's server, with
// the state it has been sent (the whole state, then each patch applied to it).
#pragma once

#include <functional>
#include <string>
#include <vector>
#include <utility>  // before Boost.Asio 1.74, which uses std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

namespace gui_test {

struct Request {
  std::string target;
  std::string host;
  std::string origin;  // empty: none
};

struct Response {
  unsigned status = 0;
  std::string contentType;
  std::string body;
};

// The response to a GET.
Response HttpGet(unsigned short port, const Request& request);
// The status of a GET.
inline unsigned HttpStatus(unsigned short port, const Request& request) { return HttpGet(port, request).status; }

class PageClient {
 public:
  // Opens the WebSocket; throws boost::system::system_error when the server refuses it.
  PageClient(unsigned short port, const Request& request);

  // Reads messages, keeping the state up to date, until one of type `type` comes; returns it.
  nlohmann::json ReadUntil(const std::string& type);
  // Reads messages until the state has a message box waiting.
  void WaitForBox();
  // Reads messages until the state's entry `name` is (not) null.
  void WaitForShown(const std::string& name, bool shown = true);
  // Reads messages until the state is one that `holds`.
  void WaitUntil(const std::function<bool(const nlohmann::json& state)>& holds);
  void Send(const nlohmann::json& action);
  // Sends the action and reads until its reply; returns the reply's error text.
  std::string Act(nlohmann::json action);
  // Whether the server has closed the connection (reads the messages before the close).
  bool Closed();

  // The messages read since the last call, in order, but for the patches already in the state.
  std::vector<nlohmann::json> TakeReceived() { return std::exchange(received_, {}); }

  const nlohmann::json& State() const { return state_; }
  std::uint64_t Version() const { return version_; }

 private:
  nlohmann::json Read();

  boost::asio::io_context ioc_;
  boost::beast::websocket::stream<boost::asio::ip::tcp::socket> ws_{ioc_};
  nlohmann::json state_;
  std::uint64_t version_ = 0;
  std::uint64_t sequence_ = 0;
  std::vector<nlohmann::json> received_;
};

}  // namespace gui_test
