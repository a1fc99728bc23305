// Whether the page keeps up with a live plot of 1000 points per second: the page's graph code,
// bundled with its session, runs in Debian's Chromium (headless, through Playwright) and is fed
// three curves on two axes for ten seconds. Reports the points drawn per second, the frame rate,
// the worst and the 99th-percentile delay from a point's tick to the frame that shows it, and
// whether the page kept up: every point drawn, none later than a second after its tick, and the
// delays not growing towards the end.
// Usage: node web/bench/live_plot_bench.mjs [SECONDS] [--slowdown=FACTOR]
// (exit 0: kept up, 1: fell behind); --slowdown runs the page's processor FACTOR times slower, as
// on a modest commissioning laptop.
import { build } from "esbuild";
import { readFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";
import { chromium } from "playwright-core";

const web = join(dirname(fileURLToPath(import.meta.url)), "..");
const options = process.argv.slice(2);
const slowdown = Number(options.find((option) => option.startsWith("--slowdown="))?.slice(11) ?? 1);
const duration_s = Number(options.find((option) => !option.startsWith("--")) ?? 10);
if (!(duration_s >= 2) || !(slowdown >= 1)) {
  console.error("usage: node live_plot_bench.mjs [SECONDS, at least 2] [--slowdown=FACTOR, at least 1]");
  process.exit(2);
}

const bundle = await build({
  entryPoints: [join(web, "bench/live_plot_page.ts")],
  bundle: true,
  minify: true,
  format: "iife",
  target: "es2020",
  write: false,
  logLevel: "warning",
});
const styles = [readFileSync(join(web, "src/page.css"), "utf8"), readFileSync(join(web, "node_modules/uplot/dist/uPlot.min.css"), "utf8")];

// The delay below which `share` of the delays fall.
function percentile(sorted, share) {
  return sorted[Math.min(sorted.length - 1, Math.ceil(share * sorted.length) - 1)];
}

// A live plot lags its points by no more than this.
const kLongestDelay_ms = 1000;

function median(values) {
  return percentile([...values].sort((a, b) => a - b), 0.5);
}

// The page fell behind when the points of the last second wait well longer than those of the
// second one (the first holds the plot's building): five ticks more, at the median.
function delayGrowth(delays_ms, run_s) {
  const second = (from_s) => delays_ms.slice(1000 * from_s, 1000 * (from_s + 1));
  const early = median(second(1));
  const late = median(second(run_s - 1));
  return { early, late, grew: late - early > 50 };
}

const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
    "--disable-component-update", "--disable-sync"],
});
let keptUp = false;
try {
  const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
  page.on("pageerror", (error) => console.error(`page error: ${error}`));
  if (slowdown > 1) {
    const devtools = await page.context().newCDPSession(page);
    await devtools.send("Emulation.setCPUThrottlingRate", { rate: slowdown });
  }
  await page.setContent(`<!doctype html><html><head><style>${styles.join("\n")}</style></head><body></body></html>`);
  await page.addScriptTag({ content: bundle.outputFiles[0].text });
  const figures = await page.evaluate((seconds) => window.runLivePlot(seconds), duration_s);

  const sorted = [...figures.delays_ms].sort((a, b) => a - b);
  const run_s = figures.run_ms / 1000;
  const allDrawn = figures.drawn === figures.fed && sorted.length === figures.fed;
  const growth = delayGrowth(figures.delays_ms, duration_s);
  const worst_ms = sorted.at(-1) ?? Infinity;
  keptUp = allDrawn && worst_ms <= kLongestDelay_ms && !growth.grew;
  const round = (value) => value.toFixed(1);
  console.log(`points fed:            ${figures.fed} in ${duration_s} s (three curves, two Y axes)${slowdown > 1 ? `, processor ${slowdown} times slower` : ""}`);
  console.log(`points drawn:          ${figures.drawn} (${round(figures.drawn / run_s)} per second over ${round(run_s)} s)`);
  console.log(`frame rate:            ${round(figures.frames / run_s)} frames per second`);
  console.log(`delay, tick to frame:  99th percentile ${round(percentile(sorted, 0.99) ?? NaN)} ms, worst ${round(worst_ms)} ms, median ${round(percentile(sorted, 0.5) ?? NaN)} ms`);
  console.log(`median delay:          ${round(growth.early)} ms in the second second, ${round(growth.late)} ms in the last`);
  console.log(keptUp ? "the page kept up" : `the page fell behind: ${!allDrawn ? "points were left undrawn"
    : worst_ms > kLongestDelay_ms ? `points waited more than ${kLongestDelay_ms} ms` : "its delays grew"}`);
} finally {
  await browser.close();
}
process.exit(keptUp ? 0 : 1);
