// The tables of an optimisation's page: the run at a glance, the goals with
// their values at the start and at the best point, and the variables.
import { esc, fmt, grouped, seconds } from "./format.js";
import { O, aimText, contributionText, withUnit } from "./optimize_data.js";
import { keyValueTable } from "./tables.js";

const DASH = "\u2013";

function evaluationsText(d) {
  const run = grouped(d.evaluationsRun);
  const cap = Number.isInteger(d.evaluations) ? ` of at most ${grouped(d.evaluations)}` : "";
  const cached = d.history.filter((h) => h.cached).length;
  return run + cap + (cached ? `, ${grouped(cached)} of them from the cache (the point was evaluated before)` : "");
}

function meritText(from, to) {
  return Number.isFinite(from) || Number.isFinite(to) ? `${fmt(from)} \u2192 ${fmt(to)}` : DASH;
}

export function summarySection() {
  const d = O.data, m = d.merit;
  const method = [d.method, d.algorithm].filter(Boolean).join(": ") || DASH;
  const smoothing = d.smoothing === null ? DASH
    : d.smoothing ? "on: the optimiser saw the goals of smoothed maps" : "off: the optimiser saw the goals of plain maps";
  const rows = [
    ["Sheet", esc(d.sheet || DASH), false],
    ["Method", esc(method), false],
    ["Evaluations", esc(evaluationsText(d)), false],
    ["Elapsed time", Number.isFinite(d.elapsed) ? `${seconds(d.elapsed)} s` : DASH, false],
    ["Mode", esc(d.mode || DASH), false],
    ["Smoothing", esc(smoothing), false],
    ["Seed", esc(d.seed || DASH), false],
    ["Stopped", d.stopped ? "yes, by Ctrl-C: the best point so far is shown" : "no", false, d.stopped],
    ["Merit, start \u2192 best", esc(meritText(m.start, m.best)), false],
    ["Merit of the exact runs", esc(meritText(m.exactStart, m.exactBest)), false],
  ];
  return `<section id="summary"><h2>Optimisation</h2>${keyValueTable(rows, "summary-table")}</section>`;
}

function num(v, unit, col) {
  return `<td class="num" data-col="${col}">${esc(withUnit(v, unit))}</td>`;
}

export function goalsSection() {
  const d = O.data, m = d.merit;
  const rows = d.goals.map((g, k) =>
    `<tr data-goal="${k}"><td><code>${esc(g.expression)}</code></td><td data-col="aim">${esc(aimText(g))}</td>` +
    num(g.weight, "", "weight") + num(g.scale, g.unit, "scale") + num(g.start, g.unit, "start") + num(g.best, g.unit, "best") +
    num(g.exactStart, g.unit, "exact_start") + num(g.exactBest, g.unit, "exact_best") +
    `<td class="num" data-col="contribution">${esc(contributionText(g.contribution))}</td></tr>`).join("");
  const total = `<tr class="merit-row"><th colspan="4">Merit (the weighted sum of the terms)</th>` +
    num(m.start, "", "start") + num(m.best, "", "best") + num(m.exactStart, "", "exact_start") + num(m.exactBest, "", "exact_best") +
    "<td></td></tr>";
  return `<section id="goals"><h2>Goals</h2>
    <p class="explain">What the optimiser was asked for. A goal's term is its value over its scale (minimize), minus that
    (maximize), or the square of its distance from the target over its scale (target); the merit is the sum of the terms,
    each times its weight. Start and best are the values the optimiser saw${d.smoothing ? " (from smoothed maps)" : ""};
    the exact ones come from the exact runs' plain maps, as the report page shows them. The contribution is the goal's
    share of the best merit.</p>
    <table class="goals-table"><thead><tr><th>Goal</th><th>Aim</th><th class="num">Weight</th><th class="num">Scale</th>
    <th class="num">Start</th><th class="num">Best</th><th class="num">Exact start</th><th class="num">Exact best</th>
    <th class="num">Contribution</th></tr></thead><tbody>${rows}${total}</tbody></table></section>`;
}

export function variablesSection() {
  const rows = O.data.variables.map((v, k) =>
    `<tr data-variable="${k}"><th>${esc(v.name)}</th><td>${esc(v.cell || DASH)}</td>` +
    num(v.lo, "", "lo") + num(v.hi, "", "hi") + num(v.start, "", "start") + num(v.best, "", "best") + num(v.step, "", "step") + "</tr>").join("");
  return `<section id="variables"><h2>Variables</h2>
    <p class="explain">The cells the optimiser sets, with their bounds, the start, the best point and the initial step of the search.</p>
    <table class="variables-table"><thead><tr><th>Name</th><th>Cell</th><th class="num">Lower bound</th><th class="num">Upper bound</th>
    <th class="num">Start</th><th class="num">Best</th><th class="num">Initial step</th></tr></thead><tbody>${rows}</tbody></table></section>`;
}
