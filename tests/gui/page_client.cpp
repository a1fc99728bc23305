#include "page_client.h"

#include <stdexcept>

namespace gui_test {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

constexpr std::chrono::seconds kPatience{10};

void Connect(tcp::socket& socket, unsigned short port) {
  socket.connect(tcp::endpoint(boost::asio::ip::make_address_v4("127.0.0.1"), port));
}

}  // namespace

Response HttpGet(unsigned short port, const Request& request) {
  boost::asio::io_context ioc;
  tcp::socket socket(ioc);
  Connect(socket, port);
  http::request<http::empty_body> get(http::verb::get, request.target, 11);
  get.set(http::field::host, request.host);
  if (!request.origin.empty()) get.set(http::field::origin, request.origin);
  http::write(socket, get);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(socket, buffer, response);
  return {response.result_int(), std::string(response[http::field::content_type]), response.body()};
}

PageClient::PageClient(unsigned short port, const Request& request) {
  Connect(ws_.next_layer(), port);
  ws_.set_option(beast::websocket::stream_base::decorator([&](beast::websocket::request_type& upgrade) {
    if (!request.origin.empty()) upgrade.set(http::field::origin, request.origin);
  }));
  ws_.handshake(request.host, request.target);
}

nlohmann::json PageClient::Read() {
  // A test that waits for a message that never comes fails instead of hanging.
  beast::flat_buffer buffer;
  boost::system::error_code error = boost::asio::error::timed_out;
  ws_.async_read(buffer, [&error](boost::system::error_code result, std::size_t) { error = result; });
  ioc_.restart();
  ioc_.run_for(kPatience);
  if (!ioc_.stopped()) {
    ws_.next_layer().cancel();
    ioc_.run();
  }
  if (error) throw boost::system::system_error(error);
  nlohmann::json message = nlohmann::json::parse(beast::buffers_to_string(buffer.data()));
  if (message["type"] == "state") {
    state_ = message["state"];
    version_ = message["version"];
  } else if (message["type"] == "patch") {
    // A patch published while the page connected is already in the whole state it was greeted with.
    if (message["version"] <= version_) return message;
    if (message["base"] != version_) throw std::runtime_error("a patch for another version: " + message.dump());
    state_ = state_.patch(message["patch"]);
    version_ = message["version"];
  }
  received_.push_back(message);
  return message;
}

nlohmann::json PageClient::ReadUntil(const std::string& type) {
  for (;;) {
    nlohmann::json message = Read();
    if (message["type"] == type) return message;
  }
}

void PageClient::WaitForBox() { WaitForShown("box"); }

void PageClient::WaitForShown(const std::string& name, bool shown) {
  while (!state_.is_object() || !state_.contains(name) || state_[name].is_null() == shown) Read();
}

void PageClient::WaitUntil(const std::function<bool(const nlohmann::json& state)>& holds) {
  while (!state_.is_object() || !holds(state_)) Read();
}

void PageClient::Send(const nlohmann::json& action) { ws_.write(boost::asio::buffer(action.dump())); }

std::string PageClient::Act(nlohmann::json action) {
  action["seq"] = ++sequence_;
  Send(action);
  for (;;) {
    const nlohmann::json message = ReadUntil("reply");
    if (message["seq"] == sequence_) return message["error"];
  }
}

bool PageClient::Closed() {
  try {
    for (;;) Read();
  } catch (const boost::system::system_error& error) {
    return error.code() == beast::websocket::error::closed;
  }
}

}  // namespace gui_test
