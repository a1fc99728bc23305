// The page of kestrel gui: the host's main window, the dialogs over it and the message box over
// all, drawn from the state the server sends; every user action goes to the server.
import { CommissionPanel } from "./commission";
import { DialogStack } from "./dialogs";
import { saveFile } from "./graph";
import { HelpPanel } from "./help";
import { MainWindow } from "./main_window";
import { renderBox } from "./message_box";
import { PopupLayer } from "./popup";
import { Session, type State } from "./protocol";

const root = document.getElementById("app") as HTMLElement;
const main = document.createElement("main");
const dialogLayer = document.createElement("div");
dialogLayer.className = "dialogs";
const boxLayer = document.createElement("div");
boxLayer.className = "box-layer";
boxLayer.hidden = true;
const notices = document.createElement("div");
notices.className = "notices";
const connection = document.createElement("div");
connection.className = "connection";
connection.hidden = true;
const helpLayer = document.createElement("aside");
root.append(main, dialogLayer, helpLayer, boxLayer, notices, connection);

function notify(text: string): void {
  const notice = document.createElement("div");
  notice.className = "notice";
  notice.textContent = text;
  notices.append(notice);
  setTimeout(() => notice.remove(), 8000);
}

let window: MainWindow | null = null;
let dialogs: DialogStack | null = null;
let help: HelpPanel | null = null;
let popup: PopupLayer | null = null;
let road: CommissionPanel | null = null;
const session: Session = new Session({
  state(state: State) {
    if (state.host) window?.render(state.host);
    dialogs?.render(state.dialogs);
    help?.render(state.help ?? null);
    renderBox(boxLayer, state.box, session);
    popup?.render(state.popup ?? null);
    road?.render(state.commission ?? null);
    document.body.classList.toggle("wait", state.cursor === "wait");
  },
  refused: notify,
  file: saveFile,
  connection(status: string) {
    connection.hidden = status === "";
    connection.textContent = status;
  },
});
window = new MainWindow(main, session);
road = new CommissionPanel(main, session);
dialogs = new DialogStack(dialogLayer, session);
help = new HelpPanel(helpLayer, session);
popup = new PopupLayer(session);
session.connect();
