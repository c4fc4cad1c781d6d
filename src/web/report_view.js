// A run's report drawn into a page: its totals, the optical system and the
// three grids as false-colour maps, from the report's data object.
// report.html draws it once; the live view of varnock watch again with
// every new report, into the same view.
import { esc, grouped, seconds } from "./format.js";
import { enableSaving, saveButtons } from "./figure_save.js";
import { notesBox } from "./page.js";
import { STAT_LABELS, mapsSection, usablePitch, wireMaps } from "./report_maps.js";
import { systemSvg } from "./system_drawing.js";
import { keyValueTable } from "./tables.js";

// How the maps are shown: the orientation, each map's colour scale (the
// scale a map takes when it has none chosen yet) and the colour map. The
// switches on the page change it; a page that draws a new report into
// itself keeps it, so the reader's choices stay.
export function newView(cmap) {
  return { layout: "screen", scale: {}, initialScale: "linear", cmap };
}

// The view can be chosen in the address, report.html#layout=file&scale=log,
// to open or bookmark the page that way.
export function viewFromAddress(view) {
  const wanted = new URLSearchParams(location.hash.slice(1));
  if (wanted.get("layout") === "file") view.layout = "file";
  if (wanted.get("scale") === "log") view.initialScale = "log";
}

function runSection(data) {
  const run = data.run, t = data.totals;
  const rows = [[run ? "Sheet" : "Report", esc(run ? run.sheet : data.title), false]];
  rows.push(["Total weight (all rays traced)", esc(t.total), true]);
  rows.push(["Transmitted weight (the sum of IXY)", esc(t.transmitted), true]);
  rows.push(["Ratio transmitted / total", esc(t.ratio) + (t.ratio === "nan" ? " (nothing was traced)" : ""), true]);
  if (run) {
    rows.push(["Fan rays", grouped(run.fan_rays), true], ["Source positions", grouped(run.source_positions), true],
      ["Index sets", grouped(run.index_sets), true], ["Surfaces", grouped(run.surfaces), true],
      ["Rays traced", grouped(run.rays_traced), true], ["Ray-surface steps", grouped(run.steps), true],
      ["Elapsed time", `${seconds(run.elapsed_seconds)} s`, true], ["Threads", grouped(run.threads), true],
      ["Mode", esc(run.mode) + (run.simd ? ` (${esc(run.simd)})` : ""), false]);
  }
  let html = `<section id="run"><h2>Run</h2>
    <p class="explain">${run ? "What was traced, and how much of its weight reached the last surface inside the IXY window."
      : "The totals of the report file; no run was recorded with it, so how it was traced is not known here."}</p>
    ${keyValueTable(rows, "run-table")}`;
  if (data.warnings && data.warnings.length) {
    html += `<h3 style="margin-top:14px">Warnings about the sheet</h3><ul class="warnings">` +
      data.warnings.map((w) => `<li>${esc(w)}</li>`).join("") + "</ul>";
  }
  return html + "</section>";
}

function systemSection(data, figures) {
  const s = data.system;
  if (!s) return "";
  const head = s.columns.map((c) => `<th>${esc(c)}</th>`).join("");
  const body = s.rows.map((r) => "<tr>" + r.map((c) => `<td>${esc(c)}</td>`).join("") + "</tr>").join("");
  const drawing = s.layout ? systemSvg(s.layout) : "";
  if (drawing) figures.set("system", () => drawing);
  return `<section id="system" class="section-break"><h2>System</h2>
    <p class="explain">The surfaces of the sheet, from the source plane towards the screen, and a drawing of them.</p>
    <table class="surfaces"><thead><tr>${head}</tr></thead><tbody>${body}</tbody></table>
    ${drawing ? `<figure id="system-drawing">${drawing}<figcaption>${esc(s.caption || "")} ${saveButtons("system")}</figcaption></figure>` : ""}</section>`;
}

// Draws the report of data into root, with the view's orientation and
// scales; root's content is replaced.
export function drawReport(root, data, view) {
  data.maps.forEach(usablePitch);
  document.title = `${data.title}: Varnock report`;
  const figures = new Map();
  const legend = (data.stats_legend || [])
    .map(([k, text]) => `<dt>${esc(STAT_LABELS[k] || k)}</dt><dd>${esc(text)}</dd>`).join("");
  root.innerHTML =
    `<header><h1>${esc(data.title)}</h1><p class="generator">Report made by ${esc(data.generated_by)}</p></header>` +
    notesBox(data.notes || []) + runSection(data) + systemSection(data, figures) + mapsSection(data, view, figures, legend);
  wireMaps(data, view);
  enableSaving(root, data.title, figures);
}
