// The progress of the commissioning road, over the main window: the step k of n and its title
// while it runs (with Stop, which ends the road before its next step), each step with its
// status, the texts its test showed, its results and, for a step that failed, the error; what to
// check next when the road stopped short; and the link that opens the report in a new tab. The
// view of an ended road can be put away until the next one.
// Everything is set as text, never as HTML.
import type { CommissionState, CommissionStep, Session } from "./protocol";

function element<K extends keyof HTMLElementTagNameMap>(tag: K, className: string, text = ""): HTMLElementTagNameMap[K] {
  const made = document.createElement(tag);
  made.className = className;
  made.textContent = text;
  return made;
}

function stepView(step: CommissionStep, running: boolean): HTMLElement {
  const item = element("li", `road-step ${step.status.replace(" ", "-")}`);
  item.dataset.name = step.name;
  item.append(element("div", "road-step-title", `${step.number}. ${step.title}: ${step.status}`));
  // The running step shows what its test is doing; a failed one where it was when it failed.
  const texts = step.status === "running" && running ? step.texts : step.status === "passed" ? [] : step.texts.slice(-1);
  for (const text of texts) item.append(element("div", "road-step-text", text));
  if (step.results.length > 0) {
    const table = element("table", "road-results");
    for (const [label, value] of step.results) {
      const row = table.insertRow();
      row.insertCell().textContent = label;
      row.insertCell().textContent = value;
    }
    item.append(table);
  }
  for (const note of step.notes) item.append(element("div", "road-step-note", note));
  if (step.error) item.append(element("div", "road-step-error", step.error));
  return item;
}

function heading(road: CommissionState, current: CommissionStep | undefined): string {
  if (road.running) return current ? `Commissioning: step ${road.step} of ${road.count}, ${current.title}` : "Commissioning";
  if (road.completed) return "Commissioning completed";
  if (road.stopped) return "Commissioning stopped on request";
  return current ? `Commissioning stopped at step ${current.number}, ${current.title}` : "Commissioning stopped";
}

export class CommissionPanel {
  private readonly panel = element("section", "commission");
  private readonly heading = element("h2", "commission-heading");
  private readonly stop = element("button", "commission-stop", "Stop");
  private readonly steps = element("ol", "road-steps");
  private readonly outcome = element("div", "commission-outcome");
  private readonly report = element("a", "commission-report", "Open the report");
  private readonly directory = element("div", "commission-directory");
  private readonly close = element("button", "commission-close", "\u00d7");
  private shown: CommissionState | null = null;
  private dismissed = "";  // the report directory of the road whose view the user put away

  constructor(root: HTMLElement, session: Session) {
    this.panel.hidden = true;
    this.stop.type = "button";
    this.stop.addEventListener("click", () => {
      this.stop.disabled = true;
      this.stop.textContent = "Stopping after this step";
      session.send({ op: "stop" });
    });
    this.report.target = "_blank";
    this.report.rel = "noopener";
    const header = element("div", "commission-header");
    this.close.type = "button";
    this.close.title = "Close";
    this.close.addEventListener("click", () => {
      this.dismissed = this.shown?.directory ?? "";
      this.render(this.shown);
    });
    header.append(this.heading, this.stop, this.close);
    this.panel.append(header, this.steps, this.outcome, this.report, this.directory);
    root.append(this.panel);
  }

  render(road: CommissionState | null): void {
    this.shown = road;
    this.panel.hidden = road === null || (!road.running && road.directory === this.dismissed);
    if (road === null) return;
    this.close.hidden = road.running;
    const current = road.steps[road.steps.length - 1];
    this.heading.textContent = heading(road, current);
    this.stop.hidden = !road.running;
    if (!road.running) {
      this.stop.disabled = false;
      this.stop.textContent = "Stop";
    }
    this.steps.replaceChildren(...road.steps.map((step) => stepView(step, road.running)));
    // A road stopped on request says so itself; one that failed says what to check.
    const next = road.nextCheck && !road.stopped ? `Check next: ${road.nextCheck}` : road.nextCheck;
    const outcome = [road.error, next].filter((text) => text);
    this.outcome.textContent = outcome.join("\n");
    this.report.hidden = road.report === "";
    if (road.report) {
      const token = new URLSearchParams(location.search).get("token") ?? "";
      this.report.href = `${road.report}?token=${encodeURIComponent(token)}`;
    }
    this.directory.textContent = road.report ? `Report in ${road.directory}` : "";
  }
}
