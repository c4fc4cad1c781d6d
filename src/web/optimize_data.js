// An optimisation's data: what optimize.html draws from, checked field by
// field so that the drawing need not doubt it, and the pure sums the page
// makes of it (which scale the merit takes, the best merit so far, how a
// goal's share of the merit reads). O holds the one optimisation the page
// shows.
import { fmt, grouped, plural } from "./format.js";
import { SET_COLOURS } from "./colours.js";

export const N = 41;   // cells along each side of an IXY grid

export const O = {
  data: null,
  cmap: null,
  view: { mapScale: "linear" },
  figures: new Map(),
};

export function num(v) {
  return typeof v === "number" && Number.isFinite(v) ? v : NaN;
}

function isObject(v) {
  return v !== null && typeof v === "object" && !Array.isArray(v);
}

function textOf(v, fallback) {
  return v == null ? fallback : String(v);
}

function gridOf(g) {
  const ok = Array.isArray(g) && g.length === N && g.every((col) => Array.isArray(col) && col.length === N);
  return ok ? g.map((col) => col.map(num)) : null;
}

const KINDS = ["minimize", "maximize", "target"];

// The data with every field present and of its type; what cannot be used
// is said in a note.
export function prepare(d, notes) {
  if (!isObject(d)) throw new Error("the optimisation data is not an object");
  const variables = (Array.isArray(d.variables) ? d.variables : []).filter(isObject).map((v, k) => ({
    name: textOf(v.name, `variable ${k + 1}`), cell: textOf(v.cell, ""),
    lo: num(v.lo), hi: num(v.hi), start: num(v.start), best: num(v.best), step: num(v.step),
  }));
  const goals = (Array.isArray(d.goals) ? d.goals : []).filter(isObject).map((g, k) => {
    const kind = KINDS.includes(g.kind) ? g.kind : textOf(g.kind, "");
    if (!KINDS.includes(kind)) notes.push(`Goal ${k + 1} has the kind ${JSON.stringify(g.kind)}, which this page does not know.`);
    return {
      kind, expression: textOf(g.expression, `goal ${k + 1}`), target: num(g.target), weight: num(g.weight),
      scale: num(g.scale), start: num(g.start), best: num(g.best), startTerm: num(g.start_term),
      bestTerm: num(g.best_term), contribution: num(g.contribution), exactStart: num(g.exact_start),
      exactBest: num(g.exact_best), unit: textOf(g.unit, ""),
    };
  });
  const m = isObject(d.merit) ? d.merit : {};
  const merit = { start: num(m.start), best: num(m.best), exactStart: num(m.exact_start), exactBest: num(m.exact_best) };
  const history = (Array.isArray(d.history) ? d.history : []).filter(isObject).map((h, k) => ({
    evaluation: Number.isInteger(h.evaluation) ? h.evaluation : k + 1,
    merit: num(h.merit),
    values: Array.isArray(h.values) ? h.values.map(num) : [],
    phase: textOf(h.phase, ""),
    cached: h.cached === true,
  }));
  const short = history.filter((h) => h.values.length < variables.length).length;
  if (short) {
    notes.push(`${plural(short, "evaluation")} of the history ${short === 1 ? "carries" : "carry"} fewer values than there are variables: ` +
      "their paths leave those points out.");
  }
  const evaluationsRun = Number.isInteger(d.evaluations_run) ? d.evaluations_run : history.length;
  if (evaluationsRun !== history.length) {
    notes.push(`The optimisation counts ${plural(evaluationsRun, "evaluation")}, its history holds ${grouped(history.length)}: ` +
      "the charts show those it holds.");
  }
  // The best point: the evaluation the optimiser names, else the first that
  // reached the least merit.
  const named = Number.isInteger(d.best_evaluation) ? history.findIndex((h) => h.evaluation === d.best_evaluation) : -1;
  const bestAt = named >= 0 ? named : bestIndex(history.map((h) => h.merit));
  const maps = isObject(d.maps) ? d.maps : {};
  const start = gridOf(maps.start), best = gridOf(maps.best);
  for (const [name, raw, grid] of [["start", maps.start, start], ["best", maps.best, best]]) {
    if (!grid) notes.push(raw == null ? `The data has no IXY map of the ${name} run.` : `The IXY map of the ${name} run is not a ${N} \u00d7 ${N} grid and is left out.`);
  }
  // A pitch of zero or not a number gives no physical scale: the maps' axes
  // then count cells from the centre. A negative pitch works as it is.
  let pitch = num(maps.pitch), unit = textOf(maps.unit, "mm");
  if (!Number.isFinite(pitch) || pitch === 0) { pitch = 1; unit = "cells"; }
  return {
    title: textOf(d.title, "optimisation"), generatedBy: textOf(d.generated_by, "varnock"), sheet: textOf(d.sheet, ""),
    method: textOf(d.method, ""), algorithm: textOf(d.algorithm, ""),
    smoothing: typeof d.smoothing === "boolean" ? d.smoothing : null, mode: textOf(d.mode, ""),
    seed: d.seed == null ? "" : String(d.seed),
    evaluations: Number.isInteger(d.evaluations) ? d.evaluations : NaN, evaluationsRun, elapsed: num(d.elapsed_seconds),
    bestAt,
    stopped: d.stopped === true, notes: (Array.isArray(d.notes) ? d.notes : []).map(String),
    variables, goals, merit, history, maps: { pitch, unit, start, best },
  };
}

// The merit's axis: logarithmic when every merit there is is positive (it
// then spans decades as the optimiser closes in), linear otherwise.
export function meritScale(merits) {
  const finite = merits.filter(Number.isFinite);
  return finite.length > 0 && finite.every((v) => v > 0) ? "log" : "linear";
}

// The least merit up to and including each evaluation, NaN before the first
// that has one: an evaluation without a merit counts as the worst.
export function bestSoFar(merits) {
  let best = NaN;
  return merits.map((v) => {
    if (Number.isFinite(v) && !(v >= best)) best = v;
    return best;
  });
}

// The index of the first evaluation that reached the least merit, or -1
// when no evaluation has a merit.
export function bestIndex(merits) {
  let at = -1;
  merits.forEach((v, k) => { if (Number.isFinite(v) && (at < 0 || v < merits[at])) at = k; });
  return at;
}

// A goal's share of the best merit as a percentage; a dash when there is
// none (the weighted terms add up to zero).
export function contributionText(c) {
  if (!Number.isFinite(c)) return "\u2013";
  const p = Number((c * 100).toPrecision(3));
  return `${p < 0 ? "\u2212" : ""}${String(Math.abs(p))} %`;
}

// A value of a goal with its unit, as the tables print it.
export function withUnit(v, unit) {
  return Number.isFinite(v) && unit ? `${fmt(v)} ${unit}` : fmt(v);
}

// What a goal asks for: "minimize", "maximize", or "target 8 mm".
export function aimText(goal) {
  return goal.kind === "target" ? `target ${withUnit(goal.target, goal.unit)}` : goal.kind || "\u2013";
}

// The phases in the order they first appear, each with its colour and the
// shape of its marks, so that the charts tell them apart in print too.
const SHAPES = ["circle", "square", "triangle", "diamond"];
export function phaseStyles(history) {
  const styles = new Map();
  for (const h of history) {
    if (styles.has(h.phase)) continue;
    const k = styles.size;
    styles.set(h.phase, { colour: SET_COLOURS[k % SET_COLOURS.length], shape: SHAPES[k % SHAPES.length] });
  }
  return styles;
}

export function phaseName(phase) {
  return phase ? `${phase} phase` : "no phase given";
}
