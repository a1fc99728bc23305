// Plots: the palette, the CSV and SVG files of a hand-made document, and a graph control's view
// as points arrive.
#include <expat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
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
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("kestrel-plots-" + std::to_string(::getpid()));
  CGraphDocument document;
  CGraphFilter& filter = document.AddFilter();
};

TEST_F(GraphFiles, CsvHoldsTheCurvesColumnsExactlyAndAFailedWriteNamesTheFile) {
  std::string error;
  ASSERT_TRUE(filter.ExportToASCII("Step", error)) << error;
  EXPECT_EQ(Read(directory / "Step.csv"),
            "time [s],Current_Reference [A],U<ref>& [V],Motor_Current [A]\n0,0,0,0\n0.1,3.4,24,0.1\n"
            "0.2,3.4,1e-07,0.3333333333333333\n");

  drivebase::SetPlotDirectory((directory / "missing").string());
  EXPECT_FALSE(filter.ExportToASCII("Step", error));
  EXPECT_THAT(error, HasSubstr((directory / "missing" / "Step.csv").string()));
  EXPECT_FALSE(CGraphWindow(2, 0).CreateWMF("Step", error)) << "a window without a filter has nothing to draw";
  EXPECT_FALSE(std::filesystem::exists(directory / "missing"));
  drivebase::SetPlotDirectory((directory / "inner").string());
  std::filesystem::create_directories(directory / "inner");
  for (const char* name : {"../Escaped", "/Escaped", "..\\Escaped"}) {
    EXPECT_FALSE(filter.ExportToASCII(name, error)) << name;
    EXPECT_THAT(error, HasSubstr("must not name a folder")) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(directory / "Escaped.csv")) << "nothing written beside the plot directory";
}

// The SVG read back with an XML parser (it must be well-formed): each element with its
// attributes, its text and the class of the enclosing <g>.
struct SvgElement {
  std::string name, text, group;
  std::map<std::string, std::string> attributes;
};

struct SvgReader {
  std::vector<SvgElement> elements;
  std::vector<std::string> groups;
  std::vector<std::size_t> open;

  static void Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& s = *static_cast<SvgReader*>(data);
    SvgElement& element = s.elements.emplace_back(SvgElement{name, "", s.groups.empty() ? "" : s.groups.back(), {}});
    for (int i = 0; attributes[i] != nullptr; i += 2) element.attributes[attributes[i]] = attributes[i + 1];
    if (element.name == "g") s.groups.push_back(element.attributes["class"]);
    s.open.push_back(s.elements.size() - 1);
  }
  static void End(void* data, const XML_Char* name) {
    auto& s = *static_cast<SvgReader*>(data);
    if (std::string(name) == "g") s.groups.pop_back();
    s.open.pop_back();
  }
  static void Text(void* data, const XML_Char* text, int length) {
    auto& s = *static_cast<SvgReader*>(data);
    if (!s.open.empty()) s.elements[s.open.back()].text.append(text, static_cast<std::size_t>(length));
  }
};

std::vector<SvgElement> ParseSvg(const std::string& svg) {
  SvgReader reader;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &reader);
  XML_SetElementHandler(parser, &SvgReader::Start, &SvgReader::End);
  XML_SetCharacterDataHandler(parser, &SvgReader::Text);
  const bool wellFormed = XML_Parse(parser, svg.data(), static_cast<int>(svg.size()), 1) == XML_STATUS_OK;
  const std::string why = wellFormed ? "" : XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  if (!wellFormed) throw std::runtime_error("SVG is not well-formed: " + why);
  return reader.elements;
}

std::vector<std::string> Texts(const std::vector<SvgElement>& elements, const std::string& group) {
  std::vector<std::string> texts;
  for (const SvgElement& element : elements) {
    if (element.name == "text" && element.group == group) texts.push_back(element.text);
  }
  return texts;
}

TEST_F(GraphFiles, SvgDrawsEachCurveInItsColourOnRoundNumberAxes) {
  const drivebase::GraphView view{.xMin = 0.0, .xMax = 0.01, .y1Min = -1.2, .y1Max = 3.4, .y2Min = 0.0, .y2Max = 24.0};
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

  const auto oneAxis = ParseSvg(drivebase::RenderGraphSvg(filter, view, 1));
  EXPECT_TRUE(Texts(oneAxis, "y2-axis").empty());
  EXPECT_EQ(Texts(oneAxis, "y1-axis").back(), "[A, V]") << "every curve on the left axis";
}

// New columns (a logger reset, then fewer variables) keep the filter's curves: a curve whose
// column is gone must not read the next row's values, and no file or view may show it.
TEST_F(GraphFiles, CurvesWhoseColumnIsGoneAreLeftOutOfEveryRendering) {
  document.SetColumns({{"time", "s"}, {"Current_Reference", "A"}, {"Motor_Current", "A"}});
  document.AddRow({0.0, 0.0, 0.0});
  document.AddRow({0.1, 3.4, 2.5});
  EXPECT_THROW(document.Value(0, 3), std::out_of_range) << "column 3 of row 0 is not row 1's time";
  ASSERT_EQ(filter.ShownCurves().size(), 2u);
  EXPECT_EQ(drivebase::RenderGraphCsv(filter),
            "time [s],Current_Reference [A],Motor_Current [A]\n0,0,0\n0.1,3.4,2.5\n");
  const drivebase::GraphView view = filter.ZoomedOutView();
  EXPECT_DOUBLE_EQ(view.y1Max, 3.4 + 0.05 * 3.4);
  const auto svg = ParseSvg(drivebase::RenderGraphSvg(filter, view, 2));
  EXPECT_THAT(Texts(svg, "legend"), ElementsAre("Current_Reference [A]", "Motor_Current [A]"));
  EXPECT_TRUE(Texts(svg, "y2-axis").empty()) << "the right axis' only curve is gone";
  document.SetColumns({{"time", "s"}});
  document.AddRow({0.0});
  EXPECT_EQ(drivebase::RenderGraphCsv(filter), "");
}

// A dialog with a label and a graph placeholder, the window on the graph.
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
    return graph.SubclassDlgItem(1361, this, &filter);
  }
  const CGraphFilter& filter;
  CGraphWindow graph{2, 0};
};

TEST_F(GraphFiles, TheWindowsViewFollowsAppendedPointsUntilTheUserZooms) {
  ui::HeadlessSession session;
  ui::TestAgent user;
  PlotDialog dialog(filter);
  CGraphWindow& graph = dialog.graph;
  user.Do("points arrive, the user zooms, the points are cleared", [&](ui::DialogDriver& top) {
        EXPECT_EQ(dialog.GetDlgItem(1361), &graph);
        EXPECT_FALSE(CGraphWindow(1, 0).SubclassDlgItem(4242, &dialog, &filter));
        EXPECT_THROW(CGraphWindow(1, 0).SubclassDlgItem(1001, &dialog, &filter), ui::DialogError) << "a label";
        graph.RefreshGraph();
        EXPECT_EQ(graph.ShownPoints(), 3u);
        document.AddRow({0.3, 5.0, 4.0, 12.0});
        graph.UpdateLastPoint();
        EXPECT_EQ(graph.ShownPoints(), 4u);
        EXPECT_DOUBLE_EQ(graph.View().xMax, 0.3);
        EXPECT_DOUBLE_EQ(graph.View().y1Max, 5.25) << "5 % above the highest current";

        graph.SetView({.xMin = 0.1, .xMax = 0.15});
        document.AddRow({0.4, 5.0, 4.5, 12.0});
        graph.UpdateLastPoint();
        EXPECT_EQ(graph.ShownPoints(), 5u);
        EXPECT_DOUBLE_EQ(graph.View().xMax, 0.15) << "a chosen region stays";
        graph.DoZoomOut();
        EXPECT_DOUBLE_EQ(graph.View().xMax, 0.4);
        EXPECT_GE(top.Control(1361).invalidations, 3u);
        std::string error;
        ASSERT_TRUE(graph.CreateWMF("Shown", error)) << error;
        EXPECT_EQ(Read(directory / "Shown.svg"), drivebase::RenderGraphSvg(filter, graph.View(), 2));

        document.ClearRows();
        document.AddRow({0.5, -1.0, -1.0, 0.0});
        graph.UpdateLastPoint();
        EXPECT_DOUBLE_EQ(graph.View().xMin, 0.5) << "the points before the clearing are forgotten";
        document.ClearRows();
        graph.RefreshGraph();
        EXPECT_EQ(graph.ShownPoints(), 0u);
      })
      .Close(IDCANCEL);
  EXPECT_EQ(ui::RunWithAgent(dialog, user), IDCANCEL);
}

}  // namespace
