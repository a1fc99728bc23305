// The logger's plot as files: the first filter's picture (SVG) and its points (CSV).
#include "drivebase/graph.h"
#include "drivebase/logger.h"

bool CMC_Logger::SaveGraph(const std::string& name) {
  const CGraphFilter* filter = document_.GetFilter(0);
  if (filter == nullptr) return Fail("The logger has no plot to save as '" + name + "'");
  std::string error;
  const std::string picture = drivebase::RenderGraphSvg(*filter, filter->ZoomedOutView(), 2);
  if (!drivebase::WritePlotFile(name, ".svg", picture, error) || !filter->ExportToASCII(name, error)) return Fail(error);
  return true;
}
