// A dialog's graph over the front end's protocol: its plot in the state, the points appended as
// patches of the new rows only, a clearing that resets the page's copy, a page that reconnects
// with every point, and the plot downloaded as SVG and CSV.
#include <algorithm>
#include <cmath>
#include <future>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/graph.h"
#include "gui_server.h"
#include "gui_session.h"
#include "page_client.h"
#include "ui/dialog.h"
#include "ui/message_map.h"
#include "ui/session.h"
#include "ui/template_library.h"

namespace gui_test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

constexpr const char* kToken = "00112233445566778899aabbccddeeff";
enum : int { kGraph = 1361, kAppend = 1050, kClear = 1051, kFewer = 1052 };

// A live plot: each "Append" adds three rows of a current step (time, reference, current), as an
// upload draws them; "Clear" starts again; "Fewer" leaves the motor current's column out.
class LivePlotDialog : public CDialog {
 public:
  LivePlotDialog() : CDialog(9362) {
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(
        R"({"id": 9362, "caption": "Live Plot", "groups": [{"rows": [[{"id": 1361, "kind": "graph"}],
            [{"id": 1050, "kind": "button", "text": "Append"}, {"id": 1051, "kind": "button", "text": "Clear"},
             {"id": 1052, "kind": "button", "text": "Fewer"},
             {"id": 2, "kind": "button", "text": "Cancel"}]]}]})",
        "live plot"));
    document.SetColumns({{"time", "s"}, {"Current_Reference", "A"}, {"Motor_Current", "A"}});
    filter.Add(CXYCurve(1, 0, 1, 2, RGB16(2)));
    filter.Add(CXYCurve(2, 0, 2, 1, RGB16(5)));
  }
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    graph.SubclassDlgItem(kGraph, this, &filter);
    graph.RefreshGraph();
    return true;
  }
  const ui::MessageMap* GetMessageMap() const override {
    static const ui::MessageMap map = ui::MessageMapBuilder<LivePlotDialog>(CDialog::GetMessageMap())
                                          .Command(kAppend, &LivePlotDialog::OnAppend)
                                          .Command(kClear, &LivePlotDialog::OnClear)
                                          .Command(kFewer, &LivePlotDialog::OnFewer)
                                          .Build();
    return &map;
  }

  CGraphDocument document;
  CGraphFilter& filter = document.AddFilter();
  CGraphWindow graph{2, 0};

 private:
  void OnAppend() {
    for (int i = 0; i < 3; ++i) {
      const double t = 1e-4 * static_cast<double>(document.RowCount());
      document.AddRow({t, 2.0, 2.0 * (1.0 - std::exp(-t / 3e-4))});
      graph.UpdateLastPoint();
    }
  }
  void OnClear() {
    document.ClearRows();
    graph.RefreshGraph();
  }
  void OnFewer() {
    document.SetColumns({{"time", "s"}, {"Current_Reference", "A"}});
    graph.RefreshGraph();
  }
};

class GuiPlotTest : public ::testing::Test {
 protected:
  GuiPlotTest() {
    page_.SetSender([this](std::string message) { server_.Send(std::move(message)); });
    dialogs_ = std::thread([this] {
      ui::HeadlessSession session(&clock_);
      ui::RealTimeAgent agent(actions_, page_);
      session.Use(agent);
      session.Loop().SetDialogObserver(&page_);
      try {
        LivePlotDialog dialog;
        dialog.DoModal();
      } catch (const std::runtime_error&) {
        // The test ended with the dialog open: closing the actions unwinds it.
      }
      session.Loop().SetDialogObserver(nullptr);
    });
  }
  ~GuiPlotTest() override {
    actions_.Close();
    dialogs_.join();
  }

  Request Page() const {
    const std::string host = "127.0.0.1:" + std::to_string(server_.Port());
    return {std::string("/ws?token=") + kToken, host, "http://" + host};
  }
  // The page's state of the graph, once the dialog is shown.
  static json Graph(PageClient& page) {
    if (!page.State().is_object()) page.ReadUntil("state");
    while (page.State()["dialogs"].empty()) page.ReadUntil("patch");
    return page.State()["dialogs"][0]["controls"][1]["graph"];  // after the group's frame
  }
  // The operations of the patches received that concern points.
  static std::vector<json> PointOperations(PageClient& page) {
    std::vector<json> operations;
    for (const json& message : page.TakeReceived()) {
      if (message["type"] != "patch") continue;
      for (const json& operation : message["patch"]) {
        if (operation["path"].get<std::string>().find("/points") != std::string::npos) operations.push_back(operation);
      }
    }
    return operations;
  }

  ui::SteadyClock clock_;
  ui::ActionQueue actions_{clock_};
  kestrel::gui::GuiSession page_{actions_, nullptr};
  kestrel::gui::GuiServer server_{{0, kToken},
                                  [this] { return page_.Greeting(); },
                                  [this](const std::string& message) { page_.Receive(message); }};
  std::thread dialogs_;
};

TEST_F(GuiPlotTest, PointsTravelAsTheNewRowsAClearingResetsThemAndThePlotDownloads) {
  PageClient page(server_.Port(), Page());
  EXPECT_EQ(Graph(page)["curves"], json::parse(R"([{"x":0,"y":1,"axis":1,"colour":"#008000","width":2},
                                                   {"x":0,"y":2,"axis":2,"colour":"#800080","width":1}])"));
  EXPECT_EQ(Graph(page)["points"], json::array());
  const int serial = page.State()["dialogs"][0]["serial"];
  const auto click = [&](int id) { ASSERT_EQ(page.Act({{"op", "click"}, {"dialog", serial}, {"id", id}}), ""); };
  page.TakeReceived();
  for (std::size_t round = 1; round <= 2; ++round) {
    click(kAppend);
    const std::vector<json> operations = PointOperations(page);
    ASSERT_EQ(operations.size(), 3u) << "round " << round << ": one operation per new row";
    for (const json& operation : operations) EXPECT_EQ(operation["op"].dump() + operation["path"].dump(), R"("add""/dialogs/0/controls/1/graph/points/-")");
    EXPECT_EQ(Graph(page)["points"].size(), 3 * round);
  }
  EXPECT_EQ(Graph(page)["points"][5], json::array({5e-4, 2.0, 2.0 * (1.0 - std::exp(-5e-4 / 3e-4))}));
  EXPECT_DOUBLE_EQ(Graph(page)["view"]["x"][1].get<double>(), 5e-4) << "the zoomed-out view follows the points";

  click(kClear);
  EXPECT_EQ(PointOperations(page),
            std::vector<json>{json::parse(R"({"op":"add","path":"/dialogs/0/controls/1/graph/points","value":[]})")});
  click(kAppend);
  EXPECT_EQ(PointOperations(page).size(), 3u);
  EXPECT_EQ(Graph(page)["points"][0][0], 0.0) << "the rows after a clearing start again";
  PageClient again(server_.Port(), Page());
  again.ReadUntil("state");
  EXPECT_EQ(again.State(), page.State()) << "a page that connects gets every point";

  const auto download = [&](const json& fields) {
    json action = {{"op", "plot"}, {"dialog", serial}, {"id", kGraph}};
    action.update(fields);
    const std::string error = again.Act(action);
    for (const json& message : again.TakeReceived()) {
      if (message["type"] == "file") return message["name"].get<std::string>() + "\n" + message["text"].get<std::string>();
    }
    return error;
  };
  EXPECT_THAT(download({{"format", "csv"}}), ::testing::StartsWith("Live Plot.csv\ntime [s],Current_Reference [A],"
                                                                   "Motor_Current [A]\n0,2,0\n0.0001,2,"));
  const json zoomed = {{"x", {0.0, 1e-4}}, {"y1", {0.0, 4.0}}};
  EXPECT_THAT(download({{"format", "svg"}, {"view", zoomed}}), HasSubstr(">0.00010</text>")) << "the page's zoom";
  EXPECT_THAT(download({{"format", "png"}}), HasSubstr("\"svg\" or \"csv\""));
  EXPECT_THAT(download({{"format", "svg"}, {"id", kAppend}}), HasSubstr("shows no plot"));

  ASSERT_EQ(again.Act({{"op", "click"}, {"dialog", serial}, {"id", kFewer}}), "");
  EXPECT_EQ(Graph(again)["curves"].size(), 1u) << "the motor current's curve has no column left";
  EXPECT_EQ(download({{"format", "csv"}}), "Live Plot.csv\ntime [s],Current_Reference [A]\n");
}

}  // namespace
}  // namespace gui_test
