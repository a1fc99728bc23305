// The open dialogs as movable windows over the main window, nested in the order they opened.
// Each is laid out from its template: groups (framed when they have a caption) of rows of
// controls. Only the top-most dialog takes input, as a modal dialog does.
import { type Act, type ControlView, makeControl, shownText } from "./controls";
import type { DialogState, Session } from "./protocol";

class DialogView {
  readonly element: HTMLElement;
  private readonly views: ControlView[] = [];
  private readonly frames = new Map<number, { frame: HTMLElement; legend: HTMLElement | null }>();
  private readonly title: HTMLElement;

  constructor(state: DialogState, session: Session, offset: number) {
    const act: Act = (op, fields = {}) => session.send({ op, dialog: state.serial, ...fields });
    this.element = document.createElement("div");
    this.element.className = "window";
    this.element.dataset.serial = String(state.serial);
    this.element.style.left = `${40 + offset * 30}px`;
    this.element.style.top = `${30 + offset * 30}px`;

    const bar = document.createElement("div");
    bar.className = "titlebar";
    this.title = document.createElement("span");
    const close = document.createElement("button");
    close.className = "close";
    close.textContent = "\u00D7";
    close.title = "Close (Cancel)";
    close.addEventListener("click", () => act("close", { answer: 2 }));
    bar.append(this.title, close);
    makeMovable(this.element, bar);

    const body = document.createElement("div");
    body.className = "body";
    this.element.append(bar, body);
    this.element.addEventListener("keydown", (event) => {
      const chord = keyChord(event);
      if (chord) act("keys", { chord });
    });

    const rows = new Map<string, HTMLElement>();
    for (const control of state.controls) {
      const [group, row] = control.place;
      if (control.kind === "group") {
        this.frames.set(group, this.frame(body, control.text));
        continue;
      }
      const key = `${group}/${row}`;
      let line = rows.get(key);
      if (!line) {
        line = document.createElement("div");
        line.className = "row";
        (this.frames.get(group)?.frame ?? body).append(line);
        rows.set(key, line);
      }
      const view = makeControl(control, act);
      view.element.dataset.id = String(control.id);
      // A right-click goes to the dialog as it would in a desktop window (WM_CONTEXTMENU).
      view.element.addEventListener("contextmenu", (event) => {
        event.preventDefault();
        act("context", { id: control.id });
      });
      line.append(view.element);
      this.views.push(view);
    }
    this.update(state, true);
  }

  update(state: DialogState, top: boolean): void {
    this.title.textContent = state.caption;
    this.element.dataset.caption = state.caption;
    this.element.classList.toggle("inactive", !top);
    this.element.inert = !top;
    let view = 0;
    for (const control of state.controls) {
      if (control.kind === "group") {
        const frame = this.frames.get(control.place[0]);
        if (frame) {
          frame.frame.hidden = !control.visible;
          if (frame.legend) frame.legend.textContent = shownText(control.text);
        }
        continue;
      }
      this.views[view++].update(control);
    }
  }

  private frame(body: HTMLElement, caption: string): { frame: HTMLElement; legend: HTMLElement | null } {
    const frame = document.createElement(caption ? "fieldset" : "div");
    frame.className = "group";
    let legend: HTMLElement | null = null;
    if (caption) {
      legend = document.createElement("legend");
      frame.append(legend);
    }
    body.append(frame);
    return { frame, legend };
  }
}

// The chord a dialog is told of: Enter and Escape, and letters, digits and function keys held
// with Ctrl or Alt (Ctrl+Alt+Shift+E); other keys stay with the page's own controls.
function keyChord(event: KeyboardEvent): string | null {
  if (event.key === "Enter") return "Enter";
  if (event.key === "Escape") return "Esc";
  if (!event.ctrlKey && !event.altKey) return null;
  const key = /^Key[A-Z]$|^Digit[0-9]$/.test(event.code) ? event.code.slice(-1) : /^F\d+$/.test(event.key) ? event.key : null;
  if (key === null) return null;
  const modifiers = [event.ctrlKey && "Ctrl", event.altKey && "Alt", event.shiftKey && "Shift"].filter(Boolean);
  return [...modifiers, key].join("+");
}

// The window follows the pointer while its title bar is held.
function makeMovable(window: HTMLElement, handle: HTMLElement): void {
  handle.addEventListener("pointerdown", (start) => {
    if ((start.target as HTMLElement).tagName === "BUTTON") return;
    const left = window.offsetLeft - start.clientX;
    const top = window.offsetTop - start.clientY;
    const move = (event: PointerEvent) => {
      window.style.left = `${left + event.clientX}px`;
      window.style.top = `${Math.max(0, top + event.clientY)}px`;
    };
    handle.setPointerCapture(start.pointerId);
    handle.addEventListener("pointermove", move);
    handle.addEventListener("pointerup", () => handle.removeEventListener("pointermove", move), { once: true });
  });
}

export class DialogStack {
  private readonly views = new Map<number, DialogView>();

  constructor(private readonly layer: HTMLElement, private readonly session: Session) {}

  render(dialogs: DialogState[]): void {
    const open = new Set(dialogs.map((dialog) => dialog.serial));
    for (const [serial, view] of this.views) {
      if (open.has(serial)) continue;
      view.element.remove();
      this.views.delete(serial);
    }
    dialogs.forEach((dialog, index) => {
      let view = this.views.get(dialog.serial);
      const top = index === dialogs.length - 1;
      if (!view) {
        view = new DialogView(dialog, this.session, index);
        this.views.set(dialog.serial, view);
        this.layer.append(view.element);
      }
      view.update(dialog, top);
      view.element.hidden = !dialog.visible;
      view.element.style.zIndex = String(10 + index);
    });
    this.layer.classList.toggle("modal", dialogs.length > 0);
  }
}
