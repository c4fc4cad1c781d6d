// The optimisation's charts: the merit against the evaluations with the best
// merit so far, and each variable's path through its bounds. Every mark
// shows its phase by colour and shape; a cached evaluation (the point was
// evaluated before, so nothing was traced again) is drawn hollow.
import { GRID_LINE, INK, MUTED, NOMINAL } from "./colours.js";
import { plotFrame, span } from "./chart_frame.js";
import { esc, fmt, plural } from "./format.js";
import { saveButtons } from "./figure_save.js";
import { O, bestSoFar, meritScale, phaseName, phaseStyles } from "./optimize_data.js";
import { line, pathData, svgOpen, svgText } from "./svg.js";
import { linearTicks, logTicks, wholeTicks } from "./ticks.js";

// One mark of a phase at (x, y), r its half size; attrs go on the element,
// tip in its tooltip.
function phaseMark(style, x, y, r, hollow, attrs, tip) {
  const paint = hollow ? `fill="#fff" stroke="${style.colour}" stroke-width="1.4"` : `fill="${style.colour}" stroke="#fff" stroke-width="0.7"`;
  const a = `${paint} ${attrs} data-tip="${esc(tip)}"`, t = `<title>${esc(tip)}</title>`;
  const X = x.toFixed(1), Y = y.toFixed(1), s = r.toFixed(1);
  // Every shape is centred on (x, y), so that its middle reads the value.
  switch (style.shape) {
    case "square": return `<rect x="${(x - r).toFixed(1)}" y="${(y - r).toFixed(1)}" width="${(2 * r).toFixed(1)}" height="${(2 * r).toFixed(1)}" ${a}>${t}</rect>`;
    case "triangle": return `<path d="M${X},${(y - 1.1 * r).toFixed(1)}l${s},${(2.2 * r).toFixed(1)}h${(-2 * r).toFixed(1)}z" ${a}>${t}</path>`;
    case "diamond": {
      const q = (1.25 * r).toFixed(1);
      return `<path d="M${X},${(y - 1.25 * r).toFixed(1)}l${q},${q}l-${q},${q}l-${q},-${q}z" ${a}>${t}</path>`;
    }
    default: return `<circle cx="${X}" cy="${Y}" r="${s}" ${a}>${t}</circle>`;
  }
}

// The evaluations' axis, the same on every chart of the page.
function evaluationRange(history) {
  return span(history.map((h) => h.evaluation));
}

// A figure with its caption and save buttons, registered for saving under
// name, and a line that reads out the mark pointed at.
function figure(name, cls, caption, svg, after) {
  O.figures.set(name, () => svg);
  return `<figure class="chart ${cls}" data-figure="${esc(name)}"><figcaption>${caption} ${saveButtons(name)}</figcaption>${svg}` +
    `<div class="readout control">Point at a mark to read its values.</div>${after || ""}</figure>`;
}

// The legend of the phases in a row above a chart's frame, from x; extra
// entries [svg of a sample, label] follow the phases.
function legendRow(styles, x, y, extra) {
  const out = [];
  let at = x;
  const entry = (sample, label) => {
    out.push(sample(at + 6, y - 4), svgText(at + 16, y, label, `style="fill:${MUTED}"`));
    at += 28 + 6.2 * label.length;
  };
  for (const [phase, style] of styles) entry((cx, cy) => phaseMark(style, cx, cy, 3.6, false, 'class="legend-mark"', phaseName(phase)), phaseName(phase));
  for (const [sample, label] of extra) entry(sample, label);
  return out.join("");
}

// The y axis of the merit: the range with a little room, the ticks, and
// whether it is logarithmic.
function meritAxis(values, log) {
  if (!log) {
    const y = span(values);
    return { y, ticks: linearTicks(y[0], y[1], 5), log };
  }
  let lo = Math.min(...values), hi = Math.max(...values);
  const pad = hi > lo ? Math.pow(hi / lo, 0.04) : 1.5;
  lo /= pad; hi *= pad;
  return { y: [lo, hi], ticks: logTicks(lo, hi, 4), log };
}

export function meritSection() {
  const { history } = O.data;
  const merits = history.map((h) => h.merit);
  const best = bestSoFar(merits), at = O.data.bestAt;
  const missing = merits.filter((v) => !Number.isFinite(v)).length;
  const scale = meritScale(merits);
  const drawn = history.map((h, k) => ({ h, k })).filter(({ h }) => Number.isFinite(h.merit));
  const styles = phaseStyles(history);
  const W = 920, H = 380, L = 74, R = 18, T = 34, B = 46;
  const axis = meritAxis(drawn.length ? drawn.map(({ h }) => h.merit) : [1], scale === "log");
  const xr = evaluationRange(history);
  const f = plotFrame({ W, H, L, R, T, B, x: xr, y: axis.y, yLog: axis.log, xTicks: wholeTicks(xr[0], xr[1], 6),
    yTicks: axis.ticks, xLabel: "evaluation", yLabel: axis.log ? "merit (logarithmic scale)" : "merit" });
  const out = [svgOpen(W, H, "merit against the evaluations"), `<g class="merit-chart" data-scale="${scale}">`, f.svg];
  if (!drawn.length) out.push(svgText((L + W - R) / 2, H / 2, "no merits to draw", `text-anchor="middle" style="fill:${MUTED}"`));
  // The best so far as steps: it holds from one evaluation to the next.
  const steps = [];
  history.forEach((h, k) => {
    if (!Number.isFinite(best[k])) return;
    const x = f.px(h.evaluation), y = f.py(best[k]);
    if (steps.length) steps.push([x, steps[steps.length - 1][1]]);
    steps.push([x, y]);
  });
  if (steps.length > 1) out.push(`<path class="best-line" d="${pathData(steps)}" fill="none" stroke="${INK}" stroke-width="1.6"/>`);
  const r = drawn.length > 150 ? 2.4 : 3.4;
  for (const { h, k } of drawn) {
    const tip = `evaluation ${h.evaluation} (${phaseName(h.phase)}${h.cached ? ", cached" : ""}): merit ${fmt(h.merit)}, best so far ${fmt(best[k])}`;
    out.push(phaseMark(styles.get(h.phase), f.px(h.evaluation), f.py(h.merit), r, h.cached,
      `class="pt merit" data-evaluation="${h.evaluation}" data-merit="${h.merit}" data-phase="${esc(h.phase)}"`, tip));
  }
  if (at >= 0 && Number.isFinite(history[at].merit)) {
    const h = history[at];
    out.push(`<circle class="best-mark" cx="${f.px(h.evaluation).toFixed(1)}" cy="${f.py(h.merit).toFixed(1)}" r="${r + 4}" ` +
      `fill="none" stroke="${NOMINAL}" stroke-width="2"/>`);
  }
  const extra = [
    [(x, y) => line(x - 6, y, x + 6, y, INK, 'stroke-width="1.6"'), "best so far"],
    [(x, y) => `<circle cx="${x}" cy="${y}" r="6" fill="none" stroke="${NOMINAL}" stroke-width="2"/>`, "best"],
  ];
  if (history.some((h) => h.cached)) {
    extra.push([(x, y) => `<circle cx="${x}" cy="${y}" r="3.4" fill="#fff" stroke="${MUTED}" stroke-width="1.4"/>`, "cached (not traced again)"]);
  }
  out.push(legendRow(styles, L, 16, extra), "</g></svg>");
  const note = missing
    ? `<p class="chart-note" id="merit-missing">${plural(missing, "evaluation")} gave no merit (a goal that is not a number): ` +
      `${missing === 1 ? "it counts" : "they count"} as the worst merit and ${missing === 1 ? "is" : "are"} left out of the chart.</p>` : "";
  const caption = `<b>Merit</b> against the evaluation, on a ${axis.log ? "logarithmic" : "linear"} scale` +
    (at >= 0 ? `; the best, ${esc(fmt(history[at].merit))}, at evaluation ${history[at].evaluation}` : "");
  return `<section id="merit"><h2>Merit</h2>
    <p class="explain">The merit the optimiser minimises, the weighted sum of the goals' terms, at every evaluation in the
    order they ran, and the least merit found up to each (the line). The scale is logarithmic when every merit is positive,
    linear otherwise.</p>
    ${figure("merit", "merit", caption, out.join(""), note)}</section>`;
}

// One variable's values against the evaluations, between its bounds, its
// start and best marked.
function pathChart(v, k, xr, at, styles) {
  const { history } = O.data;
  const W = 440, H = 250, L = 66, R = 14, T = 30, B = 44;
  const pts = history.filter((h) => Number.isFinite(h.values[k]));
  const yr = span(pts.map((h) => h.values[k]), [v.lo, v.hi, v.start, v.best]);
  const f = plotFrame({ W, H, L, R, T, B, x: xr, y: yr, xTicks: wholeTicks(xr[0], xr[1], 4),
    yTicks: linearTicks(yr[0], yr[1], 4), xLabel: "evaluation", yLabel: v.name });
  const out = [svgOpen(W, H, `${v.name} against the evaluations`), f.svg];
  for (const [bound, value, label] of [["lo", v.lo, "lower bound"], ["hi", v.hi, "upper bound"]]) {
    if (!Number.isFinite(value)) continue;
    const y = f.py(value);
    out.push(line(L, y.toFixed(1), W - R, y.toFixed(1), MUTED, `class="bound" data-bound="${bound}" data-v="${value}" stroke-dasharray="6 4"`),
      // Inside the frame: the bounds are usually the ends of the range.
      svgText(W - R - 4, (bound === "hi" ? y + 12 : y - 4).toFixed(1), `${label} ${fmt(value)}`, `text-anchor="end" font-size="10" style="fill:${MUTED}"`));
  }
  if (pts.length > 1) {
    out.push(`<path class="path" d="${pathData(pts.map((h) => [f.px(h.evaluation), f.py(h.values[k])]))}" fill="none" stroke="${GRID_LINE}" stroke-width="1.2"/>`);
  }
  const r = pts.length > 150 ? 2 : 2.8;
  for (const h of pts) {
    const tip = `evaluation ${h.evaluation} (${phaseName(h.phase)}${h.cached ? ", cached" : ""}): ${v.name} = ${fmt(h.values[k])}`;
    out.push(phaseMark(styles.get(h.phase), f.px(h.evaluation), f.py(h.values[k]), r, h.cached,
      `class="pt value" data-evaluation="${h.evaluation}" data-v="${h.values[k]}"`, tip));
  }
  const startX = history.length ? history[0].evaluation : xr[0];
  const bestX = at >= 0 ? history[at].evaluation : history.length ? history[history.length - 1].evaluation : xr[0];
  if (Number.isFinite(v.start)) {
    const x = f.px(startX), y = f.py(v.start), tip = `start: ${v.name} = ${fmt(v.start)}`;
    out.push(`<path class="pt start" d="M${x.toFixed(1)},${(y - 7).toFixed(1)}l7,7l-7,7l-7,-7z" fill="${NOMINAL}" stroke="#fff" ` +
      `data-v="${v.start}" data-tip="${esc(tip)}"><title>${esc(tip)}</title></path>`);
  }
  if (Number.isFinite(v.best)) {
    const tip = `best: ${v.name} = ${fmt(v.best)}`;
    out.push(`<circle class="pt best" cx="${f.px(bestX).toFixed(1)}" cy="${f.py(v.best).toFixed(1)}" r="6" fill="none" stroke="${NOMINAL}" ` +
      `stroke-width="2.2" data-v="${v.best}" data-tip="${esc(tip)}"><title>${esc(tip)}</title></circle>`);
  }
  out.push(legendRow(new Map(), L, 16, [
    [(x, y) => `<path d="M${x},${y - 5}l5,5l-5,5l-5,-5z" fill="${NOMINAL}"/>`, "start"],
    [(x, y) => `<circle cx="${x}" cy="${y}" r="5" fill="none" stroke="${NOMINAL}" stroke-width="2"/>`, "best"],
    [(x, y) => line(x - 6, y, x + 6, y, MUTED, 'stroke-dasharray="4 3"'), "bounds"],
  ]), "</svg>");
  const caption = `<b>${esc(v.name)}</b>${v.cell ? ` (cell ${esc(v.cell)})` : ""}: from ${esc(fmt(v.start))} to ${esc(fmt(v.best))}`;
  return figure(`path-${v.name}`, "path", caption, out.join(""));
}

export function pathsSection() {
  const { history, variables } = O.data;
  const xr = evaluationRange(history), at = O.data.bestAt;
  const styles = phaseStyles(history);
  const charts = variables.map((v, k) => pathChart(v, k, xr, at, styles)).join("");
  return `<section id="paths"><h2>Paths of the variables</h2>
    <p class="explain">Each variable's value at every evaluation, between its bounds (dashed), with the start (&#9670;)
    and the best point (&#9675;, at the evaluation that reached the least merit). The marks' colours and shapes are
    the phases', as on the chart of the merit.</p>
    <div class="charts">${charts || '<p class="explain">The optimisation has no variables.</p>'}</div></section>`;
}
