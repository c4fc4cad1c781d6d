// A study's charts: a sweep's quantities against its cell, over the grid of
// its two cells, or against the point index, and the section that holds
// them with its choice of quantity.
import { INK, ZERO_RGB, colourOf, rgb } from "./colours.js";
import { uprightBar } from "./colour_bar.js";
import { xyChart } from "./chart_frame.js";
import { esc, fmt, grouped, plural } from "./format.js";
import { S, axisName, figure, mainKeys, paramText, pointLabel, qLabel, qOf } from "./study_data.js";
import { trialScatters } from "./study_trials.js";
import { linearTicks } from "./ticks.js";
import { line, svgOpen, svgText } from "./svg.js";

// The points a chart of key leaves out, and why, as a list.
function skippedList(key, drawn) {
  const left = S.data.points.filter((p) => !drawn.has(p.index));
  if (!left.length) return "";
  const items = left.slice(0, 20).map((p) => p.ok
    ? `<li>${esc(pointLabel(p))}: no value of ${esc(qLabel(key))}</li>`
    : `<li>${esc(pointLabel(p))} failed${p.message ? ": " + esc(p.message) : ""}</li>`);
  if (left.length > 20) items.push(`<li>and ${grouped(left.length - 20)} more (see the table of points)</li>`);
  return `<p class="explain">Not drawn (${grouped(left.length)} ${left.length === 1 ? "point" : "points"}):</p><ul class="skipped">${items.join("")}</ul>`;
}

// A sweep's quantity against its one cell, or against the point index.
function sweepLine(key, big) {
  const { data, view } = S, byValue = view.mode === "line";
  const pts = [], drawn = new Set();
  for (const p of data.points) {
    const x = byValue ? p.values[0] : p.index, y = qOf(p, key);
    if (!Number.isFinite(x) || !Number.isFinite(y)) continue;
    drawn.add(p.index);
    pts.push({ x, y, tip: `${pointLabel(p)}: ${qLabel(key)} = ${fmt(y)}` });
  }
  const xLabel = byValue ? axisName(data.parameters[0]) : "point index";
  const svg = xyChart({
    W: big ? 760 : 400, H: big ? 400 : 250, pts, join: true, wholeX: !byValue, title: qLabel(key),
    xLabel, yLabel: big ? qLabel(key) : "",
  });
  const caption = big ? `<b>${esc(qLabel(key))}</b> against ${esc(byValue ? data.parameters[0].name : "the point index")}`
    : `<b>${esc(qLabel(key))}</b>` + (drawn.size < data.points.length ? ` (${data.points.length - drawn.size} not drawn)` : "");
  return figure(`${key}${big ? "" : "-small"}`, key, caption, svg, big ? skippedList(key, drawn) : "", big);
}

// A quantity over the grid of two cells as a heat map, with its colour bar.
function heatMap(key, big) {
  const { data, view, cmap } = S;
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
      const c = ok ? colourOf(cmap, tOf(v)) : ZERO_RGB;
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
    const x = (L + (i0 + 0.5) * cw).toFixed(1);
    out.push(line(x, T + plotH, x, T + plotH + 4, INK), svgText(x, T + plotH + 16, paramText(at(i0, 0), 0), 'text-anchor="middle"'));
  }
  const every1 = Math.max(1, Math.ceil(n1 / Math.max(1, Math.floor(plotH / 18))));
  for (let i1 = 0; i1 < n1; i1 += every1) {
    const y = T + (n1 - 1 - i1 + 0.5) * ch;
    out.push(line(L - 4, y.toFixed(1), L, y.toFixed(1), INK), svgText(L - 7, (y + 4).toFixed(1), paramText(at(0, i1), 1), 'text-anchor="end"'));
  }
  out.push(svgText(L + plotW / 2, H - 8, axisName(c0), 'text-anchor="middle" font-weight="600"'));
  const cy = T + plotH / 2;
  out.push(svgText(14, cy, axisName(c1), `text-anchor="middle" font-weight="600" transform="rotate(-90 14 ${cy})"`));
  const scale = !any ? null : { t: tOf, ticks: hi > lo ? linearTicks(lo, hi, big ? 5 : 3) : [{ v: lo, text: fmt(lo) }] };
  out.push(uprightBar({ x: L + plotW + 18, top: T, height: plotH, w: 14, cmap, scale, emptyText: "no values" }));
  out.push("</svg>");
  const caption = `<b>${esc(qLabel(key))}</b>` + (big ? ` over ${esc(c0.name)} and ${esc(c1.name)}; \u00d7: no value` : "") +
    (!big && drawn.size < data.points.length ? ` (${data.points.length - drawn.size} \u00d7)` : "");
  return figure(`${key}${big ? "" : "-small"}`, key, caption, out.join(""), big ? skippedList(key, drawn) : "", big);
}

export function mainChart(key) {
  if (!key) return `<p class="explain">The study has no quantities to chart.</p>`;
  if (S.data.kind === "trials") return trialScatters(key);
  return S.view.mode === "heat" ? heatMap(key, true) : sweepLine(key, true);
}

// Which chart a sweep gets: against its one cell, over a grid of two, or
// against the point index (cells paired one by one, or more than two).
export function chooseMode() {
  const { data, view } = S, P = data.parameters.length, pts = data.points;
  if (data.kind === "trials") return "scatter";
  if (data.grid != null) {
    const s = data.grid && data.grid.shape;
    const shapeOk = Array.isArray(s) && s.length === 2 && s.every((n) => Number.isInteger(n) && n > 0);
    if (shapeOk && P === 2 && s[0] * s[1] === pts.length && pts.every((p, k) => p.index === k)) {
      view.shape = s;
      return "heat";
    }
    S.pageNotes.push(`The study says its points form a grid of shape ${JSON.stringify(s)}, which does not fit its ` +
      `${plural(pts.length, "point")} over ${plural(P, "cell")}: the charts are drawn against the point index instead.`);
    return "index";
  }
  if (P === 1 && pts.every((p) => !p.ok || Number.isFinite(p.values[0]))) return "line";
  return "index";
}

export function chartsSection() {
  const { data, view } = S;
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
