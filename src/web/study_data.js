// A study page's data: what the page draws from, checked field by field so
// that the drawing need not doubt it, and the helpers every part of the
// page reads it with. S holds the one study the page shows.
import { esc, fmt, grouped, plural } from "./format.js";
import { saveButtons } from "./figure_save.js";

export const N = 41;        // cells along each side of an IXY grid
export const MID = 20;      // its centre cell, on the axis
// The quantities the small charts and the table of points show first, when
// the study has them, and those the trials' distributions are shown for.
const MAIN_KEYS = ["ratio", "total", "transmitted", "IXY_peak", "IXY_fwhm_x", "IXY_fwhm_y"];
export const TRIAL_KEYS = ["ratio", "transmitted", "IXY_peak"];

export const S = {
  data: null,
  cmap: null,
  pageNotes: [],   // what the page itself has to say about the data
  view: { quantity: null, mode: "index", shape: null },
  figures: new Map(),
};

export function num(v) {
  return typeof v === "number" && Number.isFinite(v) ? v : NaN;
}

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

// The study data with every field present and of its type; what cannot be
// used is said in a note.
export function prepare(d, notes) {
  if (!d || typeof d !== "object" || Array.isArray(d)) throw new Error("the study data is not an object");
  const kind = d.kind === "trials" ? "trials" : "sweep";
  if (d.kind !== "sweep" && d.kind !== "trials") {
    notes.push(d.kind === undefined ? "The study data does not say what kind of study it is: it is shown as a sweep."
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
  if (badMaps) notes.push(`${badMaps} IXY maps in the data are not ${N} \u00d7 ${N} grids and are left out of the strip.`);
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
    notes.push(`The summary counts ${plural(summary.points, "point")}, the data holds ${grouped(points.length)}: the page shows those it holds.`);
  }
  const jitter = (Array.isArray(d.jitter) ? d.jitter : []).filter((j) => j && typeof j === "object")
    .map((j, k) => ({ name: j.name != null ? String(j.name) : `cell ${k + 1}`, draw: drawText(j), nominal: num(j.nominal) }));
  // The trials' statistics come with the data, worked out where the study
  // ran; the page only shows them.
  const statistics = d.statistics && typeof d.statistics === "object" ? d.statistics : null;
  if (kind === "trials" && !statistics) notes.push("The study data carries no statistics of its trials: their tables show no values.");
  // A pitch of zero or not a number gives no physical scale: the strip's
  // axes then count cells from the centre. A negative pitch works as it is.
  let pitch = num(d.ixy_pitch), unit = "mm";
  if (!Number.isFinite(pitch) || pitch === 0) { pitch = 1; unit = "cells"; }
  return {
    kind, title: d.title != null ? String(d.title) : "study", generatedBy: d.generated_by != null ? String(d.generated_by) : "varnock",
    summary, notes: (Array.isArray(d.notes) ? d.notes : []).map(String), parameters, grid: d.grid, jitter,
    quantities, points, pitch, unit, statistics,
  };
}

export function qOf(p, key) { return p.ok ? num(p.q[key]) : NaN; }
export function qLabel(key) {
  const q = S.data.quantities.find((x) => x.key === key);
  return q ? q.label : key.replace(/_/g, " ");
}
export function hasKey(key) { return S.data.quantities.some((q) => q.key === key); }

// A cell's value at a point as the study wrote it into the sheet, or the
// value itself where no text was written (the nominal trial).
export function paramText(p, k) { return p.texts[k] ? p.texts[k] : fmt(p.values[k]); }
export function paramName(c) { return c.name + (c.unit ? ` (${c.unit})` : ""); }
export function axisName(c) { return paramName(c) + (c.cell ? `, cell ${c.cell}` : ""); }
export function valuesText(p) { return S.data.parameters.map((c, k) => `${c.name} = ${paramText(p, k)}`).join(", "); }
export function pointName(p) {
  return `point ${p.index}` + (S.data.kind === "trials" && p.index === 0 ? " (nominal)" : "");
}
export function pointLabel(p) {
  const v = valuesText(p);
  return pointName(p) + (v ? ` (${v})` : "");
}

export function mainKeys() {
  const keys = MAIN_KEYS.filter(hasKey);
  return keys.length ? keys : S.data.quantities.slice(0, 6).map((q) => q.key);
}

export function nominalPoint() { return S.data.points.find((p) => p.index === 0) || null; }
export function trialPoints() { return S.data.points.filter((p) => p.index >= 1); }

// The statistics of a quantity over the trials, and of a cell with a
// quantity, as the data gives them: numbers, NaN where there is none.
export function quantityStats(key) {
  const all = S.data.statistics && S.data.statistics.quantities;
  return (all && all[key] && typeof all[key] === "object") ? all[key] : {};
}
export function cellStats(k) {
  const cells = S.data.statistics && Array.isArray(S.data.statistics.cells) ? S.data.statistics.cells : [];
  return cells[k] && typeof cells[k] === "object" ? cells[k] : {};
}
export function pairStats(k, key) {
  const against = cellStats(k).against;
  return against && against[key] && typeof against[key] === "object" ? against[key] : {};
}

// A chart with its caption and save buttons, registered for saving under
// name; a large one also gets a line that reads out the mark pointed at
// (the small ones have their tooltips).
export function figure(name, key, caption, svg, after, readout) {
  S.figures.set(name, () => svg);
  return `<figure class="chart" data-key="${esc(key)}"><figcaption>${caption} ${saveButtons(name)}</figcaption>${svg}` +
    (readout ? `<div class="readout control">Point at a mark to read its values.</div>` : "") + `${after || ""}</figure>`;
}

