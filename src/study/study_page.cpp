#include "study/study_page.h"

#include <string>

#include "report/page_parts.h"

namespace varnock {
namespace {

// The page up to the data: head, styles and the empty body the script fills.
// The look is report.html's, so that a study and its runs read alike: the
// rules the two pages share come from page_parts.h, the study's own stand
// between them.
constexpr const char* PAGE_HEAD[] = {
    PAGE_DOCUMENT_START,
    "<title>Varnock study</title>\n",
    PAGE_BASE_STYLE,
    R"PAGE(h3 { font-size: 1.1em; margin: 18px 0 4px; }
p { margin: 6px 0; max-width: 72em; }
)PAGE",
    PAGE_NOTES_STYLE,
    R"PAGE(.notes ul { margin: 4px 0; padding-left: 22px; }
)PAGE",
    PAGE_FAILED_AND_TABLE_STYLE,
    R"PAGE(td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
thead th { border-bottom: 2px solid var(--ink); }
tr.failed td { background: var(--bad-bg); }
td.bad { color: var(--bad-rule); font-weight: 600; }
.points-table { font-size: 0.9em; }
.points-table td { white-space: nowrap; }
.points-table td.message { white-space: normal; min-width: 14em; max-width: 34em; }
.toolbar {
  position: sticky; top: 0; z-index: 5; background: #fff; padding: 8px 0;
  border-bottom: 1px solid var(--rule); display: flex; gap: 18px; flex-wrap: wrap; align-items: center;
}
select { font: inherit; padding: 2px 4px; }
.charts { display: flex; flex-wrap: wrap; gap: 14px 28px; margin-top: 10px; align-items: flex-start; }
.chart { margin: 0; }
.chart figcaption { font-size: 0.92em; max-width: 46em; }
.chart figcaption b { color: var(--ink); }
.readout { min-height: 1.5em; font-variant-numeric: tabular-nums; color: var(--muted); font-size: 0.9em; }
.skipped { font-size: 0.9em; color: var(--muted); margin: 4px 0 0; padding-left: 22px; }
svg text { font-family: system-ui, "Segoe UI", Roboto, Arial, sans-serif; fill: var(--ink); }
svg .pt { cursor: crosshair; }
svg .pt:hover { stroke: #ff2d55; stroke-width: 2.5; }
svg .cell:hover { stroke: #ff2d55; stroke-width: 2.5; }
.pair { display: flex; flex-wrap: wrap; gap: 6px 26px; margin: 14px 0 0; }
.pair > figcaption { flex-basis: 100%; font-weight: 600; color: var(--ink); }
.stat-table td.corr { min-width: 8em; }
.strip { display: flex; flex-wrap: wrap; gap: 12px 14px; margin-top: 10px; }
.thumb { margin: 0; width: 158px; }
.thumb figcaption { font-size: 0.78em; line-height: 1.3; overflow-wrap: anywhere; }
.thumb figcaption b { color: var(--ink); }
.thumb-plot { position: relative; width: 158px; height: 142px; }
.thumb-plot canvas {
  position: absolute; left: 30px; top: 4px; width: 123px; height: 123px;
  image-rendering: pixelated; image-rendering: crisp-edges; cursor: crosshair; background: #ddd;
}
.thumb-plot svg { position: absolute; left: 0; top: 0; pointer-events: none; overflow: visible; }
.limited { font-weight: 600; }
@page { margin: 14mm; }
@media print {
  body { max-width: none; padding: 0; font-size: 10pt; }
  .control, .readout, noscript { display: none !important; }
  .section-break { break-before: page; }
  .chart, .pair, .thumb, table, .notes { break-inside: avoid; }
  h2, h3, .explain { break-after: avoid; }
  .strip { gap: 8px 10px; }
  .points-table { font-size: 8pt; }
  .points-table th, .points-table td { padding: 2px 5px; }
}
</style>
</head>
<body>
<noscript><p>This report draws its charts and tables with JavaScript: please open it with scripts allowed.</p></noscript>
<main id="report"></main>
)PAGE",
};

// The script that draws the page from the embedded study data, with the
// helpers it shares with report.html from page_parts.h.
constexpr const char* PAGE_SCRIPT[] = {
    R"PAGE(<script>
"use strict";
(function () {
  const N = 41;        // cells along each side of an IXY grid
  const MID = 20;      // its centre cell, on the axis
  const THUMB = 3 * N; // screen pixels of one map in the strip
  const STRIP_MAX = 60;
  // A map without weight is drawn in a light grey that viridis never
  // reaches; a cell that is not a number in a mid grey.
  const ZERO_RGB = [214, 214, 214];
  const NAN_RGB = [128, 128, 128];
  const ACCENT = "#2b5d8c", NOMINAL = "#c0392b", INK = "#1b1b1b", GRID = "#e4e4e4";
  // The quantities the small charts and the table of points show first,
  // when the study has them.
  const MAIN_KEYS = ["ratio", "total", "transmitted", "IXY_peak", "IXY_fwhm_x", "IXY_fwhm_y"];
  const TRIAL_KEYS = ["ratio", "transmitted", "IXY_peak"];

  let data, cmap;
  const pageNotes = [];       // what the page itself has to say about the data
  const view = { quantity: null, mode: "index", shape: null };

)PAGE",
    TEXT_HELPERS_SCRIPT,
    R"PAGE(
  function plural(n, word) { return `${grouped(n)} ${word}${n === 1 ? "" : "s"}`; }

  function num(v) { return typeof v === "number" && Number.isFinite(v) ? v : NaN; }

  // A value to read: six significant digits, without the float noise.
  function fmt(v) {
    if (!Number.isFinite(v)) return "\u2013";
    if (v === 0) return "0";
    const a = Math.abs(v);
    if (a >= 1e7 || a < 1e-4) return v.toExponential(4).replace("e+", "e");
    return String(Number(v.toPrecision(6)));
  }

)PAGE",
    CHART_HELPERS_SCRIPT,
    R"PAGE(
  // Ticks at whole numbers only: point indices and counts.
  function wholeTicks(lo, hi, minCount) {
    const ticks = linearTicks(lo, hi, minCount).filter((t) => Math.abs(t.v - Math.round(t.v)) < 1e-9);
    return ticks.length ? ticks : [{ v: Math.round(lo), text: String(Math.round(lo)) }];
  }

  // The colour of t in [0, 1], by the rule of the report page.
)PAGE",
    COLOUR_OF_SCRIPT,
    R"PAGE(  function rgb(c) { return `rgb(${c[0]},${c[1]},${c[2]})`; }

  function svgText(x, y, text, attrs) {
    return `<text x="${x}" y="${y}" ${attrs || ""}>${esc(text)}</text>`;
  }

  // --- the data ------------------------------------------------------------

  // How a trial's cell is drawn ("normal:0.1", "uniform:2"): taken by its
  // form, whatever key the study file gives it.
  function drawText(j) {
    if (typeof j.draw === "string") return j.draw;
    const found = Object.keys(j).find((k) => k !== "name" && typeof j[k] === "string" && /^[a-z]+\s*:/i.test(j[k]));
    return found ? j[found] : "";
  }

  function validGrid(g) {
    return Array.isArray(g) && g.length === N && g.every((col) => Array.isArray(col) && col.length === N);
  }

  // The study data with every field present and of its type, so that the
  // drawing below need not doubt it; what cannot be used is said in a note.
  function prepare(d) {
    if (!d || typeof d !== "object" || Array.isArray(d)) throw new Error("the study data is not an object");
    const kind = d.kind === "trials" ? "trials" : "sweep";
    if (d.kind !== "sweep" && d.kind !== "trials") {
      pageNotes.push(d.kind === undefined ? "The study data does not say what kind of study it is: it is shown as a sweep."
        : `The kind of study ${JSON.stringify(d.kind)} is not one this page knows: it is shown as a sweep.`);
    }
    const parameters = (Array.isArray(d.parameters) ? d.parameters : []).map((c, k) => ({
      name: c && c.name != null ? String(c.name) : `cell ${k + 1}`,
      cell: c && c.cell != null ? String(c.cell) : "",
      unit: c && c.unit_hint ? String(c.unit_hint) : "",
    }));
    let badMaps = 0;
    const points = (Array.isArray(d.points) ? d.points : []).filter((p) => p && typeof p === "object").map((p, k) => {
      const ixy = validGrid(p.ixy) ? p.ixy.map((col) => col.map(num)) : null;
      if (p.ixy != null && !ixy) badMaps++;
      return {
        index: Number.isInteger(p.index) ? p.index : k,
        values: Array.isArray(p.values) ? p.values.map(num) : [],
        texts: Array.isArray(p.texts) ? p.texts.map((t) => (t == null ? "" : String(t))) : [],
        ok: p.ok === undefined ? true : p.ok === true,
        message: p.message ? String(p.message) : "",
        q: p.q && typeof p.q === "object" ? p.q : {},
        ixy,
      };
    });
    points.sort((a, b) => a.index - b.index);
    if (badMaps) pageNotes.push(`${badMaps} IXY maps in the data are not ${N} \u00d7 ${N} grids and are left out of the strip.`);
    let quantities = (Array.isArray(d.quantities) ? d.quantities : [])
      .filter((q) => q && typeof q.key === "string")
      .map((q) => ({ key: q.key, label: q.label ? String(q.label) : q.key.replace(/_/g, " ") }));
    if (!quantities.length) {
      const keys = [];
      for (const p of points) for (const k of Object.keys(p.q)) if (!keys.includes(k)) keys.push(k);
      quantities = keys.map((key) => ({ key, label: key.replace(/_/g, " ") }));
    }
    const s = d.summary && typeof d.summary === "object" ? d.summary : {};
    const failed = points.filter((p) => !p.ok).length;
    const summary = {
      points: Number.isInteger(s.points) ? s.points : points.length,
      failed: Number.isInteger(s.failed) ? s.failed : failed,
      elapsed: num(s.elapsed_seconds), threads: num(s.threads),
    };
    if (summary.points !== points.length) {
      pageNotes.push(`The summary counts ${plural(summary.points, "point")}, the data holds ${grouped(points.length)}: the page shows those it holds.`);
    }
    const jitter = (Array.isArray(d.jitter) ? d.jitter : []).filter((j) => j && typeof j === "object")
      .map((j, k) => ({ name: j.name != null ? String(j.name) : `cell ${k + 1}`, draw: drawText(j), nominal: num(j.nominal) }));
    // A pitch of zero or not a number gives no physical scale: the strip's
    // axes then count cells from the centre. A negative pitch works as it is.
    let pitch = num(d.ixy_pitch), unit = "mm";
    if (!Number.isFinite(pitch) || pitch === 0) { pitch = 1; unit = "cells"; }
    return {
      kind, title: d.title != null ? String(d.title) : "study", generatedBy: d.generated_by != null ? String(d.generated_by) : "varnock",
      summary, notes: (Array.isArray(d.notes) ? d.notes : []).map(String), parameters, grid: d.grid, jitter,
      quantities, points, pitch, unit,
    };
  }

  function qOf(p, key) { return p.ok ? num(p.q[key]) : NaN; }
  function qLabel(key) {
    const q = data.quantities.find((x) => x.key === key);
    return q ? q.label : key.replace(/_/g, " ");
  }
  function hasKey(key) { return data.quantities.some((q) => q.key === key); }

  // A cell's value at a point as the study wrote it into the sheet, or the
  // value itself where no text was written (the nominal trial).
  function paramText(p, k) { return p.texts[k] ? p.texts[k] : fmt(p.values[k]); }
  function paramName(c) { return c.name + (c.unit ? ` (${c.unit})` : ""); }
  function valuesText(p) { return data.parameters.map((c, k) => `${c.name} = ${paramText(p, k)}`).join(", "); }
  function pointName(p) {
    return `point ${p.index}` + (data.kind === "trials" && p.index === 0 ? " (nominal)" : "");
  }
  function pointLabel(p) {
    const v = valuesText(p);
    return pointName(p) + (v ? ` (${v})` : "");
  }

  function mainKeys() {
    const keys = MAIN_KEYS.filter(hasKey);
    return keys.length ? keys : data.quantities.slice(0, 6).map((q) => q.key);
  }

  function nominalPoint() { return data.points.find((p) => p.index === 0) || null; }
  function trialPoints() { return data.points.filter((p) => p.index >= 1); }

  // --- statistics ------------------------------------------------------------

  // Percentile p (0..1) of sorted values, interpolated linearly between the
  // neighbouring order statistics (the usual default of spreadsheets).
  function percentile(sorted, p) {
    if (!sorted.length) return NaN;
    const h = (sorted.length - 1) * p, lo = Math.floor(h);
    return lo + 1 < sorted.length ? sorted[lo] + (h - lo) * (sorted[lo + 1] - sorted[lo]) : sorted[lo];
  }

  function meanOf(v) { return v.reduce((a, b) => a + b, 0) / v.length; }

  function pearson(xs, ys) {
    const n = xs.length;
    if (n < 3) return { r: NaN, why: "fewer than three trials with both values" };
    const mx = meanOf(xs), my = meanOf(ys);
    let sxy = 0, sxx = 0, syy = 0;
    for (let k = 0; k < n; k++) {
      const dx = xs[k] - mx, dy = ys[k] - my;
      sxy += dx * dy; sxx += dx * dx; syy += dy * dy;
    }
    if (!(sxx > 0)) return { r: NaN, why: "the cell took one value in every trial" };
    if (!(syy > 0)) return { r: NaN, why: "the quantity did not change" };
    return { r: Math.max(-1, Math.min(1, sxy / Math.sqrt(sxx * syy))), why: "" };
  }

  // The pairs (cell value, quantity) of the trials where both are numbers.
  function pairs(k, key) {
    const xs = [], ys = [];
    for (const p of trialPoints()) {
      const x = p.values[k], y = qOf(p, key);
      if (Number.isFinite(x) && Number.isFinite(y)) { xs.push(x); ys.push(y); }
    }
    return { xs, ys };
  }

  // --- charts ------------------------------------------------------------------

  // The range of values with a little room on either side, so that the marks
  // at the ends are not cut by the frame.
  function span(values, extra) {
    let lo = Infinity, hi = -Infinity;
    for (const v of values.concat(extra || [])) if (Number.isFinite(v)) { lo = Math.min(lo, v); hi = Math.max(hi, v); }
    if (lo === Infinity) return [0, 1];
    if (hi === lo) { const pad = Math.abs(lo) * 0.05 || 1; return [lo - pad, hi + pad]; }
    const pad = (hi - lo) * 0.04;
    return [lo - pad, hi + pad];
  }

  // The frame of a chart: grid lines, ticks, tick labels and axis titles;
  // gives the mapping of values to pixels with it.
  function plotFrame(f) {
    const px = (v) => f.L + ((v - f.x[0]) / (f.x[1] - f.x[0])) * (f.W - f.L - f.R);
    const py = (v) => f.H - f.B - ((v - f.y[0]) / (f.y[1] - f.y[0])) * (f.H - f.T - f.B);
    const out = [];
    for (const t of f.yTicks) {
      const y = py(t.v).toFixed(1);
      out.push(`<line x1="${f.L}" x2="${f.W - f.R}" y1="${y}" y2="${y}" stroke="${GRID}"/>`);
      out.push(svgText(f.L - 6, Number(y) + 4, t.text, 'text-anchor="end"'));
    }
    for (const t of f.xTicks) {
      const x = px(t.v).toFixed(1);
      out.push(`<line x1="${x}" x2="${x}" y1="${f.H - f.B}" y2="${f.H - f.B + 4}" stroke="${INK}"/>`);
      out.push(svgText(x, f.H - f.B + 16, t.text, 'text-anchor="middle"'));
    }
    out.push(`<path d="M${f.L},${f.T}V${f.H - f.B}H${f.W - f.R}" fill="none" stroke="${INK}"/>`);
    if (f.xLabel) out.push(svgText((f.L + f.W - f.R) / 2, f.H - 8, f.xLabel, 'text-anchor="middle" font-weight="600"'));
    if (f.yLabel) {
      const cy = (f.T + f.H - f.B) / 2;
      out.push(svgText(14, cy, f.yLabel, `text-anchor="middle" font-weight="600" transform="rotate(-90 14 ${cy})"`));
    }
    return { px, py, svg: out.join("") };
  }

  function svgOpen(W, H, label) {
    return `<svg width="${W}" height="${H}" viewBox="0 0 ${W} ${H}" font-size="11" role="img" aria-label="${esc(label)}">`;
  }

  function marker(x, y, tip, nominal, r) {
    const t = `<title>${esc(tip)}</title>`;
    if (nominal) {
      return `<path class="pt nominal" d="M${x.toFixed(1)},${(y - 7).toFixed(1)}l7,7l-7,7l-7,-7z" fill="${NOMINAL}" stroke="#fff" data-tip="${esc(tip)}">${t}</path>`;
    }
    return `<circle class="pt" cx="${x.toFixed(1)}" cy="${y.toFixed(1)}" r="${r}" fill="${ACCENT}" stroke="#fff" data-tip="${esc(tip)}">${t}</circle>`;
  }

  // A chart of y against x with the points marked; o.join joins them in
  // order of x, o.fit draws the least-squares line, o.nominal is a point
  // marked apart (the nominal trial).
  function xyChart(o) {
    const W = o.W, H = o.H;
    const xr = span(o.pts.map((p) => p.x), o.nominal ? [o.nominal.x] : []);
    const yr = span(o.pts.map((p) => p.y), o.nominal ? [o.nominal.y] : []);
    const small = W < 500;
    const frame = plotFrame({
      W, H, L: 72, R: 14, T: 12, B: o.xLabel ? 44 : 26, x: xr, y: yr,
      xTicks: o.wholeX ? wholeTicks(xr[0], xr[1], small ? 3 : 5) : linearTicks(xr[0], xr[1], small ? 3 : 5),
      yTicks: linearTicks(yr[0], yr[1], small ? 3 : 5), xLabel: o.xLabel, yLabel: o.yLabel,
    });
    const { px, py } = frame;
    const out = [svgOpen(W, H, o.title), frame.svg];
    if (!o.pts.length && !o.nominal) {
      out.push(svgText((72 + W) / 2, H / 2, "no values to draw", 'text-anchor="middle" style="fill:#5a5a5a"'));
    }
    if (o.join && o.pts.length > 1) {
      const sorted = o.pts.slice().sort((a, b) => a.x - b.x);
      const d = sorted.map((p, k) => `${k ? "L" : "M"}${px(p.x).toFixed(1)},${py(p.y).toFixed(1)}`).join("");
      out.push(`<path d="${d}" fill="none" stroke="${ACCENT}" stroke-width="1.6"/>`);
    }
    if (o.fit && o.pts.length > 1) {
      const xs = o.pts.map((p) => p.x), ys = o.pts.map((p) => p.y), mx = meanOf(xs), my = meanOf(ys);
      let sxy = 0, sxx = 0;
      xs.forEach((x, k) => { sxy += (x - mx) * (ys[k] - my); sxx += (x - mx) * (x - mx); });
      if (sxx > 0) {
        const b = sxy / sxx, y0 = my + b * (xr[0] - mx), y1 = my + b * (xr[1] - mx);
        out.push(`<line x1="${px(xr[0]).toFixed(1)}" x2="${px(xr[1]).toFixed(1)}" y1="${py(y0).toFixed(1)}" y2="${py(y1).toFixed(1)}" ` +
          `stroke="${INK}" stroke-dasharray="5 4" stroke-width="1.2" class="fit"/>`);
      }
    }
    // Smaller marks where many points would run into each other.
    const r = o.pts.length > 40 ? 2.5 : o.pts.length > 15 ? 3.2 : 4;
    for (const p of o.pts) out.push(marker(px(p.x), py(p.y), p.tip, false, r));
    if (o.nominal) out.push(marker(px(o.nominal.x), py(o.nominal.y), o.nominal.tip, true, r));
    out.push("</svg>");
    return out.join("");
  }

  // A chart with its caption; a large one also gets a line that reads out
  // the mark pointed at (the small ones have their tooltips).
  function figure(key, caption, svg, after, readout) {
    return `<figure class="chart" data-key="${esc(key)}"><figcaption>${caption}</figcaption>${svg}` +
      (readout ? `<div class="readout control">Point at a mark to read its values.</div>` : "") + `${after || ""}</figure>`;
  }

  // The points a chart of key leaves out, and why, as a list.
  function skippedList(key, drawn) {
    const left = data.points.filter((p) => !drawn.has(p.index));
    if (!left.length) return "";
    const items = left.slice(0, 20).map((p) => p.ok
      ? `<li>${esc(pointLabel(p))}: no value of ${esc(qLabel(key))}</li>`
      : `<li>${esc(pointLabel(p))} failed${p.message ? ": " + esc(p.message) : ""}</li>`);
    if (left.length > 20) items.push(`<li>and ${grouped(left.length - 20)} more (see the table of points)</li>`);
    return `<p class="explain">Not drawn (${grouped(left.length)} ${left.length === 1 ? "point" : "points"}):</p><ul class="skipped">${items.join("")}</ul>`;
  }

  // A sweep's quantity against its one cell, or against the point index.
  function sweepLine(key, big) {
    const byValue = view.mode === "line";
    const pts = [], drawn = new Set();
    for (const p of data.points) {
      const x = byValue ? p.values[0] : p.index, y = qOf(p, key);
      if (!Number.isFinite(x) || !Number.isFinite(y)) continue;
      drawn.add(p.index);
      pts.push({ x, y, tip: `${pointLabel(p)}: ${qLabel(key)} = ${fmt(y)}` });
    }
    const xLabel = byValue ? paramName(data.parameters[0]) + (data.parameters[0].cell ? `, cell ${data.parameters[0].cell}` : "") : "point index";
    const svg = xyChart({
      W: big ? 760 : 400, H: big ? 400 : 250, pts, join: true, wholeX: !byValue, title: qLabel(key),
      xLabel, yLabel: big ? qLabel(key) : "",
    });
    const caption = big ? `<b>${esc(qLabel(key))}</b> against ${esc(byValue ? data.parameters[0].name : "the point index")}`
      : `<b>${esc(qLabel(key))}</b>` + (drawn.size < data.points.length ? ` (${data.points.length - drawn.size} not drawn)` : "");
    return figure(key, caption, svg, big ? skippedList(key, drawn) : "", big);
  }

  // A quantity over the grid of two cells as a heat map, with its colour bar.
  function heatMap(key, big) {
    const [n0, n1] = view.shape, [c0, c1] = data.parameters;
    const W = big ? 760 : 420, H = big ? 460 : 290;
    const L = big ? 78 : 62, T = 12, B = big ? 50 : 44, R = big ? 110 : 92;
    const plotW = W - L - R, plotH = H - T - B, cw = plotW / n0, ch = plotH / n1;
    const at = (i0, i1) => data.points[i0 * n1 + i1];
    let lo = Infinity, hi = -Infinity;
    for (const p of data.points) {
      const v = qOf(p, key);
      if (Number.isFinite(v)) { lo = Math.min(lo, v); hi = Math.max(hi, v); }
    }
    const any = lo <= hi;
    const tOf = (v) => (hi > lo ? (v - lo) / (hi - lo) : 0.5);
    const out = [svgOpen(W, H, qLabel(key))];
    const drawn = new Set();
    const showValues = big && cw >= 46 && ch >= 20;
    for (let i0 = 0; i0 < n0; i0++) {
      for (let i1 = 0; i1 < n1; i1++) {
        const p = at(i0, i1), v = qOf(p, key);
        const x = L + i0 * cw, y = T + (n1 - 1 - i1) * ch;
        const ok = Number.isFinite(v);
        if (ok) drawn.add(p.index);
        const tip = `${pointLabel(p)}: ` + (ok ? `${qLabel(key)} = ${fmt(v)}` : p.ok ? `no value of ${qLabel(key)}` : `failed${p.message ? ": " + p.message : ""}`);
        const c = ok ? colourOf(tOf(v)) : ZERO_RGB;
        out.push(`<rect class="cell" x="${x.toFixed(1)}" y="${y.toFixed(1)}" width="${cw.toFixed(1)}" height="${ch.toFixed(1)}" ` +
          `fill="${rgb(c)}" data-tip="${esc(tip)}"><title>${esc(tip)}</title></rect>`);
        if (!ok) {
          out.push(svgText((x + cw / 2).toFixed(1), (y + ch / 2 + 5).toFixed(1), "\u00d7", 'text-anchor="middle" font-size="15" style="fill:#5a5a5a" pointer-events="none"'));
        } else if (showValues) {
          const t = tOf(v);
          out.push(svgText((x + cw / 2).toFixed(1), (y + ch / 2 + 4).toFixed(1), String(Number(v.toPrecision(4))),
            `text-anchor="middle" pointer-events="none" style="fill:${t > 0.55 ? INK : "#fff"}"`));
        }
      }
    }
    out.push(`<rect x="${L}" y="${T}" width="${plotW}" height="${plotH}" fill="none" stroke="${INK}"/>`);
    // The cells' values as tick labels, thinned out where they would crowd.
    const every0 = Math.max(1, Math.ceil(n0 / Math.max(1, Math.floor(plotW / 56))));
    for (let i0 = 0; i0 < n0; i0 += every0) {
      const x = L + (i0 + 0.5) * cw;
      out.push(`<line x1="${x.toFixed(1)}" x2="${x.toFixed(1)}" y1="${T + plotH}" y2="${T + plotH + 4}" stroke="${INK}"/>`);
      out.push(svgText(x.toFixed(1), T + plotH + 16, paramText(at(i0, 0), 0), 'text-anchor="middle"'));
    }
    const every1 = Math.max(1, Math.ceil(n1 / Math.max(1, Math.floor(plotH / 18))));
    for (let i1 = 0; i1 < n1; i1 += every1) {
      const y = T + (n1 - 1 - i1 + 0.5) * ch;
      out.push(`<line x1="${L - 4}" x2="${L}" y1="${y.toFixed(1)}" y2="${y.toFixed(1)}" stroke="${INK}"/>`);
      out.push(svgText(L - 7, (y + 4).toFixed(1), paramText(at(0, i1), 1), 'text-anchor="end"'));
    }
    out.push(svgText(L + plotW / 2, H - 8, paramName(c0) + (c0.cell ? `, cell ${c0.cell}` : ""), 'text-anchor="middle" font-weight="600"'));
    const cy = T + plotH / 2;
    out.push(svgText(14, cy, paramName(c1) + (c1.cell ? `, cell ${c1.cell}` : ""), `text-anchor="middle" font-weight="600" transform="rotate(-90 14 ${cy})"`));
    // The colour bar.
    const bx = L + plotW + 18, bw = 14;
    if (any) {
      for (let k = 0; k < cmap.length; k++) {
        const y0 = T + plotH - ((k + 1) * plotH) / cmap.length;
        out.push(`<rect x="${bx}" y="${y0.toFixed(2)}" width="${bw}" height="${(plotH / cmap.length + 0.6).toFixed(2)}" fill="${rgb(cmap[k])}"/>`);
      }
      const ticks = hi > lo ? linearTicks(lo, hi, big ? 5 : 3) : [{ v: lo, text: fmt(lo) }];
      for (const t of ticks) {
        const y = T + plotH - Math.min(1, Math.max(0, tOf(t.v))) * plotH;
        out.push(`<line x1="${bx + bw}" x2="${bx + bw + 4}" y1="${y.toFixed(1)}" y2="${y.toFixed(1)}" stroke="${INK}"/>`);
        out.push(svgText(bx + bw + 7, (y + 4).toFixed(1), t.text));
      }
    } else {
      out.push(svgText(bx, T + plotH + 16, "no values"));
    }
    out.push(`<rect x="${bx}" y="${T}" width="${bw}" height="${plotH}" fill="none" stroke="${INK}"/>`);
    out.push("</svg>");
    const caption = `<b>${esc(qLabel(key))}</b>` + (big ? ` over ${esc(c0.name)} and ${esc(c1.name)}; \u00d7: no value` : "") +
      (!big && drawn.size < data.points.length ? ` (${data.points.length - drawn.size} \u00d7)` : "");
    return figure(key, caption, out.join(""), big ? skippedList(key, drawn) : "", big);
  }

  // A trial quantity against each jittered cell's drawn value, the nominal
  // system marked apart, with the least-squares line.
  function trialScatters(key) {
    const nominal = nominalPoint();
    return `<div class="charts">` + data.parameters.map((c, k) => {
      const pts = [];
      for (const p of trialPoints()) {
        const x = p.values[k], y = qOf(p, key);
        if (Number.isFinite(x) && Number.isFinite(y)) pts.push({ x, y, tip: `${pointLabel(p)}: ${qLabel(key)} = ${fmt(y)}` });
      }
      let nom = null;
      if (nominal && Number.isFinite(nominal.values[k]) && Number.isFinite(qOf(nominal, key))) {
        nom = { x: nominal.values[k], y: qOf(nominal, key), tip: `${pointLabel(nominal)}: ${qLabel(key)} = ${fmt(qOf(nominal, key))}` };
      }
      const pr = pairs(k, key), { r } = pearson(pr.xs, pr.ys);
      const svg = xyChart({ W: 440, H: 280, pts, nominal: nom, fit: true, title: `${qLabel(key)} against ${c.name}`,
        xLabel: paramName(c) + (c.cell ? `, cell ${c.cell}` : ""), yLabel: qLabel(key) });
      const caption = `<b>${esc(qLabel(key))}</b> against ${esc(c.name)}: r = ${Number.isFinite(r) ? r.toFixed(3) : "\u2013"}` +
        ` over ${pts.length} trials; \u25c6 the nominal system`;
      return figure(key, caption, svg, "", true);
    }).join("") + "</div>";
  }

  function mainChart(key) {
    if (!key) return `<p class="explain">The study has no quantities to chart.</p>`;
    if (data.kind === "trials") return trialScatters(key);
    return view.mode === "heat" ? heatMap(key, true) : sweepLine(key, true);
  }

  // Which chart a sweep gets: against its one cell, over a grid of two, or
  // against the point index (cells paired one by one, or more than two).
  function chooseMode() {
    const P = data.parameters.length, pts = data.points;
    if (data.kind === "trials") return "scatter";
    if (data.grid != null) {
      const s = data.grid && data.grid.shape;
      const shapeOk = Array.isArray(s) && s.length === 2 && s.every((n) => Number.isInteger(n) && n > 0);
      if (shapeOk && P === 2 && s[0] * s[1] === pts.length && pts.every((p, k) => p.index === k)) {
        view.shape = s;
        return "heat";
      }
      pageNotes.push(`The study says its points form a grid of shape ${JSON.stringify(s)}, which does not fit its ` +
        `${plural(pts.length, "point")} over ${plural(P, "cell")}: the charts are drawn against the point index instead.`);
      return "index";
    }
    if (P === 1 && pts.every((p) => !p.ok || Number.isFinite(p.values[0]))) return "line";
    return "index";
  }

  function chartsSection() {
    const keys = data.quantities.map((q) => q.key);
    view.quantity = keys.includes("ratio") ? "ratio" : keys[0] || null;
    const options = data.quantities.map((q) =>
      `<option value="${esc(q.key)}"${q.key === view.quantity ? " selected" : ""}>${esc(q.label)}</option>`).join("");
    const names = data.parameters.map((c) => c.name).join(", ");
    const explain = {
      line: `Each quantity against ${esc(names)}, one mark per point; the marks are joined in order of the value. Point at a mark to read it.`,
      heat: `Each quantity over the grid of ${esc(names)}: one square per point, its colour the quantity's value on the scale of the bar beside it. Point at a square to read it.`,
      index: `Each quantity against the point index, one mark per point, joined in order; ` +
        `point at a mark to read its cells' values (${esc(names || "none")}).`,
      scatter: `The chosen quantity against each jittered cell's drawn value, one mark per trial, with the least-squares line; a slope shows how strongly the quantity depends on that cell.`,
    }[view.mode];
    const glance = data.kind === "sweep" && data.points.length
      ? `<h3>At a glance</h3><div class="charts glance">${mainKeys().map((k) => (view.mode === "heat" ? heatMap(k, false) : sweepLine(k, false))).join("")}</div>` : "";
    const title = data.kind === "trials" ? "Quantities against the jittered cells" : "Quantities over the sweep";
    return `<section id="charts" class="section-break"><h2>${title}</h2><p class="explain">${explain}</p>
      <div class="toolbar control"><label>Quantity: <select id="quantity">${options}</select></label></div>
      <div id="main-chart">${mainChart(view.quantity)}</div>${glance}</section>`;
  }

  // --- trials: distributions, correlations, percentiles -----------------------

  function histogramPair(key) {
    const label = qLabel(key);
    const vals = trialPoints().map((p) => qOf(p, key)).filter(Number.isFinite).sort((a, b) => a - b);
    const nominal = nominalPoint(), nv = nominal ? qOf(nominal, key) : NaN;
    const head = `<figcaption>${esc(label)} over ${vals.length} trials` +
      (Number.isFinite(nv) ? `; nominal ${esc(fmt(nv))} (red line)` : "; no nominal value") + `</figcaption>`;
    if (!vals.length) {
      return `<figure class="pair" data-key="${esc(key)}">${head}<p class="explain">No trial has a value of ${esc(label)}.</p></figure>`;
    }
    const bins = Math.max(5, Math.round(Math.sqrt(vals.length)));
    let lo = vals[0], hi = vals[vals.length - 1];
    if (!(hi > lo)) { const pad = Math.abs(lo) * 1e-3 || 1e-3; lo -= pad; hi += pad; }
    const width = (hi - lo) / bins, counts = new Array(bins).fill(0);
    for (const v of vals) counts[Math.min(bins - 1, Math.max(0, Math.floor((v - lo) / width)))]++;
    const xr = span([lo, hi], [nv]);
    const xTicks = linearTicks(xr[0], xr[1], 4);
    const W = 420, H = 250;
    const top = Math.max(...counts);
    const yTop = Math.max(top, wholeTicks(0, top, 3).slice(-1)[0].v);
    const h = plotFrame({ W, H, L: 52, R: 14, T: 12, B: 44, x: xr, y: [0, yTop * 1.05], xTicks,
      yTicks: wholeTicks(0, yTop, 3), xLabel: label, yLabel: "trials" });
    const hist = [svgOpen(W, H, `histogram of ${label}`), h.svg];
    counts.forEach((c, k) => {
      const a = lo + k * width, b = lo + (k + 1) * width;
      const tip = `${c} ${c === 1 ? "trial" : "trials"} with ${label} from ${fmt(a)} to ${fmt(b)}`;
      hist.push(`<rect class="bar pt" x="${h.px(a).toFixed(1)}" y="${h.py(c).toFixed(1)}" width="${Math.max(0.5, h.px(b) - h.px(a) - 1).toFixed(1)}" ` +
        `height="${(h.py(0) - h.py(c)).toFixed(1)}" fill="${ACCENT}" data-count="${c}" data-tip="${esc(tip)}"><title>${esc(tip)}</title></rect>`);
    });
    const vline = (f) => {
      if (!Number.isFinite(nv)) return "";
      const x = f.px(nv).toFixed(1);
      return `<line class="nominal" x1="${x}" x2="${x}" y1="12" y2="${H - 44}" stroke="${NOMINAL}" stroke-width="2" stroke-dasharray="6 3"/>` +
        svgText(Number(x) + 4, 24, "nominal", `style="fill:${NOMINAL}" font-weight="600"`);
    };
    hist.push(vline(h), "</svg>");
    const c = plotFrame({ W, H, L: 52, R: 14, T: 12, B: 44, x: xr, y: [0, 1], xTicks,
      yTicks: [0, 0.25, 0.5, 0.75, 1].map((v) => ({ v, text: `${v * 100} %` })), xLabel: label, yLabel: "trials at or below" });
    let d = `M${c.px(xr[0]).toFixed(1)},${c.py(0).toFixed(1)}`;
    vals.forEach((v, k) => { d += `H${c.px(v).toFixed(1)}V${c.py((k + 1) / vals.length).toFixed(1)}`; });
    d += `H${c.px(xr[1]).toFixed(1)}`;
    const cdf = [svgOpen(W, H, `cumulative distribution of ${label}`), c.svg,
      `<path class="cdf" d="${d}" fill="none" stroke="${ACCENT}" stroke-width="1.8"/>`, vline(c), "</svg>"];
    return `<figure class="pair" data-key="${esc(key)}">${head}<div class="chart histogram">${hist.join("")}</div>` +
      `<div class="chart cdf">${cdf.join("")}</div><div class="readout control" style="flex-basis:100%">Point at a bar to read it.</div></figure>`;
  }

  function histogramsSection() {
    const keys = TRIAL_KEYS.filter(hasKey);
    const body = keys.length ? keys.map(histogramPair).join("")
      : `<p class="explain">The study has none of the quantities ${TRIAL_KEYS.join(", ")}.</p>`;
    const n = trialPoints().length;
    return `<section id="histograms" class="section-break"><h2>Distributions over the trials</h2>
      <p class="explain">How the ${grouped(n)} drawn trials spread: on the left a histogram (${Math.max(5, Math.round(Math.sqrt(n)))} bins,
      about the square root of the number of trials), on the right the cumulative distribution, the share of trials at or
      below each value. The dashed red line is the nominal system (point 0, nothing jittered). Failed trials are left out.</p>${body}</section>`;
  }

  function correlationsSection() {
    const keys = TRIAL_KEYS.filter(hasKey);
    const cells = data.parameters;
    const n = trialPoints().filter((p) => p.ok).length;
    const head = keys.map((k) => `<th class="num">${esc(qLabel(k))}</th>`).join("");
    const rows = cells.map((c, k) => {
      const tds = keys.map((key) => {
        const pr = pairs(k, key), { r, why } = pearson(pr.xs, pr.ys);
        if (!Number.isFinite(r)) {
          return `<td class="num corr" data-cell="${esc(c.name)}" data-quantity="${esc(key)}" data-r="" title="${esc(why)}">\u2013</td>`;
        }
        const share = Math.round(Math.abs(r) * 100);
        const tint = r >= 0 ? "rgba(43,93,140,0.28)" : "rgba(192,57,43,0.28)";
        return `<td class="num corr" data-cell="${esc(c.name)}" data-quantity="${esc(key)}" data-r="${r.toPrecision(6)}" ` +
          `style="background:linear-gradient(to right, ${tint} ${share}%, transparent ${share}%)">${r >= 0 ? "+" : "\u2212"}${Math.abs(r).toFixed(3)}</td>`;
      }).join("");
      return `<tr><th>${esc(c.name)}${c.cell ? ` <span class="explain">(${esc(c.cell)})</span>` : ""}</th>${tds}</tr>`;
    }).join("");
    const noise = n > 3 ? (2 / Math.sqrt(n)).toFixed(2) : null;
    return `<section id="correlations"><h2>Which cell matters</h2>
      <p class="explain">The correlation (Pearson's r) of each jittered cell's drawn value with each quantity over the
      ${grouped(n)} trials that ran. Near +1: the quantity rises with the cell; near \u22121: it falls; near 0: no straight-line
      relation.${noise ? ` With this many trials an |r| below about ${noise} may well be chance.` : ""} The shaded bar is |r|.</p>
      <table class="stat-table"><thead><tr><th>Cell</th>${head}</tr></thead><tbody>${rows}</tbody></table></section>`;
  }

  function percentilesSection() {
    const keys = TRIAL_KEYS.filter(hasKey);
    const cols = [["nominal", "nominal"], ["min", "min"], ["p5", "5 %"], ["p50", "50 %"], ["p95", "95 %"], ["max", "max"], ["mean", "mean"], ["std", "std. dev."]];
    const nominal = nominalPoint();
    const rows = keys.map((key) => {
      const v = trialPoints().map((p) => qOf(p, key)).filter(Number.isFinite).sort((a, b) => a - b);
      const m = v.length ? meanOf(v) : NaN;
      const s = {
        nominal: nominal ? qOf(nominal, key) : NaN, min: v.length ? v[0] : NaN, p5: percentile(v, 0.05), p50: percentile(v, 0.5),
        p95: percentile(v, 0.95), max: v.length ? v[v.length - 1] : NaN, mean: m,
        std: v.length > 1 ? Math.sqrt(v.reduce((a, x) => a + (x - m) * (x - m), 0) / (v.length - 1)) : NaN,
      };
      return `<tr><th>${esc(qLabel(key))}</th>` + cols.map(([k]) =>
        `<td class="num" data-quantity="${esc(key)}" data-stat="${k}" data-v="${Number.isFinite(s[k]) ? s[k] : ""}">${fmt(s[k])}</td>`).join("") +
        `<td class="num">${v.length}</td></tr>`;
    }).join("");
    return `<section id="percentiles"><h2>Percentiles</h2>
      <p class="explain">Over the trials that ran (the nominal system apart); a percentile between two trials is interpolated
      linearly between them. The standard deviation is the sample's (divided by n \u2212 1).</p>
      <table class="stat-table"><thead><tr><th>Quantity</th>${cols.map(([, t]) => `<th class="num">${t}</th>`).join("")}<th class="num">trials</th></tr></thead>
      <tbody>${rows}</tbody></table></section>`;
  }

  // --- the strip of IXY maps ------------------------------------------------------

  function stripScale(withMap) {
    let lo = Infinity, hi = -Infinity, peakAt = null;
    for (const p of withMap) {
      for (const col of p.ixy) {
        for (const v of col) {
          if (!Number.isFinite(v)) continue;
          lo = Math.min(lo, v);
          if (v > hi) { hi = v; peakAt = p; }
        }
      }
    }
    if (!(hi > 0)) return null;
    lo = Math.min(0, lo);
    return { lo, hi, peakAt, t: (v) => (Number.isFinite(v) ? (v - lo) / (hi - lo) : NaN) };
  }

  function stripBar(cs) {
    const W = 560, H = 58, L = 16, R = 40, bw = W - L - R, T = 6, bh = 16;
    const out = [svgOpen(W, H, "colour scale of the IXY maps")];
    if (cs) {
      for (let k = 0; k < cmap.length; k++) {
        out.push(`<rect x="${(L + (k * bw) / cmap.length).toFixed(2)}" y="${T}" width="${(bw / cmap.length + 0.6).toFixed(2)}" height="${bh}" fill="${rgb(cmap[k])}"/>`);
      }
      for (const t of linearTicks(cs.lo, cs.hi, 5)) {
        const x = (L + cs.t(t.v) * bw).toFixed(1);
        out.push(`<line x1="${x}" x2="${x}" y1="${T + bh}" y2="${T + bh + 4}" stroke="${INK}"/>`, svgText(x, T + bh + 16, t.text, 'text-anchor="middle"'));
      }
      out.push(svgText(L + bw / 2, H - 2, "weight per cell, linear scale, shared by every map", 'text-anchor="middle" style="fill:#5a5a5a"'));
    } else {
      out.push(`<rect x="${L}" y="${T}" width="${bw}" height="${bh}" fill="${rgb(ZERO_RGB)}"/>`,
        svgText(L + bw / 2, T + bh + 16, "no weight in any map: nothing to scale", 'text-anchor="middle"'));
    }
    out.push(`<rect x="${L}" y="${T}" width="${bw}" height="${bh}" fill="none" stroke="${INK}"/></svg>`);
    return out.join("");
  }

  // The axes around one small map: x to the right, y upwards, as seen
  // looking along +z.
  function thumbAxes() {
    const half = 20.5 * data.pitch, x0 = 30, y0 = 4, S = THUMB;
    const out = [`<svg width="158" height="142" font-size="9">`, `<rect x="${x0}" y="${y0}" width="${S}" height="${S}" fill="none" stroke="${INK}"/>`];
    for (const t of linearTicks(-Math.abs(half), Math.abs(half), 3)) {
      const f = (t.v + half) / (2 * half);
      const x = (x0 + f * S).toFixed(1), y = (y0 + S - f * S).toFixed(1);
      out.push(`<line x1="${x}" x2="${x}" y1="${y0 + S}" y2="${y0 + S + 3}" stroke="${INK}"/>`, svgText(x, y0 + S + 12, t.text, 'text-anchor="middle"'));
      out.push(`<line x1="${x0 - 3}" x2="${x0}" y1="${y}" y2="${y}" stroke="${INK}"/>`, svgText(x0 - 5, Number(y) + 3, t.text, 'text-anchor="end"'));
    }
    out.push("</svg>");
    return out.join("");
  }

  function stripPoints() {
    const withMap = data.points.filter((p) => p.ixy);
    if (withMap.length <= STRIP_MAX) return { withMap, shown: withMap };
    const shown = [];
    for (let k = 0; k < STRIP_MAX; k++) shown.push(withMap[Math.round((k * (withMap.length - 1)) / (STRIP_MAX - 1))]);
    return { withMap, shown };
  }

  function stripSection(strip, cs) {
    const { withMap, shown } = strip;
    const missing = data.points.length - withMap.length;
    const axes = thumbAxes();
    const thumbs = shown.map((p) =>
      `<figure class="thumb"><div class="thumb-plot"><canvas class="ixy" width="${N}" height="${N}" data-point="${p.index}" ` +
      `aria-label="IXY of ${esc(pointName(p))}"></canvas>${axes}</div>` +
      `<figcaption><b>${p.index}</b>${data.kind === "trials" && p.index === 0 ? " nominal" : ""}${data.parameters.length ? ": " + esc(valuesText(p)) : ""}</figcaption></figure>`).join("");
    const peak = cs ? ` The top of the scale is the largest cell of all ${grouped(withMap.length)} maps, ${fmt(cs.hi)} in ${esc(pointName(cs.peakAt))}.` : "";
    const limited = shown.length < withMap.length
      ? `<p class="limited">${grouped(withMap.length)} points have a map: ${shown.length} of them are shown, evenly spaced from the first to the last.</p>` : "";
    const left = missing ? `<p class="explain">${grouped(missing)} ${missing === 1 ? "point has" : "points have"} no IXY map (failed) and ${missing === 1 ? "is" : "are"} left out.</p>` : "";
    return `<section id="ixy-strip" class="section-break"><h2>IXY maps of the points</h2>
      <p class="explain">Where the rays land at each point: IXY as seen looking along +z, from the source towards the
      screen (x to the right, y upwards, ${data.unit === "mm" ? `in mm; cell i centred at (i \u2212 20) \u00d7 ${esc(fmt(data.pitch))} mm`
        : "the pitch is not a usable number, so the axes count cells from the centre"}).
      Every map is drawn on one colour scale, so brighter means more light whichever map it is in.${peak}</p>
      ${limited}${left}<div class="strip-bar">${stripBar(cs)}</div>
      <div class="readout control" id="strip-readout">Point at a cell of a map to read its value.</div>
      <div class="strip">${thumbs || '<p class="explain">No point has an IXY map.</p>'}</div></section>`;
  }

  function drawThumb(canvas, p, cs) {
    const ctx = canvas.getContext("2d");
    const img = ctx.createImageData(N, N);
    for (let i = 0; i < N; i++) {
      for (let j = 0; j < N; j++) {
        const c = cs ? colourOf(cs.t(p.ixy[i][j])) : ZERO_RGB;
        const o = 4 * ((N - 1 - j) * N + i);
        img.data[o] = c[0]; img.data[o + 1] = c[1]; img.data[o + 2] = c[2]; img.data[o + 3] = 255;
      }
    }
    ctx.putImageData(img, 0, 0);
  }

  function showThumbCell(p, event) {
    const box = event.currentTarget.getBoundingClientRect();
    const i = Math.floor(((event.clientX - box.left) / box.width) * N);
    const j = N - 1 - Math.floor(((event.clientY - box.top) / box.height) * N);
    if (i < 0 || i >= N || j < 0 || j >= N) return;
    const c = (k) => String(Number(((k - MID) * data.pitch).toPrecision(10)));
    document.getElementById("strip-readout").textContent =
      `${pointLabel(p)}, cell [${i}][${j}]: x = ${c(i)} ${data.unit}, y = ${c(j)} ${data.unit}; value ${fmt(p.ixy[i][j])}`;
  }

  // --- tables ----------------------------------------------------------------------

  function summarySection() {
    const s = data.summary, P = data.parameters;
    const what = data.kind === "trials"
      ? `Tolerance trials: ${grouped(Math.max(0, data.points.length - 1))} drawn trials of ${P.length} jittered ${P.length === 1 ? "cell" : "cells"}, and the nominal system`
      : `Parameter sweep over ${P.length} ${P.length === 1 ? "cell" : "cells"}` +
        (view.mode === "heat" ? ` (a ${view.shape[0]} \u00d7 ${view.shape[1]} grid)` : P.length > 1 ? " (values paired point by point)" : "");
    const secs = !Number.isFinite(s.elapsed) ? "\u2013" : s.elapsed < 100 ? `${s.elapsed.toPrecision(3)} s` : `${s.elapsed.toFixed(0)} s`;
    const rows = [
      ["Study", esc(what), false, false], ["Points", grouped(s.points), true, false],
      ["Failed", grouped(s.failed), true, s.failed > 0], ["Elapsed time", secs, true, false],
      ["Threads", Number.isFinite(s.threads) ? grouped(s.threads) : "\u2013", true, false],
    ];
    return `<section id="summary"><h2>Study</h2><table><tbody>` + rows.map(([k, v, n, bad]) =>
      `<tr><th>${k}</th><td class="${n ? "num" : ""}${bad ? " bad" : ""}">${v}</td></tr>`).join("") + `</tbody></table></section>`;
  }

  function parametersSection() {
    const P = data.parameters;
    if (!P.length) return `<section id="parameters"><h2>Cells</h2><p class="explain">The study names no cells.</p></section>`;
    if (data.kind === "trials") {
      const rows = P.map((c, k) => {
        const j = data.jitter.find((x) => x.name === c.name) || data.jitter[k] || { draw: "", nominal: NaN };
        const drawn = trialPoints().map((p) => p.values[k]).filter(Number.isFinite);
        const m = drawn.length ? meanOf(drawn) : NaN;
        const sd = drawn.length > 1 ? Math.sqrt(drawn.reduce((a, x) => a + (x - m) * (x - m), 0) / (drawn.length - 1)) : NaN;
        return `<tr><th>${esc(c.name)}</th><td>${esc(c.cell)}</td><td>${esc(c.unit)}</td><td><code>${esc(j.draw || "\u2013")}</code></td>` +
          `<td class="num">${fmt(j.nominal)}</td><td class="num">${drawn.length ? fmt(Math.min(...drawn)) : "\u2013"}</td>` +
          `<td class="num">${drawn.length ? fmt(Math.max(...drawn)) : "\u2013"}</td><td class="num">${fmt(m)}</td><td class="num">${fmt(sd)}</td></tr>`;
      }).join("");
      return `<section id="parameters"><h2>Jittered cells</h2>
        <p class="explain">Each trial draws every cell about its nominal value: normal:&sigma; with standard deviation &sigma;,
        uniform:h evenly within &plusmn;h. The last columns are what the trials drew.</p>
        <table><thead><tr><th>Name</th><th>Cell</th><th>Unit</th><th>Drawn as</th><th class="num">Nominal</th>
        <th class="num">Drawn min</th><th class="num">Drawn max</th><th class="num">Mean</th><th class="num">Std. dev.</th></tr></thead>
        <tbody>${rows}</tbody></table></section>`;
    }
    const rows = P.map((c, k) => {
      const seen = [];
      for (const p of data.points) { const t = paramText(p, k); if (!seen.includes(t)) seen.push(t); }
      const list = seen.length > 12 ? seen.slice(0, 10).join(", ") + `, \u2026 (${seen.length} values)` : seen.join(", ");
      return `<tr><th>${esc(c.name)}</th><td>${esc(c.cell)}</td><td>${esc(c.unit)}</td><td class="num">${seen.length}</td><td>${esc(list)}</td></tr>`;
    }).join("");
    return `<section id="parameters"><h2>Swept cells</h2>
      <p class="explain">The cells the sweep sets, in the order they were given, with the values they take.</p>
      <table><thead><tr><th>Name</th><th>Cell</th><th>Unit</th><th class="num">Values</th><th>Taken</th></tr></thead>
      <tbody>${rows}</tbody></table></section>`;
  }

  function pointsSection() {
    const keys = data.kind === "trials" ? TRIAL_KEYS.filter(hasKey).concat(mainKeys().filter((k) => !TRIAL_KEYS.includes(k))) : mainKeys();
    const head = `<th class="num">Point</th>` + data.parameters.map((c) => `<th class="num">${esc(c.name)}</th>`).join("") +
      `<th>Outcome</th>` + keys.map((k) => `<th class="num">${esc(qLabel(k))}</th>`).join("");
    const rows = data.points.map((p) =>
      `<tr${p.ok ? "" : ' class="failed"'} data-point="${p.index}"><td class="num">${p.index}${data.kind === "trials" && p.index === 0 ? " (nominal)" : ""}</td>` +
      data.parameters.map((c, k) => `<td class="num">${esc(paramText(p, k))}</td>`).join("") +
      `<td class="message">${p.ok ? "ok" : "<b>failed</b>" + (p.message ? ": " + esc(p.message) : "")}</td>` +
      keys.map((k) => `<td class="num">${fmt(qOf(p, k))}</td>`).join("") + "</tr>").join("");
    return `<section id="points" class="section-break"><h2>All points</h2>
      <p class="explain">Every point of the study in index order, with its cells' values and the main quantities.</p>
      <table class="points-table"><thead><tr>${head}</tr></thead><tbody>${rows}</tbody></table></section>`;
  }

  // --- the page ----------------------------------------------------------------------

  function render() {
    data = prepare(readJson("study-data"));
    cmap = readJson("colormap");
    view.mode = chooseMode();
    const strip = stripPoints(), cs = stripScale(strip.withMap);
    const body = data.kind === "trials"
      ? [summarySection(), parametersSection(), histogramsSection(), correlationsSection(), percentilesSection(), chartsSection()]
      : [summarySection(), parametersSection(), chartsSection()];
    body.push(stripSection(strip, cs), pointsSection());
    const kindName = data.kind === "trials" ? "Tolerance trials" : "Parameter sweep";
    document.title = `${data.title}: Varnock ${data.kind === "trials" ? "trials" : "sweep"}`;
    const notes = data.notes.concat(pageNotes);
    const notesBox = notes.length
      ? `<aside class="notes" role="note"><h2>Please note</h2><ul>${notes.map((n) => `<li>${esc(n)}</li>`).join("")}</ul></aside>` : "";
    document.getElementById("report").innerHTML =
      `<header><h1>${esc(data.title)}</h1><p class="generator">${kindName}: report made by ${esc(data.generatedBy)}</p></header>` +
      notesBox + body.join("");
    for (const canvas of document.querySelectorAll("#ixy-strip canvas.ixy")) {
      const p = data.points.find((x) => String(x.index) === canvas.dataset.point);
      drawThumb(canvas, p, cs);
      canvas.addEventListener("mousemove", (e) => showThumbCell(p, e));
    }
    const select = document.getElementById("quantity");
    select.addEventListener("change", () => {
      view.quantity = select.value;
      document.getElementById("main-chart").innerHTML = mainChart(view.quantity);
    });
    // One reader for every mark on the page: its figure's readout line says
    // what the mark's tooltip says.
    document.getElementById("report").addEventListener("mouseover", (e) => {
      const mark = e.target.closest && e.target.closest("[data-tip]");
      const fig = mark && mark.closest("figure");
      const readout = fig && fig.querySelector(".readout");
      if (readout) readout.textContent = mark.dataset.tip;
    });
  }

)PAGE",
    RENDER_GUARD_SCRIPT,
};

}  // namespace

std::string study_page(const std::string& data_json) {
  return data_page(PAGE_HEAD, "study-data", data_json, PAGE_SCRIPT);
}

}  // namespace varnock
