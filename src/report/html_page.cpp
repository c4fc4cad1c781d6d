#include "report/html_page.h"

#include <cstddef>
#include <string>

#include "report/page_parts.h"

namespace varnock {
namespace {

// The page up to the data: head, styles and the empty body the script fills.
// The rules it shares with a study's pages come from page_parts.h; the
// report's own rules stand between them.
constexpr const char* PAGE_HEAD[] = {
    PAGE_DOCUMENT_START,
    "<title>Varnock report</title>\n",
    PAGE_BASE_STYLE,
    R"PAGE(h3 { font-size: 1.1em; margin: 0; }
p { margin: 6px 0; max-width: 72em; }
code { font-family: ui-monospace, "DejaVu Sans Mono", Consolas, monospace; font-size: 0.92em; }
)PAGE",
    PAGE_NOTES_STYLE,
    R"PAGE(.notes ul, .warnings { margin: 4px 0; padding-left: 22px; }
)PAGE",
    PAGE_FAILED_AND_TABLE_STYLE,
    R"PAGE(td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
thead th { border-bottom: 2px solid var(--ink); }
.surfaces { font-size: 0.92em; }
.surfaces td { font-variant-numeric: tabular-nums; white-space: nowrap; }
#system-drawing { margin: 14px 0 0; }
#system-drawing svg { max-width: 100%; height: auto; }
.toolbar {
  position: sticky; top: 0; z-index: 5; background: #fff; padding: 8px 0;
  border-bottom: 1px solid var(--rule); display: flex; gap: 18px; flex-wrap: wrap; align-items: center;
}
.switch label { margin-right: 10px; white-space: nowrap; cursor: pointer; }
.legend { display: grid; grid-template-columns: max-content 1fr; gap: 2px 16px; margin: 8px 0 0; }
.legend dt { font-weight: 600; }
.legend dd { margin: 0; }
.map { margin-top: 28px; padding-top: 10px; border-top: 1px solid var(--rule); }
.map-head { display: flex; gap: 24px; align-items: baseline; flex-wrap: wrap; }
.map-row { display: flex; gap: 28px; flex-wrap: wrap; align-items: flex-start; margin-top: 8px; }
.plot { position: relative; }
.plot canvas {
  position: absolute; image-rendering: pixelated; image-rendering: crisp-edges;
  cursor: crosshair; background: #ddd;
}
.plot svg { position: absolute; left: 0; top: 0; pointer-events: none; overflow: visible; }
.plot .empty {
  position: absolute; display: flex; align-items: center; justify-content: center;
  text-align: center; font-weight: 600; color: var(--muted); pointer-events: none;
}
.readout { min-height: 1.5em; font-variant-numeric: tabular-nums; color: var(--muted); font-size: 0.92em; }
.stats caption { text-align: left; font-weight: 600; padding-bottom: 4px; }
.stats td.unit { color: var(--muted); }
.charts { display: flex; flex-wrap: wrap; gap: 10px 26px; margin-top: 10px; }
.chart { margin: 0; }
.chart figcaption { font-size: 0.88em; max-width: 340px; }
svg text { font-family: system-ui, "Segoe UI", Roboto, Arial, sans-serif; fill: var(--ink); }
@page { margin: 14mm; }
@media print {
  body { max-width: none; padding: 0; font-size: 10pt; }
  .control, .readout, noscript { display: none !important; }
  .section-break { break-before: page; }
  .map { break-before: page; border-top: 0; margin-top: 0; }
  /* A page is too narrow for the statistics beside the map: they go under
     it, and the map shrinks a little so that both fit on the map's page. */
  .map-row { display: block; }
  .map-row .stats { margin-top: 10px; }
  .plot { zoom: 0.9; }
  .map-figure, .chart, table, .notes, #system-drawing { break-inside: avoid; }
  h2, h3, .map-head, .map > .explain { break-after: avoid; }
}
</style>
</head>
<body>
<noscript><p>This report draws its tables and maps with JavaScript: please open it with scripts allowed.</p></noscript>
<main id="report"></main>
)PAGE",
};

// The script that draws the page from the two embedded JSON objects, with the
// helpers it shares with a study's pages from page_parts.h.
constexpr const char* PAGE_SCRIPT[] = {
    R"PAGE(<script>
"use strict";
(function () {
  const N = 41;        // cells along each side of a grid
  const MID = 20;      // the centre cell: its centre lies on the axis
  const CELL = 10;     // screen pixels per cell
  const SIZE = N * CELL;
  // Room around a map for the axes, the index ticks and the colour bar.
  const M = { left: 74, top: 40, idx: 34, barGap: 22, barW: 18, barText: 84, right: 26, bottom: 56 };
  const BAR_X = M.left + SIZE + M.idx + M.barGap;
  const PLOT_W = BAR_X + M.barW + M.barText + M.right;
  const PLOT_H = M.top + SIZE + M.bottom;
  // Zero cells on the log scale: a light grey that viridis never reaches.
  const ZERO_RGB = [214, 214, 214];
  const NAN_RGB = [128, 128, 128];
  const STAT_LABELS = {
    sum: "Sum", peak: "Peak", peak_at: "Peak at", peak_cell: "Peak cell", centroid: "Centroid",
    rms_width: "RMS width", fwhm: "FWHM", uniformity_min_mean: "Min / mean",
    uniformity_std_mean: "Std / mean", lit_cells: "Lit cells",
    mean_rays_per_lit_cell: "Rays per lit cell",
  };

  let data, cmap;
  const view = { layout: "screen", scale: {}, initialScale: "linear" };  // layout: "screen" or "file"

  // The view can be chosen in the address, report.html#layout=file&scale=log,
  // to open or bookmark the page that way.
  function viewFromAddress() {
    const wanted = new URLSearchParams(location.hash.slice(1));
    if (wanted.get("layout") === "file") view.layout = "file";
    if (wanted.get("scale") === "log") view.initialScale = "log";
  }

)PAGE",
    TEXT_HELPERS_SCRIPT,
    R"PAGE(
  // Numbers the result files print as %f: toFixed rounds the exact binary
  // value as printf does, and no double lies exactly half-way at six decimals.
  function fixed6(v) { return Number.isFinite(v) ? v.toFixed(6) : "nan"; }

  // A cell centre or tick position without the float noise of (i - 20) * pitch.
  function coord(v) { return String(Number(v.toPrecision(10))); }

)PAGE",
    CHART_HELPERS_SCRIPT,
    R"PAGE(
  function fmtLog(v) {
    if (v >= 1e-3 && v < 1e6) return String(Number(v.toPrecision(3)));
    return v.toExponential(0).replace("e+", "e");
  }

  // Ticks for a log axis: whole decades if there are enough of them, else
  // 1-2-5 or every digit, else steps evenly spaced in the logarithm.
  function logTicks(lo, hi, minCount) {
    const a = Math.floor(Math.log10(lo)), b = Math.ceil(Math.log10(hi));
    for (const mantissas of [[1], [1, 2, 5], [1, 2, 3, 4, 5, 6, 7, 8, 9]]) {
      let vs = [];
      for (let e = a; e <= b; e++) {
        for (const m of mantissas) {
          const v = m * Math.pow(10, e);
          if (v >= lo * (1 - 1e-9) && v <= hi * (1 + 1e-9)) vs.push(v);
        }
      }
      if (vs.length >= minCount) {
        while (vs.length > 12) vs = vs.filter((_, k) => k % 2 === 0);
        return vs.map((v) => ({ v, text: fmtLog(v) }));
      }
    }
    const ticks = [];
    for (let k = 0; k < minCount; k++) {
      const v = lo * Math.pow(hi / lo, k / (minCount - 1));
      ticks.push({ v, text: String(Number(v.toPrecision(4))) });
    }
    return ticks;
  }

  // The colour of t in [0, 1], by the rule of rgb_of() on the C++ side.
)PAGE",
    COLOUR_OF_SCRIPT,
    R"PAGE(
  // How a map's values become colours: the range and t(v), or null when the
  // map holds no weight at all.
  function colourScale(values, scale) {
    let min = Infinity, max = -Infinity, minPositive = Infinity;
    for (const row of values) {
      for (const v of row) {
        if (!Number.isFinite(v)) continue;
        min = Math.min(min, v); max = Math.max(max, v);
        if (v > 0) minPositive = Math.min(minPositive, v);
      }
    }
    if (!(max > 0)) return null;
    if (scale === "log") {
      const lo = minPositive, hi = max, span = Math.log(hi / lo);
      return {
        log: true, lo, hi, ticks: logTicks(lo, hi, 5),
        t: (v) => (!Number.isFinite(v) ? NaN : v <= 0 ? null : span > 0 ? Math.log(v / lo) / span : 1),
      };
    }
    const lo = Math.min(0, min), hi = max;
    return { log: false, lo, hi, ticks: linearTicks(lo, hi, 5), t: (v) => (Number.isFinite(v) ? (v - lo) / (hi - lo) : NaN) };
  }

  // Where cell (i, j) is drawn: its column from the left and row from the top.
  function cellPlace(i, j) {
    return view.layout === "screen" ? { col: i, row: N - 1 - j } : { col: i, row: j };
  }
  function cellAt(col, row) {
    return view.layout === "screen" ? { i: col, j: N - 1 - row } : { i: col, j: row };
  }

  function drawCells(canvas, map, cs) {
    const ctx = canvas.getContext("2d");
    const img = ctx.createImageData(N, N);
    for (let i = 0; i < N; i++) {
      for (let j = 0; j < N; j++) {
        let rgb = ZERO_RGB;  // also every cell of a map without weight
        if (cs) {
          const t = cs.t(map.values[i][j]);
          if (t !== null) rgb = colourOf(t);
        }
        const p = cellPlace(i, j), o = 4 * (p.row * N + p.col);
        img.data[o] = rgb[0]; img.data[o + 1] = rgb[1]; img.data[o + 2] = rgb[2]; img.data[o + 3] = 255;
      }
    }
    ctx.putImageData(img, 0, 0);
  }

  function svgText(x, y, text, attrs) {
    return `<text x="${x}" y="${y}" ${attrs || ""}>${esc(text)}</text>`;
  }

  function cellRect(i, j, cls) {
    const p = cellPlace(i, j);
    return `<rect class="${cls}" x="${M.left + p.col * CELL}" y="${M.top + p.row * CELL}" width="${CELL}" height="${CELL}"`;
  }

  // The axes, index ticks, colour bar and cell outlines around one map.
  function plotSvg(map, cs) {
    const [a0, a1] = map.axes, unit = map.unit, half = 20.5 * map.pitch;
    const screen = view.layout === "screen";
    const px = (c) => M.left + ((c + half) / (2 * half)) * SIZE;
    const py = (c) => (screen ? M.top + SIZE - ((c + half) / (2 * half)) * SIZE : M.top + ((c + half) / (2 * half)) * SIZE);
    const out = [`<svg width="${PLOT_W}" height="${PLOT_H}" font-size="12">`];
    out.push(`<rect x="${M.left}" y="${M.top}" width="${SIZE}" height="${SIZE}" fill="none" stroke="#1b1b1b"/>`);
    for (const t of linearTicks(-Math.abs(half), Math.abs(half), 5)) {
      const x = px(t.v), y = py(t.v);
      out.push(`<line x1="${x}" x2="${x}" y1="${M.top + SIZE}" y2="${M.top + SIZE + 5}" stroke="#1b1b1b"/>`);
      out.push(svgText(x, M.top + SIZE + 18, t.text, 'text-anchor="middle"'));
      out.push(`<line x1="${M.left - 5}" x2="${M.left}" y1="${y}" y2="${y}" stroke="#1b1b1b"/>`);
      out.push(svgText(M.left - 8, y + 4, t.text, 'text-anchor="end"'));
    }
    const xTitle = screen ? `${a0} (${unit})` : `${a0} (${unit}): column = first index i`;
    const yTitle = screen ? `${a1} (${unit}), upwards` : `${a1} (${unit}): row = line j of the grid, downwards`;
    out.push(svgText(M.left + SIZE / 2, M.top + SIZE + 40, xTitle, 'text-anchor="middle" font-weight="600"'));
    out.push(svgText(18, M.top + SIZE / 2, yTitle,
      `text-anchor="middle" font-weight="600" transform="rotate(-90 18 ${M.top + SIZE / 2})"`));
    // Index ticks on the top and right, to find a cell in the file.
    for (let k = 0; k < N; k += 10) {
      const top = cellPlace(k, 0), right = cellPlace(0, k);
      const x = M.left + (top.col + 0.5) * CELL, y = M.top + (right.row + 0.5) * CELL;
      out.push(`<line x1="${x}" x2="${x}" y1="${M.top - 4}" y2="${M.top}" stroke="#777"/>`);
      out.push(svgText(x, M.top - 7, k, 'text-anchor="middle" fill="#5a5a5a" font-size="11"'));
      out.push(`<line x1="${M.left + SIZE}" x2="${M.left + SIZE + 4}" y1="${y}" y2="${y}" stroke="#777"/>`);
      out.push(svgText(M.left + SIZE + 7, y + 4, k, 'fill="#5a5a5a" font-size="11"'));
    }
    out.push(svgText(M.left + SIZE / 2, 14, "first index i", 'text-anchor="middle" fill="#5a5a5a" font-size="11"'));
    const jx = M.left + SIZE + 32, jy = M.top + SIZE / 2;
    out.push(svgText(jx, jy, "second index j", `text-anchor="middle" fill="#5a5a5a" font-size="11" transform="rotate(90 ${jx} ${jy})"`));
    if (map.selected) {
      const [si, sj] = map.selected;
      out.push(cellRect(si, sj, "selected") + ' fill="none" stroke="#000" stroke-width="3"/>');
      out.push(cellRect(si, sj, "selected") + ' fill="none" stroke="#fff" stroke-width="1.2"/>');
    }
    out.push(cellRect(0, 0, "hover") + ' fill="none" stroke="#ff2d55" stroke-width="2" visibility="hidden"/>');
    out.push(colourBar(cs));
    out.push("</svg>");
    return out.join("");
  }

  function colourBar(cs) {
    const out = [];
    const top = M.top, bottom = M.top + SIZE, x = BAR_X;
    if (cs) {
      for (let k = 0; k < cmap.length; k++) {
        const y0 = bottom - ((k + 1) * SIZE) / cmap.length;
        const [r, g, b] = cmap[k];
        out.push(`<rect x="${x}" y="${y0}" width="${M.barW}" height="${SIZE / cmap.length + 0.6}" fill="rgb(${r},${g},${b})"/>`);
      }
      for (const t of cs.ticks) {
        const y = bottom - Math.min(1, Math.max(0, cs.t(t.v))) * SIZE;
        out.push(`<line x1="${x + M.barW}" x2="${x + M.barW + 5}" y1="${y}" y2="${y}" stroke="#1b1b1b"/>`);
        out.push(svgText(x + M.barW + 8, y + 4, t.text));
      }
    }
    out.push(`<rect x="${x}" y="${top}" width="${M.barW}" height="${SIZE}" fill="none" stroke="#1b1b1b"/>`);
    const title = !cs ? "no weight: nothing to scale" : cs.log ? "weight per cell, logarithmic scale" : "weight per cell, linear scale";
    const tx = x + M.barW + M.barText + 8;
    out.push(svgText(tx, top + SIZE / 2, title, `text-anchor="middle" transform="rotate(90 ${tx} ${top + SIZE / 2})"`));
    if (cs && cs.log) {
      const [r, g, b] = ZERO_RGB;
      out.push(`<rect x="${x}" y="${bottom + 12}" width="${M.barW}" height="${M.barW}" fill="rgb(${r},${g},${b})" stroke="#1b1b1b"/>`);
      out.push(svgText(x + M.barW + 8, bottom + 25, "0 (zero cells)"));
    }
    return out.join("");
  }

  function orientationText(map) {
    const [a0, a1] = map.axes;
    return view.layout === "screen"
      ? `Drawn as seen looking along +z, from the source towards the screen: ${a0} (first index i) to the right, ${a1} (second index j) upwards.`
      : `Drawn in the layout of the text file: one row per line of the grid in OUT_M.txt (second index j, ${a1}; the first line at the top) and the first index i (${a0}) from left to right, as in the spreadsheet.`;
  }

  function drawMap(map) {
    const box = document.getElementById("plot-" + map.name);
    const cs = colourScale(map.values, view.scale[map.name]);
    const canvas = document.getElementById("map-" + map.name);
    drawCells(canvas, map, cs);
    box.querySelector("svg").outerHTML = plotSvg(map, cs);
    box.parentElement.querySelector(".orientation").textContent = orientationText(map);
  }

  function showCell(map, event) {
    const canvas = event.currentTarget, box = canvas.getBoundingClientRect();
    const col = Math.floor(((event.clientX - box.left) / box.width) * N);
    const row = Math.floor(((event.clientY - box.top) / box.height) * N);
    const readout = document.getElementById("readout-" + map.name);
    const hover = document.querySelector(`#plot-${map.name} rect.hover`);
    if (col < 0 || col >= N || row < 0 || row >= N) return hideCell(map);
    const { i, j } = cellAt(col, row);
    const [a0, a1] = map.axes;
    let text = `cell [${i}][${j}]: ${a0} = ${coord((i - MID) * map.pitch)} ${map.unit}, ` +
      `${a1} = ${coord((j - MID) * map.pitch)} ${map.unit}; value ${fixed6(map.values[i][j])}`;
    if (map.rays) text += `; ${grouped(map.rays[i][j])} rays`;
    readout.textContent = text;
    hover.setAttribute("x", M.left + col * CELL);
    hover.setAttribute("y", M.top + row * CELL);
    hover.setAttribute("visibility", "visible");
  }

  function hideCell(map) {
    document.getElementById("readout-" + map.name).textContent = "Point at a cell to read its value.";
    const hover = document.querySelector(`#plot-${map.name} rect.hover`);
    if (hover) hover.setAttribute("visibility", "hidden");
  }

  function statsTable(map) {
    const s = map.stats, [a0, a1] = map.axes, u = map.unit;
    if (!s) return `<p class="stats">No weight in this map: every cell is zero, so it has no statistics.</p>`;
    const one = (key, value, unit) =>
      `<tr><th>${STAT_LABELS[key]}</th><td class="num" colspan="2">${esc(value)}</td><td class="unit">${esc(unit)}</td></tr>`;
    const two = (key, pair, unit) =>
      `<tr><th>${STAT_LABELS[key]}</th><td class="num">${esc(pair[0])}</td><td class="num">${esc(pair[1])}</td><td class="unit">${esc(unit)}</td></tr>`;
    const rows = [
      one("sum", s.sum, "weight"), one("peak", s.peak, "weight"),
      two("peak_at", s.peak_at, u), two("peak_cell", s.peak_cell.map((k) => `[${k}]`), "i, j"),
      two("centroid", s.centroid, u), two("rms_width", s.rms_width, u), two("fwhm", s.fwhm, u),
      one("uniformity_min_mean", s.uniformity_min_mean, "ratio"),
      one("uniformity_std_mean", s.uniformity_std_mean, "ratio"),
      one("lit_cells", `${s.lit_cells} of ${N * N}`, "cells"),
    ];
    if (s.mean_rays_per_lit_cell !== null && s.mean_rays_per_lit_cell !== undefined) {
      rows.push(one("mean_rays_per_lit_cell", Number(s.mean_rays_per_lit_cell).toFixed(1), "rays"));
    }
    return `<table class="stats"><caption>Statistics of ${esc(map.name)}</caption>` +
      `<thead><tr><th></th><th>${esc(a0)}</th><th>${esc(a1)}</th><th>unit</th></tr></thead>` +
      `<tbody>${rows.join("")}</tbody></table>`;
  }

  // A profile along one line of cells as a step chart: each cell is one
  // flat step, as wide as the cell.
  function chart(title, axis, map, values) {
    const W = 340, H = 200, L = 64, R = 12, T = 10, B = 42;
    const half = 20.5 * map.pitch;
    let lo = Math.min(0, ...values), hi = Math.max(...values);
    if (!(hi > lo)) hi = lo + 1;
    const yTicks = linearTicks(lo, hi, 4);
    hi = Math.max(hi, yTicks[yTicks.length - 1].v);
    const px = (c) => L + ((c + half) / (2 * half)) * (W - L - R);
    const py = (v) => H - B - ((v - lo) / (hi - lo)) * (H - T - B);
    const out = [`<svg width="${W}" height="${H}" viewBox="0 0 ${W} ${H}" font-size="11" role="img" aria-label="${esc(title)}">`];
    for (const t of yTicks) {
      const y = py(t.v);
      out.push(`<line x1="${L}" x2="${W - R}" y1="${y}" y2="${y}" stroke="#e4e4e4"/>`);
      out.push(svgText(L - 6, y + 4, t.text, 'text-anchor="end"'));
    }
    for (const t of linearTicks(-Math.abs(half), Math.abs(half), 5)) {
      const x = px(t.v);
      out.push(`<line x1="${x}" x2="${x}" y1="${H - B}" y2="${H - B + 4}" stroke="#1b1b1b"/>`);
      out.push(svgText(x, H - B + 16, t.text, 'text-anchor="middle"'));
    }
    let d = "";
    values.forEach((v, k) => {
      const x0 = px((k - MID - 0.5) * map.pitch), x1 = px((k - MID + 0.5) * map.pitch);
      d += `${k === 0 ? "M" : "L"}${x0.toFixed(2)},${py(v).toFixed(2)}H${x1.toFixed(2)}`;
    });
    out.push(`<path d="${d}" fill="none" stroke="#2b5d8c" stroke-width="1.6"/>`);
    out.push(`<path d="M${L},${T}V${H - B}H${W - R}" fill="none" stroke="#1b1b1b"/>`);
    out.push(svgText((L + W - R) / 2, H - 6, `${axis} (${map.unit})`, 'text-anchor="middle" font-weight="600"'));
    out.push(svgText(12, (T + H - B) / 2, "weight", `text-anchor="middle" transform="rotate(-90 12 ${(T + H - B) / 2})"`));
    out.push("</svg>");
    return `<figure class="chart"><figcaption>${esc(title)}</figcaption>${out.join("")}</figure>`;
  }

  function charts(map) {
    const [a0, a1] = map.axes, u = map.unit;
    const row = (j) => map.values.map((col) => col[j]);
    const column = (i) => map.values[i].slice();
    const at = (k) => coord((k - MID) * map.pitch);
    const out = [
      chart(`Centre row: j = ${MID} (${a1} = 0 ${u}), against ${a0}`, a0, map, row(MID)),
      chart(`Centre column: i = ${MID} (${a0} = 0 ${u}), against ${a1}`, a1, map, column(MID)),
    ];
    if (map.selected) {
      const [si, sj] = map.selected;
      out.push(chart(`Row of the selected cell: j = ${sj} (${a1} = ${at(sj)} ${u}), against ${a0}`, a0, map, row(sj)));
      out.push(chart(`Column of the selected cell: i = ${si} (${a0} = ${at(si)} ${u}), against ${a1}`, a1, map, column(si)));
    }
    return out.join("");
  }

  function mapSection(map) {
    const name = esc(map.name);
    const scale = (view.scale[map.name] = view.initialScale);
    const checked = (v) => (v === scale ? " checked" : "");
    const selectedNote = map.selected
      ? `<p class="explain">Outlined: the selected cell [${map.selected[0]}][${map.selected[1]}], whose rays make IUV_P.</p>` : "";
    const empty = colourScale(map.values, "linear") ? "" :
      `<div class="empty" style="left:${M.left}px;top:${M.top}px;width:${SIZE}px;height:${SIZE}px">No weight in this map:<br>every cell is zero.</div>`;
    return `<section class="map" id="section-${name}">
      <div class="map-head"><h3>${esc(map.title)}</h3>
        <div class="switch control">Colour scale:
          <label><input type="radio" name="scale-${name}" value="linear"${checked("linear")}> linear</label>
          <label><input type="radio" name="scale-${name}" value="log"${checked("log")}> logarithmic</label></div></div>
      <p class="explain">${esc(map.caption || "")}</p>
      <div class="map-row"><div class="map-figure" style="max-width:${PLOT_W}px">
        <div class="plot" id="plot-${name}" style="width:${PLOT_W}px;height:${PLOT_H}px">
          <canvas id="map-${name}" width="${N}" height="${N}" aria-label="${name} as a false-colour map"
            style="left:${M.left}px;top:${M.top}px;width:${SIZE}px;height:${SIZE}px"></canvas>
          <svg></svg>${empty}</div>
        <div class="readout control" id="readout-${name}">Point at a cell to read its value.</div>
        <p class="explain orientation"></p>${selectedNote}</div>
        ${statsTable(map)}</div>
      <div class="charts">${charts(map)}</div></section>`;
  }

  function runSection() {
    const run = data.run, t = data.totals;
    const rows = [[run ? "Sheet" : "Report", esc(run ? run.sheet : data.title), false]];
    rows.push(["Total weight (all rays traced)", esc(t.total), true]);
    rows.push(["Transmitted weight (the sum of IXY)", esc(t.transmitted), true]);
    rows.push(["Ratio transmitted / total", esc(t.ratio) + (t.ratio === "nan" ? " (nothing was traced)" : ""), true]);
    if (run) {
      const secs = run.elapsed_seconds < 100 ? run.elapsed_seconds.toPrecision(3) : run.elapsed_seconds.toFixed(0);
      rows.push(["Fan rays", grouped(run.fan_rays), true], ["Source positions", grouped(run.source_positions), true],
        ["Index sets", grouped(run.index_sets), true], ["Surfaces", grouped(run.surfaces), true],
        ["Rays traced", grouped(run.rays_traced), true], ["Ray-surface steps", grouped(run.steps), true],
        ["Elapsed time", `${secs} s`, true], ["Threads", grouped(run.threads), true],
        ["Mode", esc(run.mode) + (run.simd ? ` (${esc(run.simd)})` : ""), false]);
    }
    const body = rows.map(([k, v, num]) => `<tr><th>${k}</th><td${num ? ' class="num"' : ""}>${v}</td></tr>`).join("");
    let html = `<section id="run"><h2>Run</h2>
      <p class="explain">${run ? "What was traced, and how much of its weight reached the last surface inside the IXY window."
        : "The totals of the report file; no run was recorded with it, so how it was traced is not known here."}</p>
      <table class="run-table"><tbody>${body}</tbody></table>`;
    if (data.warnings && data.warnings.length) {
      html += `<h3 style="margin-top:14px">Warnings about the sheet</h3><ul class="warnings">` +
        data.warnings.map((w) => `<li>${esc(w)}</li>`).join("") + "</ul>";
    }
    return html + "</section>";
  }

  function systemSection() {
    const s = data.system;
    if (!s) return "";
    const head = s.columns.map((c) => `<th>${esc(c)}</th>`).join("");
    const body = s.rows.map((r) => "<tr>" + r.map((c) => `<td>${esc(c)}</td>`).join("") + "</tr>").join("");
    // The drawing is made by varnock itself and goes in as it is.
    return `<section id="system" class="section-break"><h2>System</h2>
      <p class="explain">The surfaces of the sheet, from the source plane towards the screen, and a drawing of them.</p>
      <table class="surfaces"><thead><tr>${head}</tr></thead><tbody>${body}</tbody></table>
      <figure id="system-drawing">${s.svg}<figcaption>${esc(s.caption || "")}</figcaption></figure></section>`;
  }

  function mapsSection() {
    const legend = (data.stats_legend || [])
      .map(([k, text]) => `<dt>${esc(STAT_LABELS[k] || k)}</dt><dd>${esc(text)}</dd>`).join("");
    return `<section id="maps" class="section-break"><h2>Maps</h2>
      <p class="explain">Each map shows one 41 &times; 41 grid as false colours, one square per cell, with the weight
        of the rays that fell in it. IXY sorts the rays by where they land (x, y in mm); IUV by their direction
        angles U, V (in mrad); IUV_P like IUV, for the rays that land in the selected IXY cell only. Cell i has its
        centre at (i &minus; 20) &times; pitch. Below each map are its profiles through the centre.</p>
      <div class="toolbar control"><div class="switch" id="layout-switch">Orientation of the maps:
        <label><input type="radio" name="layout" value="screen"${view.layout === "screen" ? " checked" : ""}>
          as seen looking along +z, from the source towards the screen</label>
        <label><input type="radio" name="layout" value="file"${view.layout === "file" ? " checked" : ""}>
          the layout of the text file (OUT_M.txt, as in the spreadsheet)</label>
      </div></div>
      <h3 style="margin-top:14px">How the statistics are defined</h3><dl class="legend">${legend}</dl>
      ${data.maps.map(mapSection).join("")}</section>`;
  }

  // A pitch of zero or not a number gives no physical scale: such a map is
  // drawn against cells from the centre. A negative pitch works as it is
  // (its axes run the other way).
  function usablePitch(map) {
    if (Number.isFinite(map.pitch) && map.pitch !== 0) return;
    map.pitch = 1;
    map.unit = "cells";
    map.caption = (map.caption || "") + " Its pitch is not a usable number, so the axes count cells from the centre.";
  }

  function render() {
    data = readJson("report-data");
    cmap = readJson("colormap");
    data.maps.forEach(usablePitch);
    viewFromAddress();
    document.title = `${data.title}: Varnock report`;
    const notes = (data.notes || []).length
      ? `<aside class="notes" role="note"><h2>Please note</h2><ul>${data.notes.map((n) => `<li>${esc(n)}</li>`).join("")}</ul></aside>` : "";
    document.getElementById("report").innerHTML =
      `<header><h1>${esc(data.title)}</h1><p class="generator">Report made by ${esc(data.generated_by)}</p></header>` +
      notes + runSection() + systemSection() + mapsSection();
    for (const map of data.maps) {
      drawMap(map);
      const canvas = document.getElementById("map-" + map.name);
      canvas.addEventListener("mousemove", (e) => showCell(map, e));
      canvas.addEventListener("mouseleave", () => hideCell(map));
      for (const input of document.querySelectorAll(`input[name="scale-${map.name}"]`)) {
        input.addEventListener("change", () => { view.scale[map.name] = input.value; drawMap(map); });
      }
    }
    for (const input of document.querySelectorAll('input[name="layout"]')) {
      input.addEventListener("change", () => { view.layout = input.value; data.maps.forEach(drawMap); });
    }
  }

)PAGE",
    RENDER_GUARD_SCRIPT,
};

}  // namespace

std::string embeddable_json(const std::string& data_json) {
  std::string out;
  out.reserve(data_json.size() + data_json.size() / 16);
  for (std::size_t k = 0; k < data_json.size(); ++k) {
    const char c = data_json[k];
    if (c == '\\' && k + 1 < data_json.size()) {
      out += c;  // an escape: its second character is copied as it is
      out += data_json[++k];
    } else if (c == '<') {
      out += "\\u003c";
    } else if (c == '/') {
      out += "\\/";
    } else {
      out += c;
    }
  }
  return out;
}

std::string html_page(const std::string& data_json) {
  return data_page(PAGE_HEAD, "report-data", data_json, PAGE_SCRIPT);
}

}  // namespace varnock
