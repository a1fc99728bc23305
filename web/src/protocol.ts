// The page's side of the session: the state the server sends (whole, then JSON patches) and the
// actions the page sends back. The page holds no state of its own beyond what it is sent.

export interface ControlState {
  kind: string;
  id: number;
  place: [number, number, number];
  text: string;
  enabled: boolean;
  visible: boolean;
  checked?: number;
  radioGroup?: number;
  items?: string[];
  selection?: number;
  range?: [number, number];
  position?: number;
  bitmap?: string;
  unitCombo?: number;
  textLimit?: number;
  multiline?: boolean;
  graph?: GraphState;
  diagram?: DiagramState;
  bar?: BarState;
}

// A test's bar graph: the bar runs from the reference to the value, within the limits, in its
// colour, with the value's text beside it.
export interface BarState {
  limits: [number, number];
  reference: number;
  value: number;
  colour: string;
  text: string;
}

// A diagram of the encoder and Hall tests: an angle (rad, 0 at the top, counter-clockwise), a
// position between limits, or the status of six Hall slices (0 not seen, 1 visited, 2 current).
export interface DiagramState {
  shape: string;
  theta?: number;
  limits?: [number, number];
  position?: number;
  slices?: number[];
}

// A graph control's plot: the points are rows of every column; a row is appended at a time, and
// the whole array is replaced when the document is cleared.
export interface GraphState {
  columns: { name: string; unit: string }[];
  curves: { x: number; y: number; axis: number; colour: string; width: number }[];
  view: { x: [number, number]; y1: [number, number]; y2: [number, number] };
  yAxes: number;
  generation: number;
  points: (number | null)[][];
}

export interface DialogState {
  serial: number;
  template: number;
  caption: string;
  visible: boolean;
  controls: ControlState[];
}

export interface BoxState {
  text: string;
  caption: string;
  icon: string;
  buttons: { answer: number; label: string }[];
}

export interface ParameterRow {
  name: string;
  value: string;
  unit: string;
  units: string[];
  min: string;
  max: string;
  type: number;
}

export interface HostState {
  title: string;
  file: string;
  unsaved: boolean;
  drive: string;
  parameters: ParameterRow[];
  options: Record<string, string>;
  lastCommand: string;
  changes: string[][];
}

export interface HelpState {
  context: number;
  page: string;
  text: string;
}

// An item of a popup menu: a command (id, text, enabled, checked), a separator, or a nested
// popup (text and items).
export interface MenuItemState {
  id?: number;
  text?: string;
  enabled?: boolean;
  checked?: boolean;
  separator?: boolean;
  items?: MenuItemState[];
}

// The popup menu that waits for the user: the dialog it belongs to, the control right-clicked to
// open it (0: none) and its items.
export interface PopupState {
  dialog: number;
  control: number;
  items: MenuItemState[];
}

// A step of the commissioning road as it runs and once it has ended.
export interface CommissionStep {
  number: number;
  name: string;
  title: string;
  status: "running" | "passed" | "failed" | "not kept";
  texts: string[];
  results: [string, string][];
  outcome: string;
  error: string;
  notes: string[];
}

// The last commissioning road: its steps so far; once it has ended, how (completed, stopped on
// request, or short of its end with what to check next) and the address of its report.
export interface CommissionState {
  running: boolean;
  step: number;
  count: number;
  steps: CommissionStep[];
  nextCheck: string;
  completed: boolean;
  stopped: boolean;
  directory: string;
  report: string;
  error: string;
}

export interface State {
  host: HostState | null;
  dialogs: DialogState[];
  box: BoxState | null;
  popup?: PopupState | null;
  help: HelpState | null;
  cursor: "wait" | "arrow";
  commission?: CommissionState | null;
}

export type Action = { op: string } & Record<string, unknown>;

interface PatchOperation {
  op: "add" | "remove" | "replace";
  path: string;
  value?: unknown;
}

type Json = null | boolean | number | string | Json[] | { [key: string]: Json };

// Applies a JSON Patch of add, remove and replace operations (what the server sends) in place;
// returns the new document (a patch of the root replaces it).
export function applyPatch(document: Json, patch: PatchOperation[]): Json {
  for (const operation of patch) {
    if (operation.path === "") {
      document = operation.value as Json;
      continue;
    }
    const keys = operation.path.slice(1).split("/").map((key) => key.replace(/~1/g, "/").replace(/~0/g, "~"));
    const last = keys.pop() as string;
    let parent = document as Record<string, Json> | Json[];
    for (const key of keys) parent = (parent as Record<string, Json>)[key] as Record<string, Json> | Json[];
    if (Array.isArray(parent)) {
      const index = last === "-" ? parent.length : Number(last);
      if (operation.op === "remove") parent.splice(index, 1);
      else if (operation.op === "add") parent.splice(index, 0, operation.value as Json);
      else parent[index] = operation.value as Json;
    } else if (operation.op === "remove") {
      delete parent[last];
    } else {
      parent[last] = operation.value as Json;
    }
  }
  return document;
}

export interface SessionEvents {
  state(state: State): void;
  refused(error: string): void;
  connection(status: string): void;
  // A file the server made for the page to save (a plot).
  file(name: string, mime: string, text: string): void;
}

// The WebSocket to the server: reconnects after a break (the server keeps the state), but not
// after another page has taken the session over.
export class Session {
  private socket: WebSocket | null = null;
  private state: Json = null;
  private version = 0;
  private sequence = 0;
  private takenOver = false;
  private quitting = 0;  // the sequence number of a "quit" not answered yet
  // Who waits for the outcome of an action, by its sequence number, on this connection.
  private readonly answers = new Map<number, (error: string) => void>();

  constructor(private readonly events: SessionEvents) {}

  connect(): void {
    const token = new URLSearchParams(location.search).get("token") ?? "";
    const socket = new WebSocket(`ws://${location.host}/ws?token=${encodeURIComponent(token)}`);
    this.socket = socket;
    socket.onopen = () => this.events.connection("");
    socket.onmessage = (event) => this.receive(JSON.parse(event.data as string));
    socket.onclose = (event) => {
      this.answers.clear();
      if (this.quitting !== 0) {
        this.events.connection("Kestrel has stopped.");
        return;
      }
      if (event.reason.includes("taken over")) {
        this.takenOver = true;
        this.events.connection("Another page has taken over this session.");
        return;
      }
      this.events.connection("The connection to Kestrel is broken; trying again...");
      if (!this.takenOver) setTimeout(() => this.connect(), 1000);
    };
  }

  // Sends the action; its outcome goes to `answered` (an empty error: done) when given, else a
  // refusal becomes a notice.
  send(action: Action, answered?: (error: string) => void): void {
    if (this.socket?.readyState !== WebSocket.OPEN) {
      this.events.refused("not connected to Kestrel");
      return;
    }
    this.socket.send(JSON.stringify({ ...action, seq: ++this.sequence }));
    if (answered) this.answers.set(this.sequence, answered);
    // A quit that goes through is never answered: kestrel stops.
    if (action.op === "quit") this.quitting = this.sequence;
  }

  private receive(message: { type: string; [key: string]: unknown }): void {
    if (message.type === "state") {
      this.state = message.state as Json;
      this.version = message.version as number;
    } else if (message.type === "patch") {
      if ((message.version as number) <= this.version) return;
      if (message.base !== this.version) {
        // A patch for a state this page has not seen: start again from the whole state.
        this.socket?.close();
        return;
      }
      this.state = applyPatch(this.state, message.patch as PatchOperation[]);
      this.version = message.version as number;
    } else if (message.type === "file") {
      this.events.file(message.name as string, message.mime as string, message.text as string);
      return;
    } else if (message.type === "reply") {
      if (message.seq === this.quitting) this.quitting = 0;
      const answered = this.answers.get(message.seq as number);
      this.answers.delete(message.seq as number);
      if (answered) answered(message.error as string);
      else if (message.error) this.events.refused(message.error as string);
      return;
    }
    this.events.state(this.state as unknown as State);
  }
}
