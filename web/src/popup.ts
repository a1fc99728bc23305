// The popup menu a dialog's context-menu handler tracks: drawn at the control right-clicked (or
// the dialog's corner), it waits for the user as the server does. A click on an enabled command
// chooses it; Escape or a press anywhere else dismisses it (that press then acts as usual).
import { shownText } from "./controls";
import type { MenuItemState, PopupState, Session } from "./protocol";

export class PopupLayer {
  private menu: HTMLElement | null = null;
  private shown = "";  // the popup drawn, as JSON: a state that did not change it keeps it

  constructor(private readonly session: Session) {
    document.addEventListener("pointerdown", (event) => {
      if (this.menu && !this.menu.contains(event.target as Node)) this.dismiss();
    }, true);
    document.addEventListener("keydown", (event) => {
      if (this.menu && event.key === "Escape") {
        event.stopPropagation();
        event.preventDefault();
        this.dismiss();
      }
    }, true);
  }

  render(popup: PopupState | null): void {
    const shown = popup ? JSON.stringify(popup) : "";
    if (shown === this.shown) return;
    this.shown = shown;
    this.menu?.remove();
    this.menu = null;
    if (!popup) return;
    const choose = (id: number) => this.session.send({ op: "menu", dialog: popup.dialog, id });
    this.menu = items(popup.items, choose);
    this.menu.classList.add("popup-menu");
    const at = anchor(popup);
    this.menu.style.left = `${at.left}px`;
    this.menu.style.top = `${at.top}px`;
    document.body.append(this.menu);
  }

  private dismiss(): void {
    this.menu?.remove();
    this.menu = null;
    this.session.send({ op: "dismiss" });
  }
}

// Just below the control's left edge; the dialog's corner when the control is not drawn.
function anchor(popup: PopupState): { left: number; top: number } {
  const dialog = document.querySelector(`.window[data-serial="${popup.dialog}"]`);
  const control = dialog?.querySelector(`[data-id="${popup.control}"]`) ?? dialog;
  if (!control) return { left: 40, top: 40 };
  const box = control.getBoundingClientRect();
  return { left: box.left + window.scrollX, top: box.top + Math.min(box.height, 24) + window.scrollY };
}

function items(states: MenuItemState[], choose: (id: number) => void): HTMLElement {
  const list = document.createElement("div");
  list.className = "menu-items";
  for (const item of states) {
    if (item.separator) {
      list.append(document.createElement("hr"));
      continue;
    }
    const entry = document.createElement("div");
    entry.className = "menu-item";
    entry.textContent = shownText(item.text ?? "");
    if (item.items) {
      entry.classList.add("submenu");
      entry.append(items(item.items, choose));
    } else {
      entry.dataset.id = String(item.id);
      entry.classList.toggle("checked", item.checked === true);
      entry.classList.toggle("disabled", item.enabled === false);
      if (item.enabled) entry.addEventListener("click", () => choose(item.id as number));
    }
    list.append(entry);
  }
  return list;
}
