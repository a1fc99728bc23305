// The message box that waits for an answer, over everything else.
import type { BoxState, Session } from "./protocol";

const icons: Record<string, string> = { error: "\u26D4", question: "?", warning: "\u26A0", information: "i" };

export function renderBox(layer: HTMLElement, box: BoxState | null, session: Session): void {
  layer.hidden = box === null;
  if (box === null) {
    layer.replaceChildren();
    return;
  }
  const key = JSON.stringify(box);
  if (layer.dataset.box === key) return;
  layer.dataset.box = key;
  const window = document.createElement("div");
  window.className = "box";
  const caption = document.createElement("div");
  caption.className = "titlebar";
  caption.textContent = box.caption;
  const body = document.createElement("div");
  body.className = "box-body";
  if (box.icon) {
    const icon = document.createElement("span");
    icon.className = `icon ${box.icon}`;
    icon.textContent = icons[box.icon] ?? "";
    body.append(icon);
  }
  const text = document.createElement("p");
  text.className = "box-text";
  text.textContent = box.text;
  body.append(text);
  const buttons = document.createElement("div");
  buttons.className = "box-buttons";
  for (const { answer, label } of box.buttons) {
    const button = document.createElement("button");
    button.textContent = label;
    button.addEventListener("click", () => session.send({ op: "answer", answer }));
    buttons.append(button);
  }
  window.append(caption, body, buttons);
  layer.replaceChildren(window);
  (buttons.firstElementChild as HTMLElement | null)?.focus();
}
