// A dialog's graph control: the plot the server describes (columns, curves, view) drawn with
// uPlot, its points appended as they arrive. It follows the server's view until the user zooms
// by dragging; "Zoom out" (or a double click) follows again. "SVG" and "CSV" download the plot
// that the server draws and the points it holds.
import uPlot from "uplot";
import type { GraphState } from "./protocol";

export type PlotAct = (op: string, fields?: Record<string, unknown>) => void;

type Range = [number, number];

function label(column: { name: string; unit: string }): string {
  return `${column.name} [${column.unit}]`;
}

// "[A, V]": the units of the curves on one axis, each once.
function unitsLabel(graph: GraphState, onAxis: (axis: number) => boolean): string {
  const onThisAxis = graph.curves.filter((curve) => onAxis(curve.axis));
  const units = [...new Set(onThisAxis.map((curve) => graph.columns[curve.y].unit))];
  return units.length ? `[${units.join(", ")}]` : "";
}

// The curves drawn against the first curve's X column (the time, in every plot of a logger); a
// curve against another column is left to the SVG download.
function sharedX(graph: GraphState): GraphState["curves"] {
  return graph.curves.filter((curve) => curve.x === graph.curves[0].x);
}

// The right axis is drawn when the graph has two and a curve uses it; otherwise every curve
// goes on the left one, as in the server's SVG.
function usesRightAxis(graph: GraphState): boolean {
  return graph.yAxes >= 2 && graph.curves.some((curve) => curve.axis === 2);
}

export class GraphPlot {
  readonly element: HTMLElement;
  private readonly holder: HTMLElement;
  private plot: uPlot | null = null;
  private shape = "";  // the columns, curves and axes the plot was built for
  private points: (number | null)[][] | null = null;  // the server's rows the data was taken from
  private data: (number | null)[][] = [];
  private taken = 0;
  private zoomed = false;
  private redrawPending = false;
  private view: GraphState["view"] | null = null;
  private rightAxis = false;

  constructor(id: number, act: PlotAct) {
    this.element = document.createElement("div");
    this.element.className = "graph";
    const tools = document.createElement("div");
    tools.className = "graph-tools";
    const button = (text: string, title: string, onClick: () => void) => {
      const made = document.createElement("button");
      made.type = "button";
      made.textContent = text;
      made.title = title;
      made.addEventListener("click", onClick);
      tools.append(made);
    };
    button("Zoom out", "Show every point", () => this.zoomOut());
    button("SVG", "Download the plot as SVG", () => act("plot", { id, format: "svg", view: this.shownView() }));
    button("CSV", "Download the points as CSV", () => act("plot", { id, format: "csv" }));
    this.holder = document.createElement("div");
    this.element.append(this.holder, tools);
  }

  update(graph: GraphState | undefined): void {
    if (!graph || graph.curves.length === 0) {
      this.clear();  // no curve left to draw (a logger reset): no stale plot either
      return;
    }
    const shape = JSON.stringify([graph.columns, graph.curves, graph.yAxes]);
    if (shape !== this.shape) this.build(graph, shape);
    if (graph.points !== this.points) {
      this.points = graph.points;
      this.taken = 0;
      this.data = this.columnsOf(graph).map(() => []);
    }
    const columns = this.columnsOf(graph);
    for (; this.taken < graph.points.length; ++this.taken) {
      const row = graph.points[this.taken];
      columns.forEach((column, index) => this.data[index].push(row[column]));
    }
    this.view = graph.view;
    this.redrawOnNextFrame();
  }

  // Patches may arrive far more often than the screen shows frames: the plot is drawn at most
  // once per frame, with every point that has arrived by then.
  private redrawOnNextFrame(): void {
    if (this.redrawPending) return;
    this.redrawPending = true;
    requestAnimationFrame(() => {
      this.redrawPending = false;
      this.plot?.setData(this.data as uPlot.AlignedData, false);
      if (!this.zoomed) this.follow();
    });
  }

  // The shared X column, then the Y column of each curve drawn.
  private columnsOf(graph: GraphState): number[] {
    return [graph.curves[0].x, ...sharedX(graph).map((curve) => curve.y)];
  }

  private build(graph: GraphState, shape: string): void {
    this.plot?.destroy();
    this.shape = shape;
    this.points = null;
    this.zoomed = false;
    this.rightAxis = usesRightAxis(graph);
    const scaleOf = (axis: number) => (axis === 2 && this.rightAxis ? "y2" : "y1");
    const axes: uPlot.Axis[] = [
      { label: label(graph.columns[graph.curves[0].x]) },
      { scale: "y1", label: unitsLabel(graph, (axis) => scaleOf(axis) === "y1"), grid: { show: true } },
    ];
    if (this.rightAxis) {
      axes.push({ scale: "y2", side: 1, label: unitsLabel(graph, (axis) => axis === 2), grid: { show: false } });
    }
    const options: uPlot.Options = {
      width: 520,
      height: 280,
      series: [
        { label: label(graph.columns[graph.curves[0].x]) },
        ...sharedX(graph).map((curve) => ({
          label: label(graph.columns[curve.y]),
          scale: scaleOf(curve.axis),
          stroke: curve.colour,
          width: Math.max(1, curve.width),
        })),
      ],
      axes,
      scales: { x: { time: false, auto: false }, y1: { auto: false }, y2: { auto: false } },
      cursor: { drag: { x: true, y: true, uni: 40 }, bind: { dblclick: () => null } },
      hooks: {
        setSelect: [(plot) => {
          if (plot.select.width > 0 || plot.select.height > 0) this.zoomed = true;
        }],
      },
    };
    this.plot = new uPlot(options, [[], ...sharedX(graph).map(() => [])] as uPlot.AlignedData, this.holder);
    this.plot.over.addEventListener("dblclick", () => this.zoomOut());
  }

  private clear(): void {
    this.plot?.destroy();
    this.plot = null;
    this.shape = "";
    this.points = null;
    this.view = null;
  }

  private zoomOut(): void {
    this.zoomed = false;
    this.follow();
  }

  private follow(): void {
    const plot = this.plot;
    const view = this.view;
    if (!plot || !view) return;
    const set = (scale: string, [min, max]: Range) => plot.setScale(scale, { min, max });
    plot.batch(() => {
      set("x", view.x);
      set("y1", view.y1);
      if (this.rightAxis) set("y2", view.y2);
    });
  }

  // The region shown, for the SVG: the user's zoom, or none (the server's view).
  private shownView(): Record<string, Range> | undefined {
    const plot = this.plot;
    if (!plot || !this.zoomed) return undefined;
    const range = (scale: string): Range => [plot.scales[scale].min ?? 0, plot.scales[scale].max ?? 1];
    return this.rightAxis ? { x: range("x"), y1: range("y1"), y2: range("y2") } : { x: range("x"), y1: range("y1") };
  }
}

// Saves a file the server sent (a downloaded plot) through the browser.
export function saveFile(name: string, mime: string, text: string): void {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([text], { type: mime }));
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}
