// The graphical front end's server: HTTP for the page and its assets, a WebSocket for state and
// actions. It listens on 127.0.0.1 only. Every request must carry the session's random token
// (in the address's query, or the cookie the page gets with it) and name this server as its Host;
// a WebSocket must come from this server's own page (Origin). One page controls the session at a
// time: a page that connects takes over from the one before, which is closed. Beside the page it
// serves the files its options name (the commissioning reports), as documents without scripts.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "web_assets.h"

namespace kestrel::gui {

// A file served beside the page (a commissioning report's page or plot).
struct ServedFile {
  std::string contentType;
  std::string body;
};

struct ServerOptions {
  unsigned short port = 0;  // 0: a free port
  std::string token;        // empty: a new random token
};

class GuiServer {
 public:
  // Called on the server's thread: the first message a page that connects gets, and each
  // message the controlling page sends.
  using Greeting = std::function<std::string()>;
  using Receiver = std::function<void(const std::string& message)>;
  // Called on the server's thread for a path that is none of the page's assets: the file it
  // names, or none (404).
  using Files = std::function<std::optional<ServedFile>(std::string_view path)>;

  // Listens and serves on a thread of its own; throws std::runtime_error naming the port when
  // it cannot listen. Without `files` only the page is served.
  GuiServer(const ServerOptions& options, Greeting greeting, Receiver receiver, Files files = {});
  ~GuiServer();
  GuiServer(const GuiServer&) = delete;
  GuiServer& operator=(const GuiServer&) = delete;

  unsigned short Port() const;
  const std::string& Token() const;
  // http://127.0.0.1:PORT/?token=TOKEN
  std::string Address() const;
  // Sends the message to the controlling page, if one is connected; from any thread.
  void Send(std::string message);

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A token of 32 hexadecimal digits from the system's random source.
std::string RandomToken();

}  // namespace kestrel::gui
