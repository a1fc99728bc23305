// End to end in a real browser: kestrel gui driven through Debian's Chromium by Playwright.
// Usage: node e2e.mjs KESTREL_BINARY ARTIFACTS_FOLDER
// Opens the default setup, opens Drive Setup and sees Motor Setup open by itself, changes the
// nominal and peak currents and their units (typed while the converted values are on their way),
// answers a message box, reads Drive Setup's help, reloads the page in the middle of the
// dialogs and carries on, closes both with OK, saves, and finds the value in the saved file; a
// request without the token is refused; runs the current test from Drive Setup and sees its
// step plotted; runs the Hall configuration test from Motor Setup and sees its diagrams drawn;
// runs Commission, stops it and opens its report. Screenshots of the main window, Drive Setup, Motor Setup, the current test and the Hall configuration test are written to the artifacts folder. Then a parameter edited in the main window survives
// a killed kestrel: the next one offers the recovery file.
import { spawn } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";

const [binary, artifacts] = process.argv.slice(2);
if (!binary || !artifacts) {
  console.error("usage: node e2e.mjs KESTREL_BINARY ARTIFACTS_FOLDER");
  process.exit(2);
}
mkdirSync(artifacts, { recursive: true });
const work = mkdtempSync(join(tmpdir(), "kestrel-e2e-"));
const results = [];

async function check(name, run) {
  try {
    await run();
    results.push([name, ""]);
    console.log(`ok: ${name}`);
  } catch (error) {
    results.push([name, String(error)]);
    console.log(`FAILED: ${name}: ${error}`);
  }
}

function assert(condition, message) {
  if (!condition) throw new Error(message);
}

// Starts kestrel gui and resolves with its address once it has printed it.
function startKestrel() {
  const child = spawn(binary, ["gui", "--no-browser", "--recovery", join(work, "recovery.json")],
    { stdio: ["ignore", "pipe", "inherit"] });
  return new Promise((resolve, reject) => {
    let output = "";
    child.on("exit", (code) => reject(new Error(`kestrel gui exited with ${code} before it served: ${output}`)));
    child.stdout.on("data", (chunk) => {
      output += chunk;
      const found = output.match(/http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+/);
      if (found) resolve({ child, address: found[0] });
    });
  });
}

const dialog = (page, caption) => page.locator(`.window[data-caption="${caption}"]`);
const control = (page, caption, id) => dialog(page, caption).locator(`[data-id="${id}"]`);

let { child, address } = await startKestrel();
let browser = null;
try {
  // Debian's Chromium, never a downloaded one, on a fresh profile.
  browser = await chromium.launchPersistentContext(join(work, "profile"), {
    executablePath: "/usr/bin/chromium",
    headless: true,
    viewport: { width: 1400, height: 1000 },
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  const page = browser.pages()[0] ?? (await browser.newPage());
  page.setDefaultTimeout(15000);
  // kestrel's messages to the page pass through here, so that a check can hold them back and
  // deliver an update at the moment it chooses.
  const held = { on: false, messages: [] };
  await page.routeWebSocket(/\/ws/, (socket) => {
    const server = socket.connectToServer();
    server.onMessage((message) => {
      if (held.on) held.messages.push([socket, message]);
      else socket.send(message);
    });
  });
  const release = () => {
    held.on = false;
    for (const [socket, message] of held.messages.splice(0)) socket.send(message);
  };

  await check("the main window shows the default setup's parameters", async () => {
    await page.goto(address);
    await page.locator('tr[data-name="Vdc"] input.value').waitFor();
    assert((await page.title()).includes("the default setup"), `title ${await page.title()}`);
    await page.locator(".search").fill("Imax");
    await page.screenshot({ path: join(artifacts, "main-window.png") });
    await page.locator(".search").fill("");
  });

  await check("Edit setup opens Drive Setup, which opens Motor Setup by itself", async () => {
    await page.getByRole("button", { name: "Edit setup" }).click();
    await dialog(page, "Drive Setup").waitFor();
    await dialog(page, "Brushless Motor Setup").waitFor();
    const guideline = control(page, "Drive Setup", 10007);
    assert(await guideline.evaluate((e) => e.tagName) === "TEXTAREA", "the guideline is not a multi-line edit");
    assert((await guideline.inputValue()).startsWith("Step 1."), `the guideline shows ${await guideline.inputValue()}`);
  });

  // Chooses the unit and holds back kestrel's answer, the value converted to it, until `beforeIt`
  // has run; then gives the page time to show it.
  const changeUnitLate = async (unitCombo, unit, beforeIt) => {
    held.on = true;
    try {
      await control(page, "Brushless Motor Setup", unitCombo).selectOption(unit);
      for (const start = Date.now(); held.messages.length === 0; await page.waitForTimeout(20)) {
        assert(Date.now() - start < 15000, `kestrel did not answer the change of unit in ${unitCombo}`);
      }
      await beforeIt();
    } finally {
      release();  // a failure here must not leave the later checks without kestrel's messages
    }
    await page.waitForTimeout(500);
  };
  const shows = (id, text) => page.waitForFunction(([id, text]) =>
    document.querySelector(`.window[data-caption="Brushless Motor Setup"] [data-id="${id}"]`)?.value === text,
  [id, text]);

  await check("the currents are changed with their units, typed before the converted values arrive", async () => {
    // The value converted to mA must not replace what the user is typing...
    const nominal = control(page, "Brushless Motor Setup", 1159);
    await changeUnitLate(1160, "mA", () => nominal.fill("3500"));
    await nominal.press("Tab");
    await shows(1159, "3500");
    // ...nor leave the user typing behind it when the whole text was selected to be typed over.
    const peak = control(page, "Brushless Motor Setup", 1161);
    await changeUnitLate(1162, "mA", () => peak.selectText());
    await page.keyboard.type("9000");
    await peak.press("Tab");
    await shows(1161, "9000");
    await page.screenshot({ path: join(artifacts, "motor-setup.png") });
  });

  await check("the Hall configuration test draws the Hall states its sweep passes", async () => {
    const caption = "Hall Configuration Detection Test";
    await control(page, "Brushless Motor Setup", 1190).click();
    await control(page, caption, 10000).click();
    await page.waitForFunction(() =>
      document.querySelector('.window[data-caption="Hall Configuration Detection Test"] [data-id="10002"]')
        ?.textContent === "Test passed", null, { timeout: 30000 });
    const slices = control(page, caption, 1026).locator("svg.diagram path.slice");
    assert(await slices.count() === 6, `the Hall diagram draws ${await slices.count()} slices`);
    const dial = control(page, caption, 1024).locator("svg.diagram line");
    assert(await dial.count() > 0, "the encoder diagram draws no dial");
    await page.screenshot({ path: join(artifacts, "hall-configuration-test.png") });
    // The shift found differs from the setup's: the test asks whether to keep it.
    await dialog(page, caption).getByRole("button", { name: "Close", exact: true }).click();
    await page.locator(".box").getByRole("button", { name: "No" }).click();
    await dialog(page, caption).waitFor({ state: "detached" });
  });

  await check("a reloaded page carries on in the open dialogs", async () => {
    await page.reload();
    await control(page, "Brushless Motor Setup", 1159).waitFor();
    const value = await control(page, "Brushless Motor Setup", 1159).inputValue();
    assert(value === "3500", `the nominal current shows ${value} after the reload`);
    await dialog(page, "Brushless Motor Setup").getByRole("button", { name: "OK", exact: true }).click();
    await dialog(page, "Brushless Motor Setup").waitFor({ state: "detached" });
  });

  await check("Drive Setup's Help shows its help page, which closes", async () => {
    await dialog(page, "Drive Setup").getByRole("button", { name: "Help", exact: true }).click();
    await page.locator(".help h2").filter({ hasText: "Drive Setup" }).waitFor();
    await page.locator(".help .close").click();
    await page.locator(".help").waitFor({ state: "hidden" });
  });

  await check("a message box is answered", async () => {
    await control(page, "Drive Setup", 3136).selectOption("128");
    await page.locator(".box").waitFor();
    const text = await page.locator(".box-text").textContent();
    assert(text.startsWith("If your drive is set in CANopen mode"), `the box says ${text}`);
    await page.locator(".box").getByRole("button", { name: "OK" }).click();
    await page.locator(".box").waitFor({ state: "detached" });
    await page.screenshot({ path: join(artifacts, "drive-setup.png") });
  });

  await check("the current test tunes, runs its step live and is closed without keeping the gains", async () => {
    const caption = "Current Controller Tuning Test";
    await control(page, "Drive Setup", 3137).click();
    await control(page, caption, 1300).getByRole("button", { name: "Test", exact: true }).click();
    // A passband other than the one the shipped gains were tuned for, so that Tune changes them.
    await control(page, caption, 3155).fill("2000");
    await control(page, caption, 3155).press("Tab");
    await control(page, caption, 3149).click();
    await control(page, caption, 10000).click();
    await page.waitForFunction(() =>
      document.querySelector('.window[data-caption="Current Controller Tuning Test"] [data-id="10002"]')
        ?.textContent === "Test passed", null, { timeout: 30000 });
    await control(page, caption, 1361).locator("canvas").first().waitFor();
    await page.screenshot({ path: join(artifacts, "current-test.png") });
    await dialog(page, caption).getByRole("button", { name: "Close", exact: true }).click();
    await page.locator(".box").getByRole("button", { name: "No" }).click();
    await dialog(page, caption).waitFor({ state: "detached" });
  });

  const saved = join(work, "axis.json");
  await check("Drive Setup closes with OK and the setup is saved with the new value", async () => {
    await dialog(page, "Drive Setup").getByRole("button", { name: "OK", exact: true }).click();
    await dialog(page, "Drive Setup").waitFor({ state: "detached" });
    await page.locator(".path").fill(saved);
    await page.getByRole("button", { name: "Save as" }).click();
    await page.waitForFunction(() => !document.title.startsWith("*") && document.title.startsWith("axis.json"));
    const setup = JSON.parse(readFileSync(saved, "utf8"));
    const nominal = setup.parameters.find((parameter) => parameter.name === "In");
    assert(nominal?.value === 3.5, `the saved nominal current is ${JSON.stringify(nominal)}`);
  });

  await check("a value the setup model refuses is explained beside its row", async () => {
    const row = page.locator('tr[data-name="Vdc"]');
    await row.locator("input.value").fill("36 volts");
    await row.locator("input.value").press("Enter");
    await row.locator(".row-error").filter({ hasText: 'Vdc: "36 volts" is not a number' }).waitFor();
  });

  await check("a parameter edited in the main window survives a killed kestrel", async () => {
    await page.locator('tr[data-name="Vdc"] input.value').fill("36");
    await page.locator('tr[data-name="Vdc"] input.value').press("Enter");
    await page.waitForFunction(() => document.title.startsWith("*axis.json"));
    child.kill("SIGKILL");
    ({ child, address } = await startKestrel());
    await page.goto(address);
    await page.locator(".box").waitFor();
    const text = await page.locator(".box-text").textContent();
    assert(text === `Kestrel kept changes to ${saved} that were not saved when it last stopped. Recover them?`, text);
    await page.locator(".box").getByRole("button", { name: "Yes" }).click();
    await page.waitForFunction(() => document.title.startsWith("*axis.json"));
    const value = await page.locator('tr[data-name="Vdc"] input.value').inputValue();
    assert(value === "36", `Vdc shows ${value} after the recovery`);
  });

  await check("Compute registers lists what changed", async () => {
    await page.getByRole("button", { name: "Compute registers" }).click();
    await page.getByText(/^Compute registers: \d+ values? changed$/).waitFor();
    const count = Number((await page.locator(".status").textContent()).match(/\d+/)[0]);
    const rows = await page.locator(".changes tbody tr").count();
    assert(count > 0 && rows === count, `${count} values changed, ${rows} rows listed`);
  });

  await check("Commission shows the road as it runs, refuses other actions, stops on Stop and opens its report", async () => {
    await page.getByRole("button", { name: "Commission", exact: true }).click();
    await page.locator(".road-step").first().waitFor({ timeout: 30000 });
    const heading = await page.locator(".commission-heading").textContent();
    assert(heading.startsWith("Commissioning: step 1 of "), heading);
    await page.getByRole("button", { name: "Save", exact: true }).click();
    await page.locator(".notice", { hasText: "commissioning is running" }).first().waitFor();
    await page.locator(".commission-stop").click();
    await page.locator(".commission-report:not([hidden])").waitFor({ timeout: 120000 });
    await page.screenshot({ path: join(artifacts, "commission.png") });
    const ended = await page.locator(".commission-heading").textContent();
    assert(ended.startsWith("Commissioning stopped"), ended);
    const opened = page.waitForEvent("popup");
    await page.locator(".commission-report").click();
    const report = await opened;
    const response = await report.waitForLoadState().then(() => report.evaluate(() => document.contentType));
    assert(response === "text/html", `the report opens as ${response}`);
    assert(existsSync(join(work, "axis-commissioning", "index.html")), "no report beside the setup");
    await report.close();
    await page.locator(".commission-close").click();
  });

  await check("a request without the token is refused", async () => {
    const response = await fetch(address.replace(/\?token=.*/, ""));
    assert(response.status === 403, `status ${response.status}`);
  });

  await check("Quit with unsaved changes asks, and kestrel stops without keeping them", async () => {
    const exited = new Promise((resolve) => child.on("exit", resolve));
    await page.getByRole("button", { name: "Quit" }).click();
    await page.locator(".box").waitFor();
    await page.locator(".box").getByRole("button", { name: "No" }).click();
    assert((await exited) === 0, "kestrel gui did not end with status 0");
    await page.getByText("Kestrel has stopped.").waitFor();
    assert(!existsSync(join(work, "recovery.json")), "the recovery file is still there");
  });
} finally {
  await browser?.close();
  child.kill("SIGTERM");
  rmSync(work, { recursive: true, force: true });
}

const failed = results.filter(([, error]) => error).length;
console.log(`${results.length - failed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
