// The pages' colours: the false-colour map (the table the page embeds, the
// one the C++ figures use), the greys for zero and not-a-number cells, and
// the palette of the index sets.
import { linearTicks, logTicks } from "./ticks.js";

// Zero cells on the log scale and maps without weight: a light grey that
// viridis never reaches. Cells that are not a number: a mid grey.
export const ZERO_RGB = [214, 214, 214];
export const NAN_RGB = [128, 128, 128];
export const INK = "#1b1b1b";
export const MUTED = "#5a5a5a";
export const ACCENT = "#2b5d8c";
export const NOMINAL = "#c0392b";
export const GRID_LINE = "#e4e4e4";

// The index sets' colours in the drawing of the system: a palette that
// colour-blind readers can tell apart (Okabe and Ito).
export const SET_COLOURS = ["#0072b2", "#d55e00", "#009e73", "#cc79a7", "#e69f00", "#56b4e9", "#f0e442"];

export function rgb(c) {
  return `rgb(${c[0]},${c[1]},${c[2]})`;
}

// The colour map's entry for t in [0, 1], by the rule of rgb_of() on the C++
// side, so that a page colours a grid as the figures do.
export function colourOf(cmap, t) {
  if (Number.isNaN(t)) return NAN_RGB;
  if (t <= 0) return cmap[0];
  if (t >= 1) return cmap[cmap.length - 1];
  return cmap[Math.min(cmap.length - 1, Math.floor(t * cmap.length))];
}

// How a map's values become colours: the range, its ticks and t(v) (null
// for a zero cell on the log scale), or null when the map holds no weight.
export function colourScale(values, scale) {
  let min = Infinity, max = -Infinity, minPositive = Infinity;
  for (const row of values) {
    for (const v of row) {
      if (!Number.isFinite(v)) continue;
      min = Math.min(min, v);
      max = Math.max(max, v);
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
