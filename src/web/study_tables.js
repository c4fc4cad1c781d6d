// The tables of a study page: the study at a glance, the cells it varied
// and every point with its outcome.
import { esc, fmt, grouped, seconds } from "./format.js";
import { S, TRIAL_KEYS, hasKey, mainKeys, num, paramText, qLabel, qOf, trialPoints } from "./study_data.js";
import { drawnStats } from "./study_trials.js";
import { keyValueTable } from "./tables.js";

export function summarySection() {
  const { data, view } = S, s = data.summary, P = data.parameters;
  const what = data.kind === "trials"
    ? `Tolerance trials: ${grouped(Math.max(0, data.points.length - 1))} drawn trials of ${P.length} jittered ${P.length === 1 ? "cell" : "cells"}, and the nominal system`
    : `Parameter sweep over ${P.length} ${P.length === 1 ? "cell" : "cells"}` +
      (view.mode === "heat" ? ` (a ${view.shape[0]} \u00d7 ${view.shape[1]} grid)` : P.length > 1 ? " (values paired point by point)" : "");
  const secs = Number.isFinite(s.elapsed) ? `${seconds(s.elapsed)} s` : "\u2013";
  const rows = [
    ["Study", esc(what), false], ["Points", grouped(s.points), true],
    ["Failed", grouped(s.failed), true, s.failed > 0], ["Elapsed time", secs, true],
    ["Threads", Number.isFinite(s.threads) ? grouped(s.threads) : "\u2013", true],
  ];
  return `<section id="summary"><h2>Study</h2>${keyValueTable(rows)}</section>`;
}

function jitteredCells() {
  const { data } = S;
  const rows = data.parameters.map((c, k) => {
    const j = data.jitter.find((x) => x.name === c.name) || data.jitter[k] || { draw: "", nominal: NaN };
    const d = drawnStats(k), n = Number.isInteger(d.n) ? d.n : 0;
    return `<tr><th>${esc(c.name)}</th><td>${esc(c.cell)}</td><td>${esc(c.unit)}</td><td><code>${esc(j.draw || "\u2013")}</code></td>` +
      `<td class="num">${fmt(j.nominal)}</td><td class="num">${n ? fmt(num(d.min)) : "\u2013"}</td>` +
      `<td class="num">${n ? fmt(num(d.max)) : "\u2013"}</td><td class="num">${fmt(num(d.mean))}</td><td class="num">${fmt(num(d.std))}</td></tr>`;
  }).join("");
  return `<section id="parameters"><h2>Jittered cells</h2>
    <p class="explain">Each trial draws every cell about its nominal value: normal:&sigma; with standard deviation &sigma;,
    uniform:h evenly within &plusmn;h. The last columns are what the ${grouped(trialPoints().length)} trials drew.</p>
    <table><thead><tr><th>Name</th><th>Cell</th><th>Unit</th><th>Drawn as</th><th class="num">Nominal</th>
    <th class="num">Drawn min</th><th class="num">Drawn max</th><th class="num">Mean</th><th class="num">Std. dev.</th></tr></thead>
    <tbody>${rows}</tbody></table></section>`;
}

export function parametersSection() {
  const { data } = S, P = data.parameters;
  if (!P.length) return `<section id="parameters"><h2>Cells</h2><p class="explain">The study names no cells.</p></section>`;
  if (data.kind === "trials") return jitteredCells();
  const rows = P.map((c, k) => {
    const seen = [];
    for (const p of data.points) { const t = paramText(p, k); if (!seen.includes(t)) seen.push(t); }
    const list = seen.length > 12 ? seen.slice(0, 10).join(", ") + `, \u2026 (${seen.length} values)` : seen.join(", ");
    return `<tr><th>${esc(c.name)}</th><td>${esc(c.cell)}</td><td>${esc(c.unit)}</td><td class="num">${seen.length}</td><td>${esc(list)}</td></tr>`;
  }).join("");
  return `<section id="parameters"><h2>Swept cells</h2>
    <p class="explain">The cells the sweep sets, in the order they were given, with the values they take.</p>
    <table><thead><tr><th>Name</th><th>Cell</th><th>Unit</th><th class="num">Values</th><th>Taken</th></tr></thead>
    <tbody>${rows}</tbody></table></section>`;
}

export function pointsSection() {
  const { data } = S;
  const keys = data.kind === "trials" ? TRIAL_KEYS.filter(hasKey).concat(mainKeys().filter((k) => !TRIAL_KEYS.includes(k))) : mainKeys();
  const head = `<th class="num">Point</th>` + data.parameters.map((c) => `<th class="num">${esc(c.name)}</th>`).join("") +
    `<th>Outcome</th>` + keys.map((k) => `<th class="num">${esc(qLabel(k))}</th>`).join("");
  const rows = data.points.map((p) =>
    `<tr${p.ok ? "" : ' class="failed"'} data-point="${p.index}"><td class="num">${p.index}${data.kind === "trials" && p.index === 0 ? " (nominal)" : ""}</td>` +
    data.parameters.map((c, k) => `<td class="num">${esc(paramText(p, k))}</td>`).join("") +
    `<td class="message">${p.ok ? "ok" : "<b>failed</b>" + (p.message ? ": " + esc(p.message) : "")}</td>` +
    keys.map((k) => `<td class="num">${fmt(qOf(p, k))}</td>`).join("") + "</tr>").join("");
  return `<section id="points" class="section-break"><h2>All points</h2>
    <p class="explain">Every point of the study in index order, with its cells' values and the main quantities.</p>
    <table class="points-table"><thead><tr>${head}</tr></thead><tbody>${rows}</tbody></table></section>`;
}
