// What tolerance trials add to a study page: each quantity against each
// jittered cell, the distributions of the main quantities, which cell
// matters and the percentiles. The numbers come with the data, worked out
// with the study; the page draws them.
import { ACCENT, NOMINAL } from "./colours.js";
import { plotFrame, span, xyChart } from "./chart_frame.js";
import { esc, fmt, grouped } from "./format.js";
import { saveButtons } from "./figure_save.js";
import {
  S, TRIAL_KEYS, axisName, cellStats, figure, hasKey, nominalPoint, num, pairStats, pointLabel, qLabel, qOf,
  quantityStats, trialPoints,
} from "./study_data.js";
import { linearTicks, wholeTicks } from "./ticks.js";
import { svgOpen, svgText } from "./svg.js";

// A trial quantity against each jittered cell's drawn value, the nominal
// system marked apart, with the least-squares line.
export function trialScatters(key) {
  const nominal = nominalPoint();
  return `<div class="charts">` + S.data.parameters.map((c, k) => {
    const pts = [];
    for (const p of trialPoints()) {
      const x = p.values[k], y = qOf(p, key);
      if (Number.isFinite(x) && Number.isFinite(y)) pts.push({ x, y, tip: `${pointLabel(p)}: ${qLabel(key)} = ${fmt(y)}` });
    }
    let nom = null;
    if (nominal && Number.isFinite(nominal.values[k]) && Number.isFinite(qOf(nominal, key))) {
      nom = { x: nominal.values[k], y: qOf(nominal, key), tip: `${pointLabel(nominal)}: ${qLabel(key)} = ${fmt(qOf(nominal, key))}` };
    }
    const pair = pairStats(k, key), r = num(pair.r);
    const fit = { mean_x: num(pair.mean_x), mean_y: num(pair.mean_y), slope: num(pair.slope) };
    const svg = xyChart({ W: 440, H: 280, pts, nominal: nom, fit, title: `${qLabel(key)} against ${c.name}`,
      xLabel: axisName(c), yLabel: qLabel(key) });
    const caption = `<b>${esc(qLabel(key))}</b> against ${esc(c.name)}: r = ${Number.isFinite(r) ? r.toFixed(3) : "\u2013"}` +
      ` over ${pts.length} trials; \u25c6 the nominal system`;
    return figure(`${key}-against-${c.name}`, key, caption, svg, "", true);
  }).join("") + "</div>";
}

function histogramPair(key) {
  const label = qLabel(key), st = quantityStats(key), hist = st.histogram;
  const vals = trialPoints().map((p) => qOf(p, key)).filter(Number.isFinite).sort((a, b) => a - b);
  const nv = num(st.nominal);
  const head = `<figcaption>${esc(label)} over ${vals.length} trials` +
    (Number.isFinite(nv) ? `; nominal ${esc(fmt(nv))} (red line)` : "; no nominal value") + "</figcaption>";
  if (!vals.length || !hist || !Array.isArray(hist.counts)) {
    return `<figure class="pair" data-key="${esc(key)}">${head}<p class="explain">No trial has a value of ${esc(label)}.</p></figure>`;
  }
  const lo = num(hist.lo), width = num(hist.width), counts = hist.counts.map((c) => (Number.isInteger(c) ? c : 0));
  const xr = span([lo, num(hist.hi)], [nv]);
  const xTicks = linearTicks(xr[0], xr[1], 4);
  const W = 420, H = 250;
  const top = Math.max(...counts);
  const yTop = Math.max(top, wholeTicks(0, top, 3).slice(-1)[0].v);
  const h = plotFrame({ W, H, L: 52, R: 14, T: 12, B: 44, x: xr, y: [0, yTop * 1.05], xTicks,
    yTicks: wholeTicks(0, yTop, 3), xLabel: label, yLabel: "trials" });
  const bars = [svgOpen(W, H, `histogram of ${label}`), h.svg];
  counts.forEach((c, k) => {
    const a = lo + k * width, b = lo + (k + 1) * width;
    const tip = `${c} ${c === 1 ? "trial" : "trials"} with ${label} from ${fmt(a)} to ${fmt(b)}`;
    bars.push(`<rect class="bar pt" x="${h.px(a).toFixed(1)}" y="${h.py(c).toFixed(1)}" width="${Math.max(0.5, h.px(b) - h.px(a) - 1).toFixed(1)}" ` +
      `height="${(h.py(0) - h.py(c)).toFixed(1)}" fill="${ACCENT}" data-count="${c}" data-tip="${esc(tip)}"><title>${esc(tip)}</title></rect>`);
  });
  const vline = (f) => {
    if (!Number.isFinite(nv)) return "";
    const x = f.px(nv).toFixed(1);
    return `<line class="nominal" x1="${x}" x2="${x}" y1="12" y2="${H - 44}" stroke="${NOMINAL}" stroke-width="2" stroke-dasharray="6 3"/>` +
      svgText(Number(x) + 4, 24, "nominal", `style="fill:${NOMINAL}" font-weight="600"`);
  };
  bars.push(vline(h), "</svg>");
  // The cumulative distribution: the share of trials at or below each value.
  const c = plotFrame({ W, H, L: 52, R: 14, T: 12, B: 44, x: xr, y: [0, 1], xTicks,
    yTicks: [0, 0.25, 0.5, 0.75, 1].map((v) => ({ v, text: `${v * 100} %` })), xLabel: label, yLabel: "trials at or below" });
  let d = `M${c.px(xr[0]).toFixed(1)},${c.py(0).toFixed(1)}`;
  vals.forEach((v, k) => { d += `H${c.px(v).toFixed(1)}V${c.py((k + 1) / vals.length).toFixed(1)}`; });
  d += `H${c.px(xr[1]).toFixed(1)}`;
  const cdf = [svgOpen(W, H, `cumulative distribution of ${label}`), c.svg,
    `<path class="cdf" d="${d}" fill="none" stroke="${ACCENT}" stroke-width="1.8"/>`, vline(c), "</svg>"].join("");
  const histogram = bars.join("");
  S.figures.set(`${key}-histogram`, () => histogram);
  S.figures.set(`${key}-distribution`, () => cdf);
  return `<figure class="pair" data-key="${esc(key)}">${head}<div class="chart histogram">${histogram}${saveButtons(`${key}-histogram`)}</div>` +
    `<div class="chart cdf">${cdf}${saveButtons(`${key}-distribution`)}</div><div class="readout control" style="flex-basis:100%">Point at a bar to read it.</div></figure>`;
}

export function histogramsSection() {
  const keys = TRIAL_KEYS.filter(hasKey);
  const body = keys.length ? keys.map(histogramPair).join("")
    : `<p class="explain">The study has none of the quantities ${TRIAL_KEYS.join(", ")}.</p>`;
  const bins = keys.length ? quantityStats(keys[0]).histogram : null;
  const binsText = bins && Number.isInteger(bins.bins) ? `${bins.bins} bins` : "bins";
  return `<section id="histograms" class="section-break"><h2>Distributions over the trials</h2>
    <p class="explain">How the ${grouped(trialPoints().length)} drawn trials spread: on the left a histogram (${binsText},
    about the square root of the number of trials), on the right the cumulative distribution, the share of trials at or
    below each value. The dashed red line is the nominal system (point 0, nothing jittered). Failed trials are left out.</p>${body}</section>`;
}

export function correlationsSection() {
  const keys = TRIAL_KEYS.filter(hasKey);
  const ran = num(S.data.statistics && S.data.statistics.trials_ran);
  const head = keys.map((k) => `<th class="num">${esc(qLabel(k))}</th>`).join("");
  const rows = S.data.parameters.map((c, k) => {
    const tds = keys.map((key) => {
      const pair = pairStats(k, key), r = num(pair.r);
      if (!Number.isFinite(r)) {
        return `<td class="num corr" data-cell="${esc(c.name)}" data-quantity="${esc(key)}" data-r="" title="${esc(pair.why || "no value")}">\u2013</td>`;
      }
      const share = Math.round(Math.abs(r) * 100);
      const tint = r >= 0 ? "rgba(43,93,140,0.28)" : "rgba(192,57,43,0.28)";
      return `<td class="num corr" data-cell="${esc(c.name)}" data-quantity="${esc(key)}" data-r="${r.toPrecision(6)}" ` +
        `style="background:linear-gradient(to right, ${tint} ${share}%, transparent ${share}%)">${r >= 0 ? "+" : "\u2212"}${Math.abs(r).toFixed(3)}</td>`;
    }).join("");
    return `<tr><th>${esc(c.name)}${c.cell ? ` <span class="explain">(${esc(c.cell)})</span>` : ""}</th>${tds}</tr>`;
  }).join("");
  // About two standard errors of r when there is no relation at all.
  const noise = ran > 3 ? (2 / Math.sqrt(ran)).toFixed(2) : null;
  return `<section id="correlations"><h2>Which cell matters</h2>
    <p class="explain">The correlation (Pearson's r) of each jittered cell's drawn value with each quantity over the
    ${Number.isFinite(ran) ? grouped(ran) : "\u2013"} trials that ran. Near +1: the quantity rises with the cell; near \u22121: it falls; near 0: no straight-line
    relation.${noise ? ` With this many trials an |r| below about ${noise} may well be chance.` : ""} The shaded bar is |r|.</p>
    <table class="stat-table"><thead><tr><th>Cell</th>${head}</tr></thead><tbody>${rows}</tbody></table></section>`;
}

export function percentilesSection() {
  const keys = TRIAL_KEYS.filter(hasKey);
  const cols = [["nominal", "nominal"], ["min", "min"], ["p5", "5 %"], ["p50", "50 %"], ["p95", "95 %"], ["max", "max"], ["mean", "mean"], ["std", "std. dev."]];
  const rows = keys.map((key) => {
    const s = quantityStats(key);
    return `<tr><th>${esc(qLabel(key))}</th>` + cols.map(([k]) => {
      const v = num(s[k]);
      return `<td class="num" data-quantity="${esc(key)}" data-stat="${k}" data-v="${Number.isFinite(v) ? v : ""}">${fmt(v)}</td>`;
    }).join("") + `<td class="num">${Number.isInteger(s.n) ? s.n : "\u2013"}</td></tr>`;
  }).join("");
  return `<section id="percentiles"><h2>Percentiles</h2>
    <p class="explain">Over the trials that ran (the nominal system apart); a percentile between two trials is interpolated
    linearly between them. The standard deviation is the sample's (divided by n \u2212 1).</p>
    <table class="stat-table"><thead><tr><th>Quantity</th>${cols.map(([, t]) => `<th class="num">${t}</th>`).join("")}<th class="num">trials</th></tr></thead>
    <tbody>${rows}</tbody></table></section>`;
}

// The drawn values of cell k over the trials, for the table of cells.
export function drawnStats(k) {
  const d = cellStats(k).drawn;
  return d && typeof d === "object" ? d : {};
}
