// The diagrams of the encoder and Hall tests, drawn as SVG from their state: the encoder's angle
// or the test current's electrical angle on a circle, a linear encoder's position between its
// limits, and the six slices of an electrical turn that the Hall states mark.
import type { DiagramState } from "./protocol";

const SVG = "http://www.w3.org/2000/svg";
const SIZE = 120;
const CENTRE = SIZE / 2;
const RADIUS = 48;
// The Hall state that lies in each slice, slice 0 first.
const SLICE_STATES = ["001", "011", "010", "110", "100", "101"];
const SLICE_FILL = ["#f4f6f8", "#b9d3ea", "#2f7fc1"];  // not seen, visited, current

function svg<K extends keyof SVGElementTagNameMap>(tag: K, attributes: Record<string, string | number>):
    SVGElementTagNameMap[K] {
  const made = document.createElementNS(SVG, tag);
  for (const [name, value] of Object.entries(attributes)) made.setAttribute(name, String(value));
  return made;
}

function text(x: number, y: number, content: string, className: string): SVGTextElement {
  const label = svg("text", { x, y, class: className, "text-anchor": "middle", "dominant-baseline": "middle" });
  label.textContent = content;
  return label;
}

// A point at `radius` and `angle` (rad, 0 at the top, counter-clockwise).
function polar(radius: number, angle: number): [number, number] {
  return [CENTRE - radius * Math.sin(angle), CENTRE - radius * Math.cos(angle)];
}

function pointer(angle: number, colour: string): SVGElement[] {
  const [x, y] = polar(RADIUS - 4, angle);
  return [
    svg("line", { x1: CENTRE, y1: CENTRE, x2: x, y2: y, stroke: colour, "stroke-width": 3, "stroke-linecap": "round" }),
    svg("circle", { cx: CENTRE, cy: CENTRE, r: 3, fill: colour }),
  ];
}

function angleDiagram(state: DiagramState): SVGElement[] {
  const parts: SVGElement[] = [svg("circle", { cx: CENTRE, cy: CENTRE, r: RADIUS, class: "dial" })];
  if (state.shape === "phase") {
    // The phase axes a, b, c, 120° apart.
    ["a", "b", "c"].forEach((phase, index) => {
      const angle = (index * 2 * Math.PI) / 3;
      const [x, y] = polar(RADIUS + 7, angle);
      parts.push(text(x, y, phase, "axis-label"));
    });
  } else {
    for (let tick = 0; tick < 12; ++tick) {
      const [x1, y1] = polar(RADIUS - 5, (tick * Math.PI) / 6);
      const [x2, y2] = polar(RADIUS, (tick * Math.PI) / 6);
      parts.push(svg("line", { x1, y1, x2, y2, class: "tick" }));
    }
  }
  return [...parts, ...pointer(state.theta ?? 0, state.shape === "phase" ? "#c0392b" : "#2f7fc1")];
}

function linearEncoder(state: DiagramState): SVGElement[] {
  const [lower, upper] = state.limits ?? [-1, 1];
  const position = state.position ?? 0;
  const span = upper > lower ? upper - lower : 1;
  const left = 10;
  const width = SIZE - 20;
  const x = left + (width * (Math.min(Math.max(position, lower), upper) - lower)) / span;
  return [
    svg("rect", { x: left, y: CENTRE - 6, width, height: 12, class: "dial" }),
    svg("line", { x1: x, y1: CENTRE - 14, x2: x, y2: CENTRE + 14, stroke: "#2f7fc1", "stroke-width": 3 }),
    text(left, CENTRE + 26, String(lower), "axis-label"),
    text(left + width, CENTRE + 26, String(upper), "axis-label"),
    text(CENTRE, CENTRE - 24, String(Math.trunc(position)), "value-label"),
  ];
}

function hallSlices(state: DiagramState): SVGElement[] {
  const slices = state.slices ?? [];
  return SLICE_STATES.flatMap((label, slice) => {
    const fill = SLICE_FILL[slices[slice] ?? 0];
    const from = (slice * Math.PI) / 3 - Math.PI / 6;
    const to = from + Math.PI / 3;
    const [x1, y1] = polar(RADIUS, from);
    const [x2, y2] = polar(RADIUS, to);
    const [lx, ly] = polar(RADIUS * 0.65, (from + to) / 2);
    return [
      svg("path", { d: `M${CENTRE},${CENTRE} L${x1},${y1} A${RADIUS},${RADIUS} 0 0 0 ${x2},${y2} Z`, fill, class: "slice" }),
      text(lx, ly, label, slices[slice] === 2 ? "slice-label current" : "slice-label"),
    ];
  });
}

function linearHallSlices(state: DiagramState): SVGElement[] {
  const slices = state.slices ?? [];
  const width = (SIZE - 20) / 6;
  return SLICE_STATES.flatMap((label, slice) => [
    svg("rect", { x: 10 + slice * width, y: CENTRE - 14, width, height: 28, fill: SLICE_FILL[slices[slice] ?? 0], class: "slice" }),
    text(10 + (slice + 0.5) * width, CENTRE, label, slices[slice] === 2 ? "slice-label current" : "slice-label"),
  ]);
}

// The diagram's drawing; empty for a shape the page does not know.
export function drawDiagram(state: DiagramState): SVGSVGElement {
  const drawing = svg("svg", { viewBox: `0 0 ${SIZE} ${SIZE}`, class: "diagram", role: "img", "aria-label": state.shape });
  const parts =
    state.shape === "encoder" || state.shape === "phase" ? angleDiagram(state)
    : state.shape === "linear encoder" ? linearEncoder(state)
    : state.shape === "hall" ? hallSlices(state)
    : state.shape === "linear hall" ? linearHallSlices(state)
    : [];
  drawing.append(...parts);
  return drawing;
}
