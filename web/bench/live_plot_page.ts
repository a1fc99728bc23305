// The page side of the live plot benchmark: a dialog's graph fed through the page's own session
// (JSON messages, patches applied, the graph updated) at 1000 points per second, as ten rows every
// 10 ms. A point's delay runs from the moment its tick was due to the first animation frame after
// the plot was drawn with it; a page that falls behind receives the ticks it missed at once, as a
// socket delivers what queued up while the page was busy.
import type uPlot from "uplot";
import { GraphPlot } from "../src/graph";
import { Session, type GraphState, type State } from "../src/protocol";

const kRowsPerTick = 10;
const kTick_ms = 10;
const kGraphPath = "/dialogs/0/controls/0/graph";

export interface LivePlotFigures {
  fed: number;           // points (rows) sent to the page
  drawn: number;         // rows in the plot at its last drawing
  run_ms: number;        // from the first tick to the last point drawn
  frames: number;        // animation frames during the run
  delays_ms: number[];   // per point, in the order fed: from its tick to the frame showing it
}

// Stands in for the socket: the session sends nothing here, and the benchmark delivers messages
// through `onmessage`.
class FeedSocket {
  static readonly OPEN = 1;
  static last: FeedSocket | null = null;
  readyState = FeedSocket.OPEN;
  onopen: (() => void) | null = null;
  onmessage: ((event: { data: string }) => void) | null = null;
  onclose: ((event: { reason: string }) => void) | null = null;
  constructor() { FeedSocket.last = this; }
  send(): void {}
  close(): void {}
}

function row(index: number): (number | null)[] {
  const t_s = 1e-3 * index;
  return [t_s, 3.0, 3.0 - 3.0 * Math.exp(-t_s / 0.05), 12.0 + Math.sin(t_s)];
}

// The current test's graph: the time, two currents on the left axis, a voltage on the right.
function liveGraph(): GraphState {
  return {
    columns: [{ name: "time", unit: "s" }, { name: "Current_Reference", unit: "A" },
      { name: "Motor_Current", unit: "A" }, { name: "Voltage_Reference", unit: "V" }],
    curves: [{ x: 0, y: 1, axis: 1, colour: "#0000ff", width: 2 },
      { x: 0, y: 3, axis: 2, colour: "#ff0000", width: 2 },
      { x: 0, y: 2, axis: 1, colour: "#008000", width: 2 }],
    view: { x: [0, 1], y1: [0, 3.5], y2: [10, 14] },
    yAxes: 2,
    generation: 0,
    points: [],
  };
}

function run(duration_s: number): Promise<LivePlotFigures> {
  (globalThis as unknown as { WebSocket: unknown }).WebSocket = FeedSocket;
  const graph = new GraphPlot(1361, () => {});
  document.body.append(graph.element);
  const session = new Session({
    state: (state: State) => graph.update(state.dialogs[0].controls[0].graph),
    refused: (error) => { throw new Error(`refused: ${error}`); },
    connection: () => {},
    file: () => {},
  });
  session.connect();
  const socket = FeedSocket.last as FeedSocket;
  // Each message is its own task, as a socket delivers them.
  const channel = new MessageChannel();
  channel.port2.onmessage = (event) => socket.onmessage?.({ data: event.data as string });
  const deliver = (message: unknown) => channel.port1.postMessage(JSON.stringify(message));
  const receive = (message: unknown) => socket.onmessage?.({ data: JSON.stringify(message) });
  const dialog = { serial: 1, template: 9363, caption: "Live Plot", visible: true,
    controls: [{ kind: "graph", id: 1361, place: [0, 0, 0], text: "", enabled: true, visible: true, graph: liveGraph() }] };
  receive({ type: "state", version: 1, state: { host: null, dialogs: [dialog], box: null, help: null, cursor: "arrow" } });

  const total = Math.round(duration_s * 1000);
  const figures: LivePlotFigures = { fed: 0, drawn: 0, run_ms: 0, frames: 0, delays_ms: [] };
  const plot = (graph as unknown as { plot: uPlot }).plot;
  let drawnRows = 0;
  let shownRows = 0;
  plot.hooks.draw = [...(plot.hooks.draw ?? []), (drawn: uPlot) => { drawnRows = drawn.data[0].length; }];

  const start_ms = performance.now();
  const dueAt = (rowIndex: number) => start_ms + Math.floor(rowIndex / kRowsPerTick) * kTick_ms;
  let version = 1;
  const feed = setInterval(() => {
    // Every tick due by now, each its own message, as the server published them.
    while (figures.fed < total && dueAt(figures.fed) <= performance.now()) {
      const patch = [];
      for (let i = 0; i < kRowsPerTick; ++i) patch.push({ op: "add", path: `${kGraphPath}/points/-`, value: row(figures.fed + i) });
      figures.fed += kRowsPerTick;
      patch.push({ op: "replace", path: `${kGraphPath}/view/x`, value: [0, Math.max(1, 1e-3 * figures.fed)] });
      deliver({ type: "patch", base: version, version: version + 1, patch });
      ++version;
    }
    if (figures.fed >= total) clearInterval(feed);
  }, kTick_ms);

  return new Promise((resolve) => {
    const frame = () => {
      const now_ms = performance.now();
      ++figures.frames;
      for (; shownRows < drawnRows; ++shownRows) figures.delays_ms.push(now_ms - dueAt(shownRows));
      const settled = figures.fed >= total && shownRows >= total;
      // A page that cannot keep up is given twice the feed's time before the run ends.
      if (settled || now_ms - start_ms > 2000 * duration_s) {
        figures.drawn = drawnRows;
        figures.run_ms = now_ms - start_ms;
        resolve(figures);
        return;
      }
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  });
}

(globalThis as unknown as { runLivePlot: typeof run }).runLivePlot = run;
