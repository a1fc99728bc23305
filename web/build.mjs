// Builds the page into the folder named on the command line: app.js (the TypeScript bundled by
// esbuild, with uPlot), app.css (the page's styles and uPlot's) and index.html.
import { build } from "esbuild";
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const out = process.argv[2];
if (!out) {
  console.error("usage: node build.mjs OUTPUT_FOLDER");
  process.exit(2);
}
mkdirSync(out, { recursive: true });
await build({
  entryPoints: ["src/main.ts"],
  bundle: true,
  minify: true,
  format: "iife",
  target: "es2020",
  outfile: join(out, "app.js"),
  logLevel: "warning",
});
const styles = [readFileSync("src/page.css", "utf8"), readFileSync("node_modules/uplot/dist/uPlot.min.css", "utf8")];
writeFileSync(join(out, "app.css"), styles.join("\n"));
copyFileSync("src/index.html", join(out, "index.html"));
