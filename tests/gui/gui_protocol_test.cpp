// The front end's protocol over a real server: the whole state for a page that connects, actions
// and the patches they bring, reconnection, message boxes, and refusal of whoever is not the
// session's own page.
#include <algorithm>
#include <future>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gui_server.h"
#include "gui_session.h"
#include "page_client.h"
#include "ui/dialog.h"
#include "ui/session.h"
#include "ui/template_library.h"
#include "test_dialog.h"

namespace gui_test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

// A session whose dialogs' thread first asks a question, then runs the framework's test dialog
// (template 9000, its graph's context menu registered) until the page closes it, then serves the
// page until the test ends.
class GuiProtocolTest : public ::testing::Test {
 protected:
  GuiProtocolTest() {
    ui::DialogTemplates().AddDirectory(std::filesystem::path(KESTREL_UI_TEST_DATA) / "dialogs");
    ui::MenuResources().Add(ui::ParseMenuResource(ui_test::kGraphMenuJson, "graph menu"));
    page_.SetSender([this](std::string message) { server_.Send(std::move(message)); });
    dialogs_ = std::thread([this] {
      ui::HeadlessSession session(&clock_);
      ui::RealTimeAgent agent(actions_, page_);
      session.Use(agent);
      session.Loop().SetDialogObserver(&page_);
      try {
        answer_.set_value(ui::ShowMessageBox("Keep the new gains?", "Kestrel", MB_YESNO | MB_ICONQUESTION));
        ui_test::TestDialog dialog;
        endCode_.set_value(dialog.DoModal());
        events_.set_value(dialog.events);
        agent.Serve(session.Loop(), [] { return false; });
      } catch (const std::runtime_error&) {
        // The test ended with the box or the dialog open: closing the actions unwinds them.
      }
      session.Loop().SetDialogObserver(nullptr);
    });
  }
  ~GuiProtocolTest() override {
    actions_.Close();
    dialogs_.join();
  }

  unsigned short Port() const { return server_.Port(); }
  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(Port()); }
  Request Page() const { return {std::string("/ws?token=") + kToken, "127.0.0.1:" + std::to_string(Port()), Origin()}; }

  // A page that has answered the question and sees the dialog.
  std::unique_ptr<PageClient> PageAtDialog() {
    auto page = std::make_unique<PageClient>(Port(), Page());
    page->WaitForBox();
    EXPECT_EQ(page->Act({{"op", "answer"}, {"answer", IDYES}}), "");
    return page;
  }

  ui::SteadyClock clock_;
  ui::ActionQueue actions_{clock_};
  kestrel::gui::GuiSession page_{actions_, nullptr};
  kestrel::gui::GuiServer server_{{0, kToken},
                                  [this] { return page_.Greeting(); },
                                  [this](const std::string& message) { page_.Receive(message); }};
  std::promise<int> answer_;
  std::promise<int> endCode_;
  std::promise<std::vector<std::string>> events_;
  std::thread dialogs_;
};

json ControlOf(const json& dialog, int id) {
  for (const json& control : dialog["controls"]) {
    if (control["id"] == id) return control;
  }
  return nullptr;
}

TEST_F(GuiProtocolTest, APageGetsTheWholeStateThenThePatchesOfItsActions) {
  PageClient page(Port(), Page());
  const json& state = page.State();
  page.WaitForBox();
  EXPECT_EQ(state["box"]["text"], "Keep the new gains?");
  EXPECT_EQ(state["box"]["icon"], "question");
  EXPECT_EQ(state["box"]["buttons"], json::parse(R"([{"answer":6,"label":"Yes"},{"answer":7,"label":"No"}])"));
  EXPECT_THAT(page.Act({{"op", "answer"}, {"answer", IDOK}}), HasSubstr("has no \"OK\" button"));
  EXPECT_EQ(page.Act({{"op", "answer"}, {"answer", IDYES}}), "");
  EXPECT_EQ(answer_.get_future().get(), IDYES);
  EXPECT_TRUE(state["box"].is_null());
  ASSERT_EQ(state["dialogs"].size(), 1u);
  const int serial = state["dialogs"][0]["serial"];
  EXPECT_EQ(state["dialogs"][0]["caption"], "Framework Test");
  EXPECT_EQ(ControlOf(state["dialogs"][0], 1012), json::parse(R"({"kind":"radio","id":1012,"place":[1,0,1],
      "text":"Speed","enabled":true,"visible":true,"checked":0,"radioGroup":1})"));

  EXPECT_EQ(page.Act({{"op", "click"}, {"dialog", serial}, {"id", 1012}}), "");
  EXPECT_EQ(page.Act({{"op", "type"}, {"dialog", serial}, {"id", 1002}, {"text", "Axis 2"}}), "");
  EXPECT_EQ(ControlOf(state["dialogs"][0], 1012)["checked"], 1);
  EXPECT_EQ(ControlOf(state["dialogs"][0], 1002)["text"], "Axis 2");
  EXPECT_THAT(page.Act({{"op", "click"}, {"dialog", serial}, {"id", 1054}}), HasSubstr("it is disabled"));
  EXPECT_THAT(page.Act({{"op", "click"}, {"dialog", serial + 1}, {"id", 1012}}), HasSubstr("no longer the top-most"));
  EXPECT_THAT(page.Act({{"op", "fly"}, {"dialog", serial}, {"id", 1}}), HasSubstr("unknown action \"fly\""));
  EXPECT_THAT(page.Act({{"op", "save"}}), HasSubstr("no host window"));
  EXPECT_EQ(page.Act({{"op", "context"}, {"dialog", serial}, {"id", 1002}}), "");
  EXPECT_THAT(page.Act({{"op", "menu"}, {"dialog", serial}}), HasSubstr("has no \"id\""));

  EXPECT_EQ(page.Act({{"op", "close"}, {"dialog", serial}, {"answer", IDOK}}), "");
  EXPECT_EQ(endCode_.get_future().get(), IDOK);
}

TEST_F(GuiProtocolTest, AReconnectingPageGetsTheStateItLeftAndTakesOverFromTheOldOne) {
  std::unique_ptr<PageClient> first = PageAtDialog();
  const int serial = first->State()["dialogs"][0]["serial"];
  EXPECT_EQ(first->Act({{"op", "type"}, {"dialog", serial}, {"id", 1002}, {"text", "Half typed"}}), "");

  PageClient second(Port(), Page());
  second.ReadUntil("state");
  EXPECT_EQ(second.State(), first->State());
  EXPECT_EQ(second.Version(), first->Version());
  EXPECT_TRUE(first->Closed());
  EXPECT_EQ(second.Act({{"op", "close"}, {"dialog", serial}, {"answer", IDCANCEL}}), "");
  EXPECT_EQ(endCode_.get_future().get(), IDCANCEL);
}

// The popup is drawn at the control right-clicked; the right-click's own reply comes once the
// popup has been chosen from or dismissed.
TEST_F(GuiProtocolTest, APopupMenuWaitsForTheNextActionWhichChoosesOrDismissesIt) {
  std::unique_ptr<PageClient> page = PageAtDialog();
  const json& state = page->State();
  const int serial = state["dialogs"][0]["serial"];
  const auto rightClickGraph = [&](int sequence) {
    page->Send({{"seq", sequence}, {"op", "context"}, {"dialog", serial}, {"id", ui_test::kGraph}});
    page->WaitForShown("popup");
  };
  rightClickGraph(101);
  EXPECT_EQ(state["popup"], json::parse(R"({"dialog":)" + std::to_string(serial) + R"(,"control":1044,"items":[
      {"id":10062,"text":"&Edit settings...","enabled":true,"checked":false},
      {"id":10064,"text":"&Autoscale","enabled":true,"checked":true}, {"separator":true},
      {"text":"&File","items":[{"id":10065,"text":"&Load...","enabled":false,"checked":false},
                               {"id":10066,"text":"&Save...","enabled":true,"checked":false}]}]})"));
  EXPECT_THAT(page->Act({{"op", "menu"}, {"dialog", serial}, {"id", 10065}}), HasSubstr("not an enabled item"));
  EXPECT_FALSE(state["popup"].is_null());
  EXPECT_EQ(page->Act({{"op", "menu"}, {"dialog", serial}, {"id", 10066}}), "");
  page->WaitForShown("popup", false);

  rightClickGraph(102);
  EXPECT_EQ(page->Act({{"op", "type"}, {"dialog", serial}, {"id", ui_test::kName}, {"text", "Axis 3"}}), "");
  EXPECT_TRUE(state["popup"].is_null());
  EXPECT_EQ(ControlOf(state["dialogs"][0], ui_test::kName)["text"], "Axis 3");

  EXPECT_EQ(page->Act({{"op", "close"}, {"dialog", serial}, {"answer", IDOK}}), "");
  EXPECT_EQ(endCode_.get_future().get(), IDOK);
  const std::vector<std::string> events = events_.get_future().get();
  EXPECT_EQ(std::count(events.begin(), events.end(), "plot command 10066"), 1);
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.starts_with("plot"); }), 1);
}

struct Refusal {
  const char* what;
  bool pageRefusedToo;  // a GET of the page, not a WebSocket, with the same headers
  std::string target;
  std::string host;    // "" : the server's own
  std::string origin;  // "-": none; "": the server's own
};

class GuiRefusalTest : public GuiProtocolTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(GuiRefusalTest, IsRefusedAsAPageAndAsARequest) {
  const Refusal& refusal = GetParam();
  Request request{refusal.target, refusal.host.empty() ? "127.0.0.1:" + std::to_string(Port()) : refusal.host,
                  refusal.origin == "-" ? "" : refusal.origin.empty() ? Origin() : refusal.origin};
  const Request get{"/" + request.target.substr(3), request.host, request.origin};
  EXPECT_EQ(HttpStatus(Port(), get), refusal.pageRefusedToo ? 403u : 200u) << refusal.what;
  EXPECT_THROW(PageClient(Port(), request), boost::system::system_error);
}

INSTANTIATE_TEST_SUITE_P(
    EveryoneButThePage, GuiRefusalTest,
    ::testing::Values(Refusal{"NoToken", true, "/ws", "", ""}, Refusal{"WrongToken", true, "/ws?token=0123", "", ""},
                      Refusal{"AnotherSite", true, std::string("/ws?token=") + kToken, "", "http://evil.example"},
                      Refusal{"NoOrigin", false, std::string("/ws?token=") + kToken, "", "-"},
                      Refusal{"AnotherHostName", true, std::string("/ws?token=") + kToken, "rebound.example:80", ""}),
    [](const ::testing::TestParamInfo<Refusal>& refusal) { return std::string(refusal.param.what); });

TEST_F(GuiProtocolTest, ThePageIsServedWithTheTokenOnly) {
  const std::string host = "localhost:" + std::to_string(Port());
  EXPECT_EQ(HttpStatus(Port(), {std::string("/?token=") + kToken, host, ""}), 200u);
  EXPECT_EQ(HttpStatus(Port(), {std::string("/app.js?token=") + kToken, host, ""}), 200u);
  EXPECT_EQ(HttpStatus(Port(), {std::string("/nothing?token=") + kToken, host, ""}), 404u);
  EXPECT_EQ(HttpStatus(Port(), {"/", host, ""}), 403u);
}

}  // namespace
}  // namespace gui_test
