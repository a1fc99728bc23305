#include "gui_server.h"

#include <array>
#include <chrono>
#include <deque>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>  // before Boost.Asio 1.74, which uses std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "request_guard.h"

namespace kestrel::gui {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

constexpr std::size_t kLargestMessage = 1 << 20;
constexpr std::chrono::seconds kRequestTimeout{30};
// A served file is a document to read: its styles and drawings, no scripts, nothing fetched from
// elsewhere, so it cannot act on the session.
constexpr std::string_view kDocumentPolicy = "default-src 'none'; style-src 'unsafe-inline'; img-src 'self' data:";

std::string_view HeaderOf(const http::request<http::string_body>& request, http::field field) {
  const auto found = request.find(field);
  return found == request.end() ? std::string_view() : std::string_view(found->value().data(), found->value().size());
}

}  // namespace

class PageSession;

class GuiServer::Impl {
 public:
  Impl(const ServerOptions& options, Greeting greeting, Receiver receiver, Files files);

  void Accept();
  // The page becomes the controlling one; the one before is closed.
  void TakeOver(const std::shared_ptr<PageSession>& page);
  bool Controls(const PageSession* page) const { return page_.lock().get() == page; }

  net::io_context ioc{1};
  tcp::acceptor acceptor{ioc};
  std::string token;
  unsigned short port = 0;
  std::unique_ptr<RequestGuard> guard;
  Greeting greeting;
  Receiver receiver;
  Files files;
  std::weak_ptr<PageSession> page_;
  std::thread thread;
};

// A WebSocket of a page: messages in go to the receiver while it is the controlling page;
// messages out are written one at a time, in order.
class PageSession : public std::enable_shared_from_this<PageSession> {
 public:
  PageSession(tcp::socket socket, GuiServer::Impl& server) : ws_(std::move(socket)), server_(server) {}

  void Accept(const http::request<http::string_body>& request) {
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.read_message_max(kLargestMessage);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
      if (error) return;
      self->server_.TakeOver(self);
      self->Send(self->server_.greeting());
      self->Read();
    });
  }

  void Send(std::string message) {
    if (closing_) return;
    outbox_.push_back(std::move(message));
    if (outbox_.size() == 1) Write();
  }

  // Closes once what is queued has been written.
  void Close(std::string reason) {
    if (closing_) return;
    closing_ = true;
    closeReason_ = std::move(reason);
    if (outbox_.empty()) CloseNow();
  }

 private:
  void Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (error) return;
      const std::string message = beast::buffers_to_string(self->buffer_.data());
      self->buffer_.consume(self->buffer_.size());
      if (self->server_.Controls(self.get())) self->server_.receiver(message);
      self->Read();
    });
  }

  void Write() {
    ws_.text(true);
    ws_.async_write(net::buffer(outbox_.front()), [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (error) return;
      self->outbox_.pop_front();
      if (!self->outbox_.empty()) {
        self->Write();
      } else if (self->closing_) {
        self->CloseNow();
      }
    });
  }

  void CloseNow() {
    ws_.async_close(websocket::close_reason(websocket::close_code::policy_error, closeReason_),
                    [self = shared_from_this()](beast::error_code) {});
  }

  websocket::stream<beast::tcp_stream> ws_;
  beast::flat_buffer buffer_;
  std::deque<std::string> outbox_;
  GuiServer::Impl& server_;
  bool closing_ = false;
  std::string closeReason_;
};

// One HTTP connection: serves the page's assets, or hands an upgrade on /ws to a PageSession.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, GuiServer::Impl& server) : stream_(std::move(socket)), server_(server) {}

  void Read() {
    request_ = {};
    stream_.expires_after(kRequestTimeout);
    http::async_read(stream_, buffer_, request_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (!error) self->Serve();
    });
  }

 private:
  void Serve() {
    const bool upgrade = websocket::is_upgrade(request_);
    const RequestHeaders headers{std::string_view(request_.target().data(), request_.target().size()),
                                 HeaderOf(request_, http::field::host), HeaderOf(request_, http::field::origin),
                                 HeaderOf(request_, http::field::cookie), upgrade};
    if (const std::optional<std::string> refusal = server_.guard->Refusal(headers)) {
      Respond(http::status::forbidden, "text/plain; charset=utf-8", "Refused: " + *refusal + ".\n");
      return;
    }
    const std::string_view path = RequestGuard::Path(headers.target);
    if (upgrade && path == "/ws") {
      stream_.expires_never();
      std::make_shared<PageSession>(stream_.release_socket(), server_)->Accept(request_);
      return;
    }
    if (request_.method() != http::verb::get && request_.method() != http::verb::head) {
      Respond(http::status::method_not_allowed, "text/plain; charset=utf-8", "Only GET is served.\n");
      return;
    }
    if (const WebAsset* asset = FindWebAsset(path)) {
      Respond(http::status::ok, asset->contentType, std::string(asset->body));
      return;
    }
    if (std::optional<ServedFile> file = server_.files ? server_.files(path) : std::nullopt) {
      Respond(http::status::ok, file->contentType, std::move(file->body), kDocumentPolicy);
      return;
    }
    Respond(http::status::not_found, "text/plain; charset=utf-8", "Not found.\n");
  }

  void Respond(http::status status, std::string_view type, std::string body, std::string_view policy = {}) {
    auto response = std::make_shared<http::response<http::string_body>>(status, request_.version());
    response->set(http::field::content_type, beast::string_view(type.data(), type.size()));
    if (!policy.empty()) {
      response->set("Content-Security-Policy", beast::string_view(policy.data(), policy.size()));
    }
    response->set(http::field::cache_control, "no-store");
    response->set("X-Content-Type-Options", "nosniff");
    response->set("X-Frame-Options", "DENY");
    response->set("Referrer-Policy", "no-referrer");
    if (status == http::status::ok) {
      // The page's own requests (its scripts, drawings) carry the token in this cookie.
      response->set(http::field::set_cookie,
                    server_.guard->CookieName() + "=" + server_.token + "; Path=/; HttpOnly; SameSite=Strict");
    }
    if (request_.method() != http::verb::head) response->body() = std::move(body);
    response->keep_alive(request_.keep_alive() && status == http::status::ok);
    response->prepare_payload();
    http::async_write(stream_, *response, [self = shared_from_this(), response](beast::error_code error, std::size_t) {
      if (error) return;
      if (!response->keep_alive()) {
        beast::error_code ignored;
        self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        return;
      }
      self->Read();
    });
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  http::request<http::string_body> request_;
  GuiServer::Impl& server_;
};

GuiServer::Impl::Impl(const ServerOptions& options, Greeting greetingSource, Receiver receiverOfPage, Files served)
    : token(options.token.empty() ? RandomToken() : options.token),
      greeting(std::move(greetingSource)),
      receiver(std::move(receiverOfPage)),
      files(std::move(served)) {
  const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), options.port);
  beast::error_code error;
  acceptor.open(endpoint.protocol(), error);
  if (!error) acceptor.set_option(net::socket_base::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(net::socket_base::max_listen_connections, error);
  if (error) {
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(options.port) + ": " + error.message());
  }
  port = acceptor.local_endpoint().port();
  guard = std::make_unique<RequestGuard>(port, token);
}

void GuiServer::Impl::Accept() {
  acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
    if (error) return;
    std::make_shared<HttpSession>(std::move(socket), *this)->Read();
    Accept();
  });
}

void GuiServer::Impl::TakeOver(const std::shared_ptr<PageSession>& page) {
  if (const std::shared_ptr<PageSession> previous = page_.lock()) {
    previous->Close("another page has taken over this session");
  }
  page_ = page;
}

GuiServer::GuiServer(const ServerOptions& options, Greeting greeting, Receiver receiver, Files files)
    : impl_(std::make_unique<Impl>(options, std::move(greeting), std::move(receiver), std::move(files))) {
  impl_->Accept();
  impl_->thread = std::thread([impl = impl_.get()] { impl->ioc.run(); });
}

GuiServer::~GuiServer() {
  impl_->ioc.stop();
  impl_->thread.join();
}

unsigned short GuiServer::Port() const { return impl_->port; }

const std::string& GuiServer::Token() const { return impl_->token; }

std::string GuiServer::Address() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + "/?token=" + impl_->token;
}

void GuiServer::Send(std::string message) {
  net::post(impl_->ioc, [impl = impl_.get(), message = std::move(message)]() mutable {
    if (const std::shared_ptr<PageSession> page = impl->page_.lock()) page->Send(std::move(message));
  });
}

std::string RandomToken() {
  std::random_device source;
  std::uniform_int_distribution<int> digit(0, 15);
  std::string token(32, '0');
  for (char& c : token) c = "0123456789abcdef"[digit(source)];
  return token;
}

}  // namespace kestrel::gui
