// Plots: the palette, the CSV and SVG files of a hand-made document, and a graph control's view
// as points arrive.
#include <expat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/graph.h"
#include "ui/dialog.h"
#include "ui/session.h"
#include "ui/template_library.h"
#include "ui/test_agent.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(GraphPalette, EntriesAndWrapping) {
  const std::vector<std::pair<int, COLORREF>> table = {
      {0, RGB(0, 0, 0)},      {1, RGB(0, 0, 128)},     {2, RGB(0, 128, 0)},       {5, RGB(128, 0, 128)},
      {6, RGB(128, 128, 0)},  {7, RGB(192, 192, 192)}, {8, RGB(128, 128, 128)},   {12, RGB(255, 0, 0)},
      {14, RGB(255, 255, 0)}, {15, RGB(255, 255, 255)}, {16, RGB(0, 0, 0)},       {-1, RGB(255, 255, 255)}};
  for (const auto& [index, colour] : table) EXPECT_EQ(RGB16(index), colour) << "entry " << index;
  EXPECT_EQ(drivebase::ColourHex(RGB16(4)), "#800000") << "red is the low byte";
}

// A step of 0.2 s: current reference, measured current (left axis), voltage (right axis).
class GraphFiles : public ::testing::Test {
 protected:
  GraphFiles() {
    std::filesystem::create_directories(directory);
    drivebase::SetPlotDirectory(directory.string());
    document.SetColumns({{"time", "s"}, {"Current_Reference", "A"}, {"Motor_Current", "A"}, {"U<ref>&", "V"}});
    document.AddRow({0.0, 0.0, 0.0, 0.0});
    document.AddRow({0.1, 3.4, 0.1, 24.0});
    document.AddRow({0.2, 3.4, 1.0 / 3.0, 1e-7});
    filter.Add(CXYCurve(1, 0, 1, 2, RGB16(2)));
    filter.Add(CXYCurve(2, 0, 3, 2, RGB16(8)));
    filter.Add(CXYCurve(1, 0, 2, 3, RGB16(5)));
  }
  ~GraphFiles() override {
    drivebase::SetPlotDirectory("");
    std::filesystem::remove_all(directory);
  }
  static std::string Read(const std::filesystem::path& file) {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
  }

  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("kestrel-plots-" + std::to_string(::getpid()));
  CGraphDocument document;
  CGraphFilter& filter = document.AddFilter();
};

TEST_F(GraphFiles, CsvHoldsTheCurvesColumnsWithNumbersThatReadBackExactly) {
  std::string error;
  ASSERT_TRUE(filter.ExportToASCII("Step", error)) << error;
  EXPECT_EQ(Read(directory / "Step.csv"),
            "time [s],Current_Reference [A],U<ref>& [V],Motor_Current [A]\n"
            "0,0,0,0\n"
            "0.1,3.4,24,0.1\n"
            "0.2,3.4,1e-07,0.3333333333333333\n");
}

TEST_F(GraphFiles, AnUnwritableDirectoryIsAnErrorNamingTheFile) {
  drivebase::SetPlotDirectory((directory / "missing").string());
  CGraphWindow window(2, 0);
  std::string error;
  EXPECT_FALSE(filter.ExportToASCII("Step", error));
  EXPECT_THAT(error, HasSubstr((directory / "missing" / "Step.csv").string()));
  EXPECT_FALSE(window.CreateWMF("Step", error)) << "a window without a filter has nothing to draw";
  EXPECT_THAT(error, HasSubstr("Step"));
  EXPECT_FALSE(std::filesystem::exists(directory / "missing"));
}

// The SVG read back with an XML parser: the elements with their attributes and texts.
struct SvgElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;
  std::string group;  // the class of the enclosing <g>
};

std::vector<SvgElement> ParseSvg(const std::string& svg) {
  struct State {
    std::vector<SvgElement> elements;
    std::vector<std::string> groups;
    std::vector<std::size_t> open;
  } state;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        auto& s = *static_cast<State*>(data);
        SvgElement element{name, {}, {}, s.groups.empty() ? "" : s.groups.back()};
        for (int i = 0; attributes[i] != nullptr; i += 2) element.attributes[attributes[i]] = attributes[i + 1];
        if (element.name == "g") s.groups.push_back(element.attributes["class"]);
        s.open.push_back(s.elements.size());
        s.elements.push_back(std::move(element));
      },
      [](void* data, const XML_Char* name) {
        auto& s = *static_cast<State*>(data);
        if (std::string(name) == "g") s.groups.pop_back();
        s.open.pop_back();
      });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    auto& s = *static_cast<State*>(data);
    if (!s.open.empty()) s.elements[s.open.back()].text.append(text, static_cast<std::size_t>(length));
  });
  const bool wellFormed = XML_Parse(parser, svg.data(), static_cast<int>(svg.size()), 1) == XML_STATUS_OK;
  const std::string why = wellFormed ? "" : XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  if (!wellFormed) throw std::runtime_error("SVG is not well-formed: " + why);
  return state.elements;
}

std::vector<std::string> Texts(const std::vector<SvgElement>& elements, const std::string& group) {
  std::vector<std::string> texts;
  for (const SvgElement& element : elements) {
    if (element.name == "text" && element.group == group) texts.push_back(element.text);
  }
  return texts;
}

TEST_F(GraphFiles, SvgDrawsEachCurveInItsColourOnRoundNumberAxes) {
  drivebase::GraphView view;
  view.xMin = 0.0, view.xMax = 0.01;
  view.y1Min = -1.2, view.y1Max = 3.4;
  view.y2Min = 0.0, view.y2Max = 24.0;
  const auto svg = ParseSvg(drivebase::RenderGraphSvg(filter, view, 2));

  EXPECT_THAT(Texts(svg, "x-axis"), ElementsAre("0.000", "0.002", "0.004", "0.006", "0.008", "0.010", "time [s]"));
  EXPECT_THAT(Texts(svg, "y1-axis"), ElementsAre("-1", "0", "1", "2", "3", "[A]"));
  EXPECT_THAT(Texts(svg, "y2-axis"), ElementsAre("0", "5", "10", "15", "20", "[V]"));
  EXPECT_THAT(Texts(svg, "legend"), ElementsAre("Current_Reference [A]", "U<ref>& [V]", "Motor_Current [A]"));

  std::vector<std::string> strokes;
  for (const SvgElement& element : svg) {
    if (element.name != "polyline") continue;
    strokes.push_back(element.attributes.at("stroke") + "/" + element.attributes.at("stroke-width"));
    EXPECT_EQ(std::count(element.attributes.at("points").begin(), element.attributes.at("points").end(), ','), 3);
  }
  EXPECT_THAT(strokes, ElementsAre("#008000/2", "#808080/2", "#800080/3"));
  // The reference's first point: the left end of the X axis, at 0 A on the left axis: 380 px
  // for 4.6 A, so 1.2 A (99.13 px) above the axis' bottom at 400 px.
  const auto first = std::find_if(svg.begin(), svg.end(), [](const SvgElement& e) { return e.name == "polyline"; });
  EXPECT_THAT(first->attributes.at("points"), ::testing::StartsWith("80.00,300.87 "));
}

TEST_F(GraphFiles, OneYAxisPutsEveryCurveOnTheLeft) {
  const auto svg = ParseSvg(drivebase::RenderGraphSvg(filter, filter.ZoomedOutView(), 1));
  EXPECT_TRUE(Texts(svg, "y2-axis").empty());
  EXPECT_EQ(Texts(svg, "y1-axis").back(), "[A, V]");
}

// A dialog with one graph placeholder and the window on it.
constexpr int kGraphId = 1361;
constexpr int kLabelId = 1001;

class PlotDialog : public CDialog {
 public:
  explicit PlotDialog(const CGraphFilter& shown) : CDialog(9361), filter(shown) {
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(
        R"({"id": 9361, "caption": "Plot", "groups": [{"rows": [[{"id": 1001, "kind": "static", "text": "x"},
            {"id": 1361, "kind": "graph"}], [{"id": 2, "kind": "button", "text": "Cancel"}]]}]})",
        "plot dialog"));
  }
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    attached = graph.SubclassDlgItem(kGraphId, this, &filter);
    return true;
  }
  const CGraphFilter& filter;
  CGraphWindow graph{2, 0};
  bool attached = false;
};

TEST_F(GraphFiles, TheWindowsViewFollowsAppendedPointsUntilTheUserZooms) {
  ui::HeadlessSession session;
  ui::TestAgent user;
  PlotDialog dialog(filter);
  user.Do("the window took the placeholder and refreshes",
          [&](ui::DialogDriver&) {
            EXPECT_TRUE(dialog.attached);
            EXPECT_FALSE(CGraphWindow(1, 0).SubclassDlgItem(4242, &dialog, &filter));
            EXPECT_THROW(CGraphWindow(1, 0).SubclassDlgItem(kLabelId, &dialog, &filter), ui::DialogError);
            dialog.graph.RefreshGraph();
            EXPECT_EQ(dialog.graph.ShownPoints(), 3u);
            EXPECT_DOUBLE_EQ(dialog.graph.View().xMax, 0.2);
          })
      .Do("an appended point widens the zoomed-out view",
          [&](ui::DialogDriver&) {
            document.AddRow({0.3, 5.0, 4.0, 12.0});
            dialog.graph.UpdateLastPoint();
            EXPECT_EQ(dialog.graph.ShownPoints(), 4u);
            EXPECT_DOUBLE_EQ(dialog.graph.View().xMax, 0.3);
            EXPECT_DOUBLE_EQ(dialog.graph.View().y1Max, 5.25) << "5 % above the highest current";
          })
      .Do("a chosen region stays while points arrive; zooming out spans them",
          [&](ui::DialogDriver& top) {
            drivebase::GraphView region;
            region.xMin = 0.1, region.xMax = 0.15;
            dialog.graph.SetView(region);
            document.AddRow({0.4, 5.0, 4.5, 12.0});
            dialog.graph.UpdateLastPoint();
            EXPECT_EQ(dialog.graph.ShownPoints(), 5u);
            EXPECT_DOUBLE_EQ(dialog.graph.View().xMax, 0.15);
            dialog.graph.DoZoomOut();
            EXPECT_DOUBLE_EQ(dialog.graph.View().xMax, 0.4);
            EXPECT_GE(top.Control(kGraphId).invalidations, 3u);
          })
      .Do("the window writes the plot it shows",
          [&](ui::DialogDriver&) {
            std::string error;
            ASSERT_TRUE(dialog.graph.CreateWMF("Shown", error)) << error;
            EXPECT_EQ(Read(directory / "Shown.svg"), drivebase::RenderGraphSvg(filter, dialog.graph.View(), 2));
            document.ClearRows();
            dialog.graph.RefreshGraph();
            EXPECT_EQ(dialog.graph.ShownPoints(), 0u);
          })
      .Close(IDCANCEL);
  EXPECT_EQ(ui::RunWithAgent(dialog, user), IDCANCEL);
}

}  // namespace
