// The host's main window: the setup file (open, save, save as, quit), the drive in use, the
// commands "Edit setup", "Compute registers" and "Commission" with what they changed, the options,
// and the searchable table of parameters, each edited in place through the setup model; a value
// or unit the model refuses gets the reason beside its row.
import type { HostState, ParameterRow, Session } from "./protocol";
import { TypedField } from "./typed_field";

interface RowView {
  row: HTMLTableRowElement;
  value: TypedField;
  unit: HTMLSelectElement;
  error: HTMLElement;  // why the value or unit last typed was refused
  limits: HTMLTableCellElement;
}

const typeNames = ["int16", "uint16", "int32", "uint32", "real", "flag", "choice"];

function button(label: string, onClick: () => void): HTMLButtonElement {
  const made = document.createElement("button");
  made.type = "button";
  made.textContent = label;
  made.addEventListener("click", onClick);
  return made;
}

export class MainWindow {
  private readonly title = document.createElement("h1");
  private readonly drive = document.createElement("div");
  private readonly status = document.createElement("div");
  private readonly changes = document.createElement("table");
  private readonly options = document.createElement("tbody");
  private readonly table = document.createElement("tbody");
  private readonly search = document.createElement("input");
  private readonly path = document.createElement("input");
  private readonly rows = new Map<string, RowView>();

  constructor(root: HTMLElement, private readonly session: Session) {
    const toolbar = document.createElement("div");
    toolbar.className = "toolbar";
    this.path.placeholder = "setup file, e.g. /home/me/axis1.json";
    this.path.className = "path";
    this.path.setAttribute("aria-label", "Setup file");
    toolbar.append(
      this.path,
      button("Open", () => session.send({ op: "open", path: this.path.value })),
      button("Save", () => session.send({ op: "save" })),
      button("Save as", () => session.send({ op: "save-as", path: this.path.value })),
      button("Edit setup", () => session.send({ op: "edit-setup" })),
      button("Compute registers", () => session.send({ op: "compute" })),
      button("Commission", () => session.send({ op: "commission" })),
      button("Quit", () => session.send({ op: "quit" })),
    );
    this.search.type = "search";
    this.search.placeholder = "Search parameters";
    this.search.className = "search";
    this.search.addEventListener("input", () => this.filter());
    this.drive.className = "drive";
    this.status.className = "status";
    this.changes.className = "changes";
    const parameters = document.createElement("table");
    parameters.className = "parameters";
    parameters.createTHead().innerHTML =
      "<tr><th>Name</th><th>Value</th><th>Unit</th><th>Limits</th><th>Type</th></tr>";
    parameters.append(this.table);
    const options = document.createElement("details");
    options.className = "options";
    options.innerHTML = "<summary>Options</summary>";
    const optionTable = document.createElement("table");
    optionTable.append(this.options);
    options.append(optionTable);
    root.append(this.title, this.drive, toolbar, this.status, this.changes, options, this.search, parameters);
  }

  render(host: HostState): void {
    document.title = host.title;
    this.title.textContent = host.title;
    this.drive.textContent = `Drive: ${host.drive}`;
    if (!this.path.value && host.file) this.path.value = host.file;
    this.status.textContent = host.lastCommand;
    this.renderChanges(host.changes);
    this.options.replaceChildren();
    for (const [name, value] of Object.entries(host.options)) {
      const row = this.options.insertRow();
      row.insertCell().textContent = name;
      row.insertCell().textContent = value;
    }
    for (const parameter of host.parameters) this.renderRow(parameter);
    this.filter();
  }

  private renderChanges(changes: string[][]): void {
    this.changes.replaceChildren();
    if (changes.length === 0) return;
    this.changes.createTHead().innerHTML = "<tr><th>Changed</th><th>Old</th><th>New</th><th>Unit</th></tr>";
    const body = this.changes.createTBody();
    for (const change of changes) {
      const row = body.insertRow();
      for (const cell of change) row.insertCell().textContent = cell;
    }
  }

  private renderRow(parameter: ParameterRow): void {
    let view = this.rows.get(parameter.name);
    if (!view) view = this.addRow(parameter);
    if (parameter.value !== view.value.shown) {
      // A value that changes otherwise (another setup opened, the dialogs) ends a refusal.
      view.error.hidden = true;
      view.row.classList.remove("refused");
    }
    view.value.show(parameter.value);
    const units = parameter.units.length > 0 ? parameter.units : [parameter.unit];
    if (view.unit.options.length !== units.length) view.unit.replaceChildren(...units.map((unit) => new Option(unit)));
    view.unit.value = parameter.unit;
    view.unit.disabled = units.length < 2;
    view.limits.textContent = `${parameter.min} \u2026 ${parameter.max}`;
  }

  private addRow(parameter: ParameterRow): RowView {
    const row = this.table.insertRow();
    row.dataset.name = parameter.name;
    row.insertCell().textContent = parameter.name;
    const value = document.createElement("input");
    value.className = "value";
    value.setAttribute("aria-label", parameter.name);
    const error = document.createElement("div");
    error.className = "row-error";
    error.hidden = true;
    row.insertCell().append(value, error);
    const unit = document.createElement("select");
    row.insertCell().append(unit);
    const limits = row.insertCell();
    row.insertCell().textContent = typeNames[parameter.type] ?? String(parameter.type);
    const field = new TypedField(value, parameter.value);
    const view: RowView = { row, value: field, unit, error, limits };
    const answered = (refusal: string) => {
      error.textContent = refusal;
      error.hidden = refusal === "";
      row.classList.toggle("refused", refusal !== "");
    };
    value.addEventListener("change", () => {
      field.commit();
      this.session.send({ op: "set", name: parameter.name, value: value.value }, answered);
    });
    unit.addEventListener("change", () =>
      this.session.send({ op: "unit", name: parameter.name, unit: unit.value }, answered));
    this.rows.set(parameter.name, view);
    return view;
  }

  private filter(): void {
    const wanted = this.search.value.trim().toLowerCase();
    for (const [name, view] of this.rows) view.row.hidden = wanted !== "" && !name.toLowerCase().includes(wanted);
  }
}
