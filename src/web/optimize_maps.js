// The IXY maps of the exact start and best runs side by side, on one colour
// scale whose top is the larger of the two peaks, so that brighter means
// more light in either map, with one colour bar beside them.
import { INK, MUTED, ZERO_RGB, colourScale, rgb } from "./colours.js";
import { coord, esc, fmt } from "./format.js";
import { saveButtons } from "./figure_save.js";
import { CELL, M, MAP_W, MID, N, PLOT_H, SIZE, mapColourBar, mapLayers } from "./map_plot.js";
import { O } from "./optimize_data.js";
import { svgOpen, svgText } from "./svg.js";

const TITLE_H = 28;                     // room above the maps for their titles
const BAR_X = 2 * MAP_W + 14;
export const MAPS_W = BAR_X + M.barW + M.barText + M.right;
export const MAPS_H = TITLE_H + PLOT_H;
const RUNS = ["start", "best"];

// The scale both maps share, or null when neither has weight: scale is
// "linear" or "log". A missing map (null) is left out.
export function sharedScale(grids, scale) {
  const columns = grids.filter(Boolean).flat(1);
  return columns.length ? colourScale(columns, scale) : null;
}

export function peakOf(grid) {
  let hi = NaN;
  if (grid) for (const col of grid) for (const v of col) if (Number.isFinite(v) && !(v <= hi)) hi = v;
  return hi;
}

// The map and cell under a point (x, y) of the figure, in its own pixels:
// { run, i, j } with i the x cell and j the y cell, or null between maps.
export function cellUnderPointer(x, y) {
  const k = Math.floor(x / MAP_W);
  if (k < 0 || k >= RUNS.length) return null;
  const col = Math.floor((x - k * MAP_W - M.left) / CELL), row = Math.floor((y - TITLE_H - M.top) / CELL);
  if (col < 0 || col >= N || row < 0 || row >= N) return null;
  return { run: RUNS[k], i: col, j: N - 1 - row };
}

function mapOf(run) {
  const { maps } = O.data;
  return { name: `IXY ${run}`, axes: ["x", "y"], unit: maps.unit, pitch: maps.pitch, values: maps[run], selected: null };
}

function runTitle(run) {
  const { history, bestAt: at } = O.data;
  const name = run === "start" ? "Start" : at >= 0 ? `Best point (evaluation ${history[at].evaluation})` : "Best point";
  const peak = peakOf(O.data.maps[run]);
  return name + (Number.isFinite(peak) ? `: peak ${fmt(peak)}` : "");
}

// The whole figure as SVG text, on the linear or the log scale.
export function mapsSvg(scale) {
  const { maps } = O.data;
  const cs = sharedScale([maps.start, maps.best], scale);
  const out = [svgOpen(MAPS_W, MAPS_H, "IXY of the start and the best run", 12), `<rect width="${MAPS_W}" height="${MAPS_H}" fill="#fff"/>`];
  RUNS.forEach((run, k) => {
    const x0 = k * MAP_W;
    out.push(svgText(x0 + M.left + SIZE / 2, 18, runTitle(run), 'text-anchor="middle" font-weight="600" font-size="13"'));
    out.push(`<g class="ixy" data-map="${run}" transform="translate(${x0},${TITLE_H})">`);
    if (maps[run]) {
      out.push(mapLayers(mapOf(run), cs, O.cmap, "screen", false));
    } else {
      out.push(`<rect x="${M.left}" y="${M.top}" width="${SIZE}" height="${SIZE}" fill="${rgb(ZERO_RGB)}" stroke="${INK}"/>`,
        svgText(M.left + SIZE / 2, M.top + SIZE / 2, `no map of the ${run} run`, `text-anchor="middle" font-weight="600" style="fill:${MUTED}"`));
    }
    out.push("</g>");
  });
  const title = !cs ? "no weight: nothing to scale"
    : `weight per cell, ${cs.log ? "logarithmic" : "linear"} scale` + (maps.start && maps.best ? ", both maps" : "");
  out.push(`<g class="colour-bar">${mapColourBar(cs, O.cmap, BAR_X, TITLE_H + M.top, title)}</g>`, "</svg>");
  return out.join("");
}

export function mapsSection() {
  const { maps } = O.data;
  const scale = O.view.mapScale;
  const peaks = RUNS.map((run) => peakOf(maps[run]));
  const top = peaks.every(Number.isFinite) ? (peaks[1] > peaks[0] ? "best" : "start") : null;
  O.figures.set("IXY", () => mapsSvg(O.view.mapScale));
  const checked = (v) => (v === scale ? " checked" : "");
  const place = maps.unit === "mm"
    ? `in mm; cell i centred at (i \u2212 ${MID}) \u00d7 ${esc(fmt(maps.pitch))} mm`
    : "the pitch is not a usable number, so the axes count cells from the centre";
  return `<section id="maps"><h2>IXY at the start and at the best point</h2>
    <p class="explain">Where the rays land in the exact runs of the start and of the best point, with plain maps (not
    smoothed), as seen looking along +z from the source towards the screen (x to the right, y upwards, ${place}).
    Both maps are drawn on one colour scale${top ? `, whose top is the larger peak, that of the ${top} run` : ""}.</p>
    <div class="toolbar control"><div class="switch">Colour scale:
      <label><input type="radio" name="maps-scale" value="linear"${checked("linear")}> linear</label>
      <label><input type="radio" name="maps-scale" value="log"${checked("log")}> logarithmic</label></div>
      ${saveButtons("IXY")}</div>
    <figure id="maps-figure">${mapsSvg(scale)}</figure>
    <div class="readout control" id="maps-readout">Point at a cell of a map to read its value.</div></section>`;
}

function showCell(event) {
  const svg = event.currentTarget.querySelector("svg"), box = svg.getBoundingClientRect();
  const at = cellUnderPointer(((event.clientX - box.left) / box.width) * MAPS_W, ((event.clientY - box.top) / box.height) * MAPS_H);
  const grid = at && O.data.maps[at.run];
  if (!grid) return;
  const c = (k) => coord((k - MID) * O.data.maps.pitch), u = O.data.maps.unit;
  document.getElementById("maps-readout").textContent =
    `${at.run} run, cell [${at.i}][${at.j}]: x = ${c(at.i)} ${u}, y = ${c(at.j)} ${u}; value ${fmt(grid[at.i][at.j])}`;
}

// Makes the maps answer the pointer and the scale switch.
export function wireMaps() {
  const holder = document.getElementById("maps-figure");
  holder.addEventListener("mousemove", showCell);
  for (const input of document.querySelectorAll('input[name="maps-scale"]')) {
    input.addEventListener("change", () => {
      O.view.mapScale = input.value;
      holder.innerHTML = mapsSvg(O.view.mapScale);
    });
  }
}
