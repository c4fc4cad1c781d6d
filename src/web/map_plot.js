// One 41 x 41 grid as a false-colour map with its axes, index ticks and
// colour bar. On the page the cells are a canvas under an SVG of the rest;
// saved, the whole figure is one SVG with the cells as rectangles.
import { INK, MUTED, ZERO_RGB, colourOf, rgb } from "./colours.js";
import { uprightBar } from "./colour_bar.js";
import { linearTicks } from "./ticks.js";
import { line, svgOpen, svgText } from "./svg.js";

export const N = 41;        // cells along each side of a grid
export const MID = 20;      // the centre cell: its centre lies on the axis
export const CELL = 10;     // screen pixels per cell
export const SIZE = N * CELL;
// Room around a map for the axes, the index ticks and the colour bar.
export const M = { left: 74, top: 40, idx: 34, barGap: 22, barW: 18, barText: 84, right: 26, bottom: 56 };
const BAR_X = M.left + SIZE + M.idx + M.barGap;
export const PLOT_W = BAR_X + M.barW + M.barText + M.right;
// A map without its bar: the index labels on its right included.
export const MAP_W = M.left + SIZE + M.idx + 8;
export const PLOT_H = M.top + SIZE + M.bottom;

// Where cell (i, j) is drawn: its column from the left and row from the
// top. "screen": as seen looking along +z, j upwards; "file": the layout of
// the text file, line j of the grid downwards.
export function cellPlace(layout, i, j) {
  return layout === "screen" ? { col: i, row: N - 1 - j } : { col: i, row: j };
}
export function cellAt(layout, col, row) {
  return layout === "screen" ? { i: col, j: N - 1 - row } : { i: col, j: row };
}

// The colour of every cell, by place: rows[row][col] = [r, g, b].
export function cellColours(map, cs, cmap, layout) {
  const rows = Array.from({ length: N }, () => new Array(N));
  for (let i = 0; i < N; i++) {
    for (let j = 0; j < N; j++) {
      let c = ZERO_RGB;  // also every cell of a map without weight
      if (cs) {
        const t = cs.t(map.values[i][j]);
        if (t !== null) c = colourOf(cmap, t);
      }
      const p = cellPlace(layout, i, j);
      rows[p.row][p.col] = c;
    }
  }
  return rows;
}

export function drawCells(canvas, colours) {
  const ctx = canvas.getContext("2d");
  const img = ctx.createImageData(N, N);
  colours.forEach((row, r) => row.forEach((c, col) => {
    const o = 4 * (r * N + col);
    img.data[o] = c[0]; img.data[o + 1] = c[1]; img.data[o + 2] = c[2]; img.data[o + 3] = 255;
  }));
  ctx.putImageData(img, 0, 0);
}

// The cells as rectangles, a run of equal colours along a row as one.
function cellRects(colours) {
  const out = [];
  colours.forEach((row, r) => {
    for (let c0 = 0; c0 < N;) {
      let c1 = c0 + 1;
      while (c1 < N && row[c1] === row[c0]) c1++;
      out.push(`<rect x="${M.left + c0 * CELL}" y="${M.top + r * CELL}" width="${(c1 - c0) * CELL}" height="${CELL}" fill="${rgb(row[c0])}"/>`);
      c0 = c1;
    }
  });
  return `<g shape-rendering="crispEdges">${out.join("")}</g>`;
}

function cellRect(layout, i, j, cls) {
  const p = cellPlace(layout, i, j);
  return `<rect class="${cls}" x="${M.left + p.col * CELL}" y="${M.top + p.row * CELL}" width="${CELL}" height="${CELL}"`;
}

// Everything but the cells: the frame, the axes in the map's unit, the
// index ticks to find a cell in the file, the selected cell and, unless
// withBar is false (maps that share one bar beside them), the bar.
function overlay(map, cs, cmap, layout, withBar) {
  const [a0, a1] = map.axes, unit = map.unit, half = 20.5 * map.pitch;
  const screen = layout === "screen";
  const px = (c) => M.left + ((c + half) / (2 * half)) * SIZE;
  const py = (c) => (screen ? M.top + SIZE - ((c + half) / (2 * half)) * SIZE : M.top + ((c + half) / (2 * half)) * SIZE);
  const out = [`<rect x="${M.left}" y="${M.top}" width="${SIZE}" height="${SIZE}" fill="none" stroke="${INK}"/>`];
  for (const t of linearTicks(-Math.abs(half), Math.abs(half), 5)) {
    const x = px(t.v), y = py(t.v);
    out.push(line(x, M.top + SIZE, x, M.top + SIZE + 5, INK), svgText(x, M.top + SIZE + 18, t.text, 'text-anchor="middle"'));
    out.push(line(M.left - 5, y, M.left, y, INK), svgText(M.left - 8, y + 4, t.text, 'text-anchor="end"'));
  }
  const xTitle = screen ? `${a0} (${unit})` : `${a0} (${unit}): column = first index i`;
  const yTitle = screen ? `${a1} (${unit}), upwards` : `${a1} (${unit}): row = line j of the grid, downwards`;
  out.push(svgText(M.left + SIZE / 2, M.top + SIZE + 40, xTitle, 'text-anchor="middle" font-weight="600"'));
  out.push(svgText(18, M.top + SIZE / 2, yTitle,
    `text-anchor="middle" font-weight="600" transform="rotate(-90 18 ${M.top + SIZE / 2})"`));
  for (let k = 0; k < N; k += 10) {
    const top = cellPlace(layout, k, 0), right = cellPlace(layout, 0, k);
    const x = M.left + (top.col + 0.5) * CELL, y = M.top + (right.row + 0.5) * CELL;
    out.push(line(x, M.top - 4, x, M.top, "#777"), svgText(x, M.top - 7, k, `text-anchor="middle" fill="${MUTED}" font-size="11"`));
    out.push(line(M.left + SIZE, y, M.left + SIZE + 4, y, "#777"), svgText(M.left + SIZE + 7, y + 4, k, `fill="${MUTED}" font-size="11"`));
  }
  out.push(svgText(M.left + SIZE / 2, 14, "first index i", `text-anchor="middle" fill="${MUTED}" font-size="11"`));
  const jx = M.left + SIZE + 32, jy = M.top + SIZE / 2;
  out.push(svgText(jx, jy, "second index j", `text-anchor="middle" fill="${MUTED}" font-size="11" transform="rotate(90 ${jx} ${jy})"`));
  if (map.selected) {
    const [si, sj] = map.selected;
    out.push(cellRect(layout, si, sj, "selected") + ' fill="none" stroke="#000" stroke-width="3"/>');
    out.push(cellRect(layout, si, sj, "selected") + ' fill="none" stroke="#fff" stroke-width="1.2"/>');
  }
  if (withBar !== false) out.push(mapColourBar(cs, cmap, BAR_X, M.top));
  return out.join("");
}

// The colour bar of a map drawn at (x, top), as tall as the map, with the
// swatch of the zero cells under it on the log scale; title (written beside
// it) says what it scales.
export function mapColourBar(cs, cmap, x, top, title) {
  const said = title || (!cs ? "no weight: nothing to scale" : cs.log ? "weight per cell, logarithmic scale" : "weight per cell, linear scale");
  const out = [uprightBar({ x, top, height: SIZE, w: M.barW, cmap, scale: cs, title: said, titleX: x + M.barW + M.barText + 8 })];
  if (cs && cs.log) {
    const bottom = top + SIZE;
    out.push(`<rect x="${x}" y="${bottom + 12}" width="${M.barW}" height="${M.barW}" fill="${rgb(ZERO_RGB)}" stroke="${INK}"/>`);
    out.push(svgText(x + M.barW + 8, bottom + 25, "0 (zero cells)"));
  }
  return out.join("");
}

// The SVG that lies over the canvas on the page, with the outline that
// follows the pointer.
export function plotSvg(map, cs, cmap, layout) {
  return `<svg width="${PLOT_W}" height="${PLOT_H}" font-size="12">${overlay(map, cs, cmap, layout)}` +
    cellRect(layout, 0, 0, "hover") + ' fill="none" stroke="#ff2d55" stroke-width="2" visibility="hidden"/></svg>';
}

// A map's cells as rectangles and everything drawn over them, placed as in
// a figure of its own; without its colour bar when withBar is false, for
// figures that set several maps beside one bar (each then MAP_W wide).
export function mapLayers(map, cs, cmap, layout, withBar) {
  return cellRects(cellColours(map, cs, cmap, layout)) + overlay(map, cs, cmap, layout, withBar);
}

// The whole map as one SVG, to save: what the page shows, cells included.
export function mapFigureSvg(map, cs, cmap, layout) {
  return svgOpen(PLOT_W, PLOT_H, `${map.name} as a false-colour map`, 12) +
    `<rect width="${PLOT_W}" height="${PLOT_H}" fill="#fff"/>` + mapLayers(map, cs, cmap, layout) + "</svg>";
}
