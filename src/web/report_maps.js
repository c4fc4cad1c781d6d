// The report's maps: a section per grid with its colour-scale switch, the
// map, the cell the pointer is on, its statistics and its profiles.
import { colourScale } from "./colours.js";
import { coord, esc, fixed6, grouped } from "./format.js";
import { CELL, M, MID, N, PLOT_H, PLOT_W, SIZE, cellAt, cellColours, drawCells, mapFigureSvg, plotSvg } from "./map_plot.js";
import { profileSvg } from "./profile_chart.js";
import { saveButtons } from "./figure_save.js";

export const STAT_LABELS = {
  sum: "Sum", peak: "Peak", peak_at: "Peak at", peak_cell: "Peak cell", centroid: "Centroid",
  rms_width: "RMS width", fwhm: "FWHM", uniformity_min_mean: "Min / mean",
  uniformity_std_mean: "Std / mean", lit_cells: "Lit cells",
  mean_rays_per_lit_cell: "Rays per lit cell",
};

// A pitch of zero or not a number gives no physical scale: such a map is
// drawn against cells from the centre. A negative pitch works as it is
// (its axes run the other way).
export function usablePitch(map) {
  if (Number.isFinite(map.pitch) && map.pitch !== 0) return;
  map.pitch = 1;
  map.unit = "cells";
  map.caption = (map.caption || "") + " Its pitch is not a usable number, so the axes count cells from the centre.";
}

function orientationText(map, layout) {
  const [a0, a1] = map.axes;
  return layout === "screen"
    ? `Drawn as seen looking along +z, from the source towards the screen: ${a0} (first index i) to the right, ${a1} (second index j) upwards.`
    : `Drawn in the layout of the text file: one row per line of the grid in OUT_M.txt (second index j, ${a1}; the first line at the top) and the first index i (${a0}) from left to right, as in the spreadsheet.`;
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

// The profiles through the centre, and through the selected cell when the
// map has one; each is a figure of its own name ("IXY-row-20").
function profiles(map) {
  const [a0, a1] = map.axes, u = map.unit;
  const row = (j) => map.values.map((col) => col[j]);
  const column = (i) => map.values[i].slice();
  const at = (k) => coord((k - MID) * map.pitch);
  const list = [
    { name: `${map.name}-row-${MID}`, title: `Centre row: j = ${MID} (${a1} = 0 ${u}), against ${a0}`, axis: a0, values: row(MID) },
    { name: `${map.name}-column-${MID}`, title: `Centre column: i = ${MID} (${a0} = 0 ${u}), against ${a1}`, axis: a1, values: column(MID) },
  ];
  if (map.selected) {
    const [si, sj] = map.selected;
    list.push({ name: `${map.name}-row-${sj}`, title: `Row of the selected cell: j = ${sj} (${a1} = ${at(sj)} ${u}), against ${a0}`, axis: a0, values: row(sj) });
    list.push({ name: `${map.name}-column-${si}`, title: `Column of the selected cell: i = ${si} (${a0} = ${at(si)} ${u}), against ${a1}`, axis: a1, values: column(si) });
  }
  return list.map((p) => ({ ...p, svg: () => profileSvg(p.title, p.axis, map, p.values) }));
}

// The maps' section and their figures, registered in figures by name.
export function mapsSection(data, view, figures, legendHtml) {
  const sections = data.maps.map((map) => {
    const name = esc(map.name);
    // A scale the reader chose stays when the page draws a new report.
    const scale = (view.scale[map.name] = view.scale[map.name] || view.initialScale);
    const checked = (v) => (v === scale ? " checked" : "");
    const selectedNote = map.selected
      ? `<p class="explain">Outlined: the selected cell [${map.selected[0]}][${map.selected[1]}], whose rays make IUV_P.</p>` : "";
    const empty = colourScale(map.values, "linear") ? "" :
      `<div class="empty" style="left:${M.left}px;top:${M.top}px;width:${SIZE}px;height:${SIZE}px">No weight in this map:<br>every cell is zero.</div>`;
    figures.set(map.name, () => mapFigureSvg(map, colourScale(map.values, view.scale[map.name]), view.cmap, view.layout));
    const charts = profiles(map).map((p) => {
      figures.set(p.name, p.svg);
      return `<figure class="chart"><figcaption>${esc(p.title)} ${saveButtons(p.name)}</figcaption>${p.svg()}</figure>`;
    }).join("");
    return `<section class="map" id="section-${name}">
      <div class="map-head"><h3>${esc(map.title)}</h3>
        <div class="switch control">Colour scale:
          <label><input type="radio" name="scale-${name}" value="linear"${checked("linear")}> linear</label>
          <label><input type="radio" name="scale-${name}" value="log"${checked("log")}> logarithmic</label></div>
        ${saveButtons(map.name)}</div>
      <p class="explain">${esc(map.caption || "")}</p>
      <div class="map-row"><div class="map-figure" style="max-width:${PLOT_W}px">
        <div class="plot" id="plot-${name}" style="width:${PLOT_W}px;height:${PLOT_H}px">
          <canvas id="map-${name}" width="${N}" height="${N}" aria-label="${name} as a false-colour map"
            style="left:${M.left}px;top:${M.top}px;width:${SIZE}px;height:${SIZE}px"></canvas>
          <svg></svg>${empty}</div>
        <div class="readout control" id="readout-${name}">Point at a cell to read its value.</div>
        <p class="explain orientation"></p>${selectedNote}</div>
        ${statsTable(map)}</div>
      <div class="charts">${charts}</div></section>`;
  });
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
    <h3 style="margin-top:14px">How the statistics are defined</h3><dl class="legend">${legendHtml}</dl>
    ${sections.join("")}</section>`;
}

export function drawMap(map, view) {
  const box = document.getElementById("plot-" + map.name);
  const cs = colourScale(map.values, view.scale[map.name]);
  drawCells(document.getElementById("map-" + map.name), cellColours(map, cs, view.cmap, view.layout));
  box.querySelector("svg").outerHTML = plotSvg(map, cs, view.cmap, view.layout);
  box.parentElement.querySelector(".orientation").textContent = orientationText(map, view.layout);
}

function showCell(map, view, event) {
  const canvas = event.currentTarget, box = canvas.getBoundingClientRect();
  const col = Math.floor(((event.clientX - box.left) / box.width) * N);
  const row = Math.floor(((event.clientY - box.top) / box.height) * N);
  if (col < 0 || col >= N || row < 0 || row >= N) return hideCell(map);
  const { i, j } = cellAt(view.layout, col, row);
  const [a0, a1] = map.axes;
  let text = `cell [${i}][${j}]: ${a0} = ${coord((i - MID) * map.pitch)} ${map.unit}, ` +
    `${a1} = ${coord((j - MID) * map.pitch)} ${map.unit}; value ${fixed6(map.values[i][j])}`;
  if (map.rays) text += `; ${grouped(map.rays[i][j])} rays`;
  document.getElementById("readout-" + map.name).textContent = text;
  const hover = document.querySelector(`#plot-${map.name} rect.hover`);
  hover.setAttribute("x", M.left + col * CELL);
  hover.setAttribute("y", M.top + row * CELL);
  hover.setAttribute("visibility", "visible");
}

function hideCell(map) {
  document.getElementById("readout-" + map.name).textContent = "Point at a cell to read its value.";
  const hover = document.querySelector(`#plot-${map.name} rect.hover`);
  if (hover) hover.setAttribute("visibility", "hidden");
}

// Draws the maps and makes them answer the pointer and the switches.
export function wireMaps(data, view) {
  for (const map of data.maps) {
    drawMap(map, view);
    const canvas = document.getElementById("map-" + map.name);
    canvas.addEventListener("mousemove", (e) => showCell(map, view, e));
    canvas.addEventListener("mouseleave", () => hideCell(map));
    for (const input of document.querySelectorAll(`input[name="scale-${map.name}"]`)) {
      input.addEventListener("change", () => { view.scale[map.name] = input.value; drawMap(map, view); });
    }
  }
  for (const input of document.querySelectorAll('input[name="layout"]')) {
    input.addEventListener("change", () => { view.layout = input.value; data.maps.forEach((m) => drawMap(m, view)); });
  }
}
