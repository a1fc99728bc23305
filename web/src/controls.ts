// The controls of a dialog as page elements, each updated in place from its state so that a user
// typing into an edit is not disturbed. A control sends the same operations as a dialog script.
import { drawDiagram } from "./diagram";
import { GraphPlot } from "./graph";
import type { ControlState } from "./protocol";
import { TypedField } from "./typed_field";

export type Act = (op: string, fields?: Record<string, unknown>) => void;

export interface ControlView {
  element: HTMLElement;
  update(state: ControlState): void;
}

// "Tune && Test" shows as "Tune & Test"; a single & marks the mnemonic and is not shown.
export function shownText(text: string): string {
  return text.replace(/&(&?)/g, (_match, second: string) => (second ? "&" : ""));
}

function element<K extends keyof HTMLElementTagNameMap>(tag: K, className: string): HTMLElementTagNameMap[K] {
  const made = document.createElement(tag);
  made.className = className;
  return made;
}

function common(view: HTMLElement, state: ControlState): void {
  view.hidden = !state.visible;
  view.classList.toggle("disabled", !state.enabled);
}

function bitmapUrl(name: string): string {
  return `bitmaps/${encodeURIComponent(name)}.svg`;
}

// A static shows its text, or the diagram that a test draws on it.
function staticText(): ControlView {
  const view = element("span", "static");
  return {
    element: view,
    update: (state) => {
      common(view, state);
      if (state.diagram) view.replaceChildren(drawDiagram(state.diagram));
      else view.textContent = shownText(state.text);
    },
  };
}

function edit(state: ControlState, act: Act): ControlView {
  // A multi-line edit (a guideline's text) wraps its lines; a one-line edit is a text field.
  const input: HTMLInputElement | HTMLTextAreaElement =
    state.multiline ? element("textarea", "edit multiline") : element("input", "edit");
  if (input instanceof HTMLInputElement) input.type = "text";
  const field = new TypedField(input, state.text);
  const commit = () => {
    if (field.commit()) act("type", { id: state.id, text: input.value });
  };
  input.addEventListener("change", commit);
  (input as HTMLElement).addEventListener("keydown", (event: KeyboardEvent) => {
    if (event.key !== "Enter" && event.key !== "Escape") return;
    event.stopPropagation();
    if (event.key === "Enter") commit();
    act("keys", { chord: event.key === "Enter" ? "Enter" : "Esc" });
  });
  return {
    element: input,
    update: (next) => {
      common(input, next);
      input.disabled = !next.enabled;
      if (next.textLimit) input.maxLength = next.textLimit;
      field.show(next.text);
    },
  };
}

function button(state: ControlState, act: Act): ControlView {
  const view = element("button", "button");
  view.type = "button";
  view.addEventListener("click", () => act("click", { id: state.id }));
  return {
    element: view,
    update: (next) => {
      common(view, next);
      view.disabled = !next.enabled;
      view.replaceChildren();
      if (next.bitmap) {
        const image = element("img", "bitmap");
        image.src = bitmapUrl(next.bitmap);
        image.alt = shownText(next.text);
        view.append(image);
        view.title = shownText(next.text);
      } else {
        view.textContent = shownText(next.text);
      }
    },
  };
}

// Check boxes and radio buttons: a click goes to the dialog, which decides what is checked.
function checkable(state: ControlState, act: Act): ControlView {
  const view = element("label", state.kind);
  const input = element("input", "");
  input.type = state.kind === "radio" ? "radio" : "checkbox";
  const text = element("span", "");
  view.append(input, text);
  input.addEventListener("click", (event) => {
    event.preventDefault();
    act("click", { id: state.id });
  });
  return {
    element: view,
    update: (next) => {
      common(view, next);
      input.disabled = !next.enabled;
      input.checked = next.checked === 1;
      text.textContent = shownText(next.text);
    },
  };
}

function combo(state: ControlState, act: Act): ControlView {
  const select = element("select", "combo");
  select.addEventListener("change", () => act("select", { id: state.id, index: select.selectedIndex }));
  let items = "";
  return {
    element: select,
    update: (next) => {
      common(select, next);
      select.disabled = !next.enabled;
      const texts = next.items ?? [];
      if (JSON.stringify(texts) !== items) {
        items = JSON.stringify(texts);
        select.replaceChildren(...texts.map((text) => new Option(text)));
      }
      select.selectedIndex = next.selection ?? -1;
    },
  };
}

function slider(state: ControlState, act: Act): ControlView {
  const input = element("input", "slider");
  input.type = "range";
  input.addEventListener("change", () => act("slide", { id: state.id, position: Number(input.value) }));
  return {
    element: input,
    update: (next) => {
      common(input, next);
      input.disabled = !next.enabled;
      const [low, high] = next.range ?? [0, 100];
      input.min = String(Math.min(low, high));
      input.max = String(Math.max(low, high));
      input.value = String(next.position ?? 0);
    },
  };
}

function spin(state: ControlState, act: Act): ControlView {
  const view = element("span", "spin");
  const up = element("button", "");
  const down = element("button", "");
  up.textContent = "\u25B2";
  down.textContent = "\u25BC";
  up.addEventListener("click", () => act("spin", { id: state.id, delta: 1 }));
  down.addEventListener("click", () => act("spin", { id: state.id, delta: -1 }));
  view.append(up, down);
  return {
    element: view,
    update: (next) => {
      common(view, next);
      up.disabled = down.disabled = !next.enabled;
    },
  };
}

function tabs(state: ControlState, act: Act): ControlView {
  const view = element("div", "tabs");
  return {
    element: view,
    update: (next) => {
      common(view, next);
      view.replaceChildren(
        ...(next.items ?? []).map((label, index) => {
          const tab = element("button", index === next.selection ? "tab selected" : "tab");
          tab.textContent = shownText(label);
          tab.disabled = !next.enabled;
          tab.addEventListener("click", () => act("tab", { id: state.id, index }));
          return tab;
        }),
      );
    },
  };
}

function picture(): ControlView {
  const view = element("span", "picture");
  return {
    element: view,
    update: (next) => {
      common(view, next);
      view.replaceChildren();
      if (!next.bitmap) return;
      const image = element("img", "bitmap");
      image.src = bitmapUrl(next.bitmap);
      image.alt = next.bitmap;
      view.append(image);
    },
  };
}

// A progress bar, or a test's bar graph: a bar in its colour from its reference to its value,
// with the value's text.
function progress(): ControlView {
  const bar = element("progress", "progress");
  const graph = element("span", "bar-graph");
  const track = element("span", "bar-track");
  const fill = element("span", "bar-fill");
  const label = element("span", "bar-text");
  track.append(fill);
  graph.append(track, label);
  const view = element("span", "progress-view");
  view.append(bar);
  return {
    element: view,
    update: (next) => {
      common(view, next);
      if (next.bar) {
        const [low, high] = next.bar.limits;
        const span = high > low ? high - low : 1;
        const at = (value: number) => (100 * (Math.min(high, Math.max(low, value)) - low)) / span;
        const from = at(next.bar.reference);
        const to = at(next.bar.value);
        fill.style.left = `${Math.min(from, to)}%`;
        fill.style.width = `${Math.abs(to - from)}%`;
        fill.style.background = next.bar.colour;
        label.textContent = next.bar.text;
        if (view.firstChild !== graph) view.replaceChildren(graph);
        return;
      }
      const [low, high] = next.range ?? [0, 100];
      bar.max = Math.max(1, high - low);
      bar.value = (next.position ?? low) - low;
      if (view.firstChild !== bar) view.replaceChildren(bar);
    },
  };
}

// A graph: the plot of its curves, or an empty frame until the dialog gives it some.
function graph(state: ControlState, act: Act): ControlView {
  const plot = new GraphPlot(state.id, act);
  return {
    element: plot.element,
    update: (next) => {
      common(plot.element, next);
      plot.update(next.graph);
    },
  };
}

export function makeControl(state: ControlState, act: Act): ControlView {
  switch (state.kind) {
    case "edit": return edit(state, act);
    case "button": return button(state, act);
    case "check":
    case "radio": return checkable(state, act);
    case "combo": return combo(state, act);
    case "slider": return slider(state, act);
    case "spin": return spin(state, act);
    case "tab": return tabs(state, act);
    case "picture": return picture();
    case "progress": return progress();
    case "graph": return graph(state, act);
    default: return staticText();
  }
}
