// Pieces of SVG as text. Figures are built as SVG text so that one drawing
// serves the page and the file a reader saves from it.
import { esc } from "./format.js";

export const FONT = 'system-ui, "Segoe UI", Roboto, Arial, sans-serif';

export function svgText(x, y, text, attrs) {
  return `<text x="${x}" y="${y}" ${attrs || ""}>${esc(text)}</text>`;
}

// The opening tag of a figure: its size in CSS pixels, a view box of the
// same size, and the type on the element itself, so that the figure reads
// the same inside the page and saved on its own.
export function svgOpen(W, H, label, fontSize) {
  return `<svg width="${W}" height="${H}" viewBox="0 0 ${W} ${H}" font-size="${fontSize || 11}" ` +
    `font-family="${esc(FONT)}" role="img" aria-label="${esc(label)}">`;
}

export function line(x1, y1, x2, y2, stroke, extra) {
  return `<line x1="${x1}" x2="${x2}" y1="${y1}" y2="${y2}" stroke="${stroke}"${extra ? " " + extra : ""}/>`;
}

// A polyline's path data from points [x, y], two decimals.
export function pathData(points) {
  return points.map(([x, y], k) => `${k ? "L" : "M"}${x.toFixed(2)},${y.toFixed(2)}`).join("");
}
