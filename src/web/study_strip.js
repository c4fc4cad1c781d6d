// The strip of IXY maps of a study's points, all on one colour scale, so
// that brighter means more light whichever map it is in.
import { INK, ZERO_RGB, colourOf } from "./colours.js";
import { lyingBar } from "./colour_bar.js";
import { esc, fmt, grouped } from "./format.js";
import { S, MID, N, pointLabel, pointName, valuesText } from "./study_data.js";
import { linearTicks } from "./ticks.js";
import { line, svgOpen, svgText } from "./svg.js";

const THUMB = 3 * N;   // screen pixels of one map in the strip
const STRIP_MAX = 60;

// The scale every map of the strip shares, or null when none has weight.
export function stripScale(withMap) {
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
  return { lo, hi, peakAt, ticks: linearTicks(lo, hi, 5), t: (v) => (Number.isFinite(v) ? (v - lo) / (hi - lo) : NaN) };
}

// The axes around one small map: x to the right, y upwards, as seen
// looking along +z.
function thumbAxes() {
  const half = 20.5 * S.data.pitch, x0 = 30, y0 = 4, size = THUMB;
  const out = [`<svg width="158" height="142" font-size="9">`, `<rect x="${x0}" y="${y0}" width="${size}" height="${size}" fill="none" stroke="${INK}"/>`];
  for (const t of linearTicks(-Math.abs(half), Math.abs(half), 3)) {
    const f = (t.v + half) / (2 * half);
    const x = (x0 + f * size).toFixed(1), y = (y0 + size - f * size).toFixed(1);
    out.push(line(x, y0 + size, x, y0 + size + 3, INK), svgText(x, y0 + size + 12, t.text, 'text-anchor="middle"'));
    out.push(line(x0 - 3, y, x0, y, INK), svgText(x0 - 5, Number(y) + 3, t.text, 'text-anchor="end"'));
  }
  out.push("</svg>");
  return out.join("");
}

// The points with a map, and those shown: at most STRIP_MAX, evenly spaced.
export function stripPoints() {
  const withMap = S.data.points.filter((p) => p.ixy);
  if (withMap.length <= STRIP_MAX) return { withMap, shown: withMap };
  const shown = [];
  for (let k = 0; k < STRIP_MAX; k++) shown.push(withMap[Math.round((k * (withMap.length - 1)) / (STRIP_MAX - 1))]);
  return { withMap, shown };
}

export function stripSection(strip, cs) {
  const { data } = S, { withMap, shown } = strip;
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
  const bar = svgOpen(560, 58, "colour scale of the IXY maps") +
    lyingBar({ W: 560, H: 58, cmap: S.cmap, scale: cs, title: "weight per cell, linear scale, shared by every map",
      emptyRgb: ZERO_RGB, emptyText: "no weight in any map: nothing to scale" }) + "</svg>";
  return `<section id="ixy-strip" class="section-break"><h2>IXY maps of the points</h2>
    <p class="explain">Where the rays land at each point: IXY as seen looking along +z, from the source towards the
    screen (x to the right, y upwards, ${data.unit === "mm" ? `in mm; cell i centred at (i \u2212 20) \u00d7 ${esc(fmt(data.pitch))} mm`
      : "the pitch is not a usable number, so the axes count cells from the centre"}).
    Every map is drawn on one colour scale, so brighter means more light whichever map it is in.${peak}</p>
    ${limited}${left}<div class="strip-bar">${bar}</div>
    <div class="readout control" id="strip-readout">Point at a cell of a map to read its value.</div>
    <div class="strip">${thumbs || '<p class="explain">No point has an IXY map.</p>'}</div></section>`;
}

export function drawThumb(canvas, p, cs) {
  const ctx = canvas.getContext("2d");
  const img = ctx.createImageData(N, N);
  for (let i = 0; i < N; i++) {
    for (let j = 0; j < N; j++) {
      const c = cs ? colourOf(S.cmap, cs.t(p.ixy[i][j])) : ZERO_RGB;
      const o = 4 * ((N - 1 - j) * N + i);
      img.data[o] = c[0]; img.data[o + 1] = c[1]; img.data[o + 2] = c[2]; img.data[o + 3] = 255;
    }
  }
  ctx.putImageData(img, 0, 0);
}

export function showThumbCell(p, event) {
  const box = event.currentTarget.getBoundingClientRect();
  const i = Math.floor(((event.clientX - box.left) / box.width) * N);
  const j = N - 1 - Math.floor(((event.clientY - box.top) / box.height) * N);
  if (i < 0 || i >= N || j < 0 || j >= N) return;
  const c = (k) => String(Number(((k - MID) * S.data.pitch).toPrecision(10)));
  document.getElementById("strip-readout").textContent =
    `${pointLabel(p)}, cell [${i}][${j}]: x = ${c(i)} ${S.data.unit}, y = ${c(j)} ${S.data.unit}; value ${fmt(p.ixy[i][j])}`;
}
