// The help page a dialog asked for, in a closable panel beside the dialogs. The page's markdown is
// drawn simply: headings, paragraphs, bulleted and numbered lists, tables, **bold** and `code`.
// Everything is set as text, never as HTML.
import type { HelpState, Session } from "./protocol";

// Appends the text with its **bold** and `code` spans to the element.
function appendInline(element: HTMLElement, text: string): void {
  for (const part of text.split(/(\*\*[^*]+\*\*|`[^`]+`)/)) {
    if (part.startsWith("**") && part.endsWith("**") && part.length > 4) {
      const bold = document.createElement("strong");
      bold.textContent = part.slice(2, -2);
      element.append(bold);
    } else if (part.startsWith("`") && part.endsWith("`") && part.length > 2) {
      const code = document.createElement("code");
      code.textContent = part.slice(1, -1);
      element.append(code);
    } else if (part) {
      // A link keeps its words: [Drive Setup](drive-setup.md) reads "Drive Setup".
      element.append(part.replace(/\[([^\]]*)\]\([^)]*\)/g, "$1"));
    }
  }
}

function block(tag: string, text: string): HTMLElement {
  const element = document.createElement(tag);
  appendInline(element, text);
  return element;
}

function tableRow(line: string, cellTag: string): HTMLTableRowElement {
  const row = document.createElement("tr");
  for (const cell of line.trim().replace(/^\||\|$/g, "").split("|")) row.append(block(cellTag, cell.trim()));
  return row;
}

// The markdown as elements: a block ends at a blank line; a list item goes on in indented lines.
export function renderMarkdown(markdown: string): HTMLElement[] {
  const blocks: HTMLElement[] = [];
  let paragraph: string[] = [];
  let list: HTMLElement | null = null;
  let item: HTMLElement | null = null;
  let itemText = "";
  let table: HTMLTableElement | null = null;
  const endItem = () => {
    if (item) appendInline(item, itemText);
    item = null;
    itemText = "";
  };
  const endBlock = () => {
    if (paragraph.length > 0) blocks.push(block("p", paragraph.join(" ")));
    paragraph = [];
    endItem();
    list = null;
    table = null;
  };
  for (const line of markdown.split("\n")) {
    const heading = /^(#{1,6})\s+(.*)$/.exec(line);
    const bullet = /^\s*(?:[-*]|(\d+)\.)\s+(.*)$/.exec(line);
    if (line.trim() === "") {
      endBlock();
    } else if (heading) {
      endBlock();
      blocks.push(block(`h${heading[1].length + 1}`, heading[2]));
    } else if (line.trimStart().startsWith("|")) {
      if (!table) {
        endBlock();
        table = document.createElement("table");
        blocks.push(table);
        table.append(tableRow(line, "th"));
      } else if (!/^[\s|:-]+$/.test(line)) {
        table.append(tableRow(line, "td"));
      }
    } else if (bullet) {
      endItem();
      if (!list) {
        endBlock();
        list = document.createElement(bullet[1] ? "ol" : "ul");
        blocks.push(list);
      }
      item = document.createElement("li");
      list.append(item);
      itemText = bullet[2];
    } else if (item) {
      itemText += ` ${line.trim()}`;
    } else {
      paragraph.push(line.trim());
    }
  }
  endBlock();
  return blocks;
}

export class HelpPanel {
  private readonly body = document.createElement("div");
  private shown: HelpState | null = null;

  constructor(private readonly panel: HTMLElement, session: Session) {
    panel.className = "help";
    panel.hidden = true;
    const bar = document.createElement("div");
    bar.className = "titlebar";
    const title = document.createElement("span");
    title.textContent = "Help";
    const close = document.createElement("button");
    close.className = "close";
    close.textContent = "\u00D7";
    close.title = "Close the help";
    close.addEventListener("click", () => session.send({ op: "close-help" }));
    bar.append(title, close);
    this.body.className = "help-body";
    panel.append(bar, this.body);
  }

  render(help: HelpState | null): void {
    this.panel.hidden = help === null;
    if (help === null || (help.page === this.shown?.page && help.text === this.shown.text)) {
      this.shown = help;
      return;
    }
    this.shown = help;
    this.body.replaceChildren(...renderMarkdown(help.text));
    this.body.scrollTop = 0;
  }
}
