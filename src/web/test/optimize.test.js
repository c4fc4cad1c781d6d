// The optimisation page's sums: which scale the merit takes, the best merit
// so far, how contributions read, what the data is made into, the maps'
// shared scale and which cell the pointer is on; and its charts' SVG.
import assert from "node:assert/strict";
import test from "node:test";
import { plotFrame } from "../chart_frame.js";
import { CELL, M, MAP_W, N } from "../map_plot.js";
import { meritSection, pathsSection } from "../optimize_charts.js";
import {
  O, aimText, bestIndex, bestSoFar, contributionText, meritScale, phaseStyles, prepare, withUnit,
} from "../optimize_data.js";
import { MAPS_H, MAPS_W, cellUnderPointer, mapsSvg, peakOf, sharedScale } from "../optimize_maps.js";
import { svgElements } from "./svg_elements.js";

const CMAP = Array.from({ length: 256 }, (_, k) => [k, 0, 0]);

function gridOf(f) {
  return Array.from({ length: N }, (_, i) => Array.from({ length: N }, (_, j) => f(i, j)));
}

test("the merit's scale: logarithmic only when every merit there is is positive", () => {
  assert.equal(meritScale([1, 0.3, 0.02]), "log");
  assert.equal(meritScale([1, NaN, 0.02]), "log");          // a missing merit is left out
  assert.equal(meritScale([1, -0.2, 0.5]), "linear");
  assert.equal(meritScale([1, 0, 0.5]), "linear");          // zero has no logarithm
  assert.equal(meritScale([NaN, NaN]), "linear");
  assert.equal(meritScale([]), "linear");
});

test("a logarithmic frame puts decades evenly apart, its ends at the frame's edges", () => {
  const f = plotFrame({ W: 300, H: 230, L: 50, R: 10, T: 10, B: 20, x: [0, 1], y: [1, 100], yLog: true, xTicks: [], yTicks: [] });
  assert.equal(f.py(1), 210);
  assert.equal(f.py(100), 10);
  assert.ok(Math.abs(f.py(10) - 110) < 1e-9);
});

test("the best so far: a running least merit that skips evaluations without one", () => {
  const best = bestSoFar([NaN, 3, 4, NaN, 2, 2.5, -1]);
  assert.ok(Number.isNaN(best[0]));
  assert.deepEqual(best.slice(1), [3, 3, 3, 2, 2, -1]);
  assert.equal(bestIndex([NaN, 3, 1, 1, 4]), 2);               // the first to reach it
  assert.equal(bestIndex([NaN, NaN]), -1);
});

test("contributions read as percentages, negative with a minus sign, a dash without one", () => {
  assert.equal(contributionText(0.24), "24 %");
  assert.equal(contributionText(1), "100 %");
  assert.equal(contributionText(0.123456), "12.3 %");
  assert.equal(contributionText(-0.05), "\u22125 %");
  assert.equal(contributionText(0), "0 %");
  assert.equal(contributionText(NaN), "\u2013");
  assert.equal(withUnit(8, "mm"), "8 mm");
  assert.equal(withUnit(NaN, "mm"), "\u2013");
  assert.equal(aimText({ kind: "target", target: 8, unit: "mm" }), "target 8 mm");
  assert.equal(aimText({ kind: "maximize", target: NaN, unit: "" }), "maximize");
});

test("phases keep the colour and shape of their first appearance", () => {
  const styles = phaseStyles([{ phase: "global" }, { phase: "local" }, { phase: "global" }]);
  assert.deepEqual([...styles.keys()], ["global", "local"]);
  assert.notEqual(styles.get("global").shape, styles.get("local").shape);
  assert.notEqual(styles.get("global").colour, styles.get("local").colour);
});

function sampleData() {
  return {
    title: "optimize of t.txt", sheet: "t.txt", method: "local", evaluations: 10, evaluations_run: 4, stopped: false,
    variables: [{ name: "CV3", cell: "B23", lo: 0.1, hi: 0.5, start: 0.2, best: 0.3, step: 0.05 }],
    goals: [{ kind: "minimize", expression: "peak(IXY)", target: null, weight: 1, scale: 2, start: 2, best: 1, contribution: 1, unit: "" }],
    merit: { start: 1, best: 0.5 },
    history: [
      { evaluation: 1, merit: 1, values: [0.2], phase: "local", cached: false },
      { evaluation: 2, merit: null, values: [0.25], phase: "local", cached: false },
      { evaluation: 3, merit: 0.5, values: [0.3], phase: "local", cached: false },
      { evaluation: 4, merit: 0.5, values: [0.3], phase: "local", cached: true },
    ],
    maps: { pitch: 0.5, unit: "mm", start: gridOf((i, j) => (i === 30 && j === 5 ? 10 : 1)), best: gridOf(() => 4) },
  };
}

test("prepared data: missing merits become NaN, broken maps and short histories are noted", () => {
  const notes = [];
  const d = prepare(sampleData(), notes);
  assert.deepEqual(notes, []);
  assert.ok(Number.isNaN(d.history[1].merit));
  assert.equal(d.history[3].cached, true);
  assert.equal(d.bestAt, 2);
  assert.ok(Number.isNaN(d.goals[0].target));
  const broken = sampleData();
  broken.maps.best = broken.maps.best.slice(1);
  broken.maps.pitch = 0;
  broken.evaluations_run = 5;
  broken.best_evaluation = 4;          // the optimiser's own choice of the best point wins
  const d2 = prepare(broken, notes);
  assert.equal(d2.maps.best, null);
  assert.equal(d2.maps.unit, "cells");
  assert.equal(d2.bestAt, 3);
  assert.equal(notes.length, 2);
  assert.match(notes.join(" "), /best run is not a 41 \u00d7 41 grid/);
  assert.match(notes.join(" "), /counts 5 evaluations, its history holds 4/);
  assert.throws(() => prepare([1, 2], []), /not an object/);
});

test("the maps share one scale whose top is the larger peak; a missing map is left out", () => {
  const a = gridOf((i, j) => (i === 3 && j === 4 ? 7 : 0)), b = gridOf(() => 2);
  assert.equal(peakOf(a), 7);
  assert.ok(Number.isNaN(peakOf(null)));
  const cs = sharedScale([a, b], "linear");
  assert.equal(cs.hi, 7);
  assert.equal(cs.t(2), 2 / 7);
  assert.equal(sharedScale([null, b], "linear").hi, 2);
  assert.equal(sharedScale([null, null], "linear"), null);
  assert.equal(sharedScale([gridOf(() => 0), null], "linear"), null);
});

test("the pointer finds the map and the cell, y counted upwards", () => {
  const top = 28 + M.top;
  assert.deepEqual(cellUnderPointer(M.left + 0.5 * CELL, top + 0.5 * CELL), { run: "start", i: 0, j: N - 1 });
  assert.deepEqual(cellUnderPointer(MAP_W + M.left + 24.5 * CELL, top + (N - 1 - 18 + 0.5) * CELL), { run: "best", i: 24, j: 18 });
  assert.equal(cellUnderPointer(M.left - 1, top + 5), null);
  assert.equal(cellUnderPointer(2 * MAP_W + 30, top + 5), null);       // the colour bar
});

test("the page's figures: the merit on its scale, one path mark per value, both maps under one bar", () => {
  O.cmap = CMAP;
  O.figures.clear();
  O.data = prepare(sampleData(), []);
  const merit = svgElements(/<svg[\s\S]*<\/svg>/.exec(meritSection())[0]);
  assert.equal(merit.find((e) => e.attrs.class === "merit-chart").attrs["data-scale"], "log");
  const marks = merit.filter((e) => (e.attrs.class || "").split(" ").includes("merit"));
  assert.deepEqual(marks.map((e) => e.attrs["data-evaluation"]), ["1", "3", "4"]);
  assert.equal(marks[2].attrs.fill, "#fff");                          // cached: hollow
  const paths = svgElements(/<svg[\s\S]*<\/svg>/.exec(pathsSection())[0]);
  assert.equal(paths.filter((e) => e.attrs.class === "pt value").length, 4);
  assert.deepEqual(paths.filter((e) => e.attrs.class === "bound").map((e) => e.attrs["data-v"]), ["0.1", "0.5"]);
  const maps = svgElements(mapsSvg("linear"));
  assert.deepEqual([Number(maps[0].attrs.width), Number(maps[0].attrs.height)], [MAPS_W, MAPS_H]);
  assert.deepEqual(maps.filter((e) => e.attrs.class === "ixy").map((e) => e.attrs["data-map"]), ["start", "best"]);
  assert.equal(maps.filter((e) => e.attrs.class === "colour-bar").length, 1);
  // The best map's cells, all 4 of a top of 10: entry floor(0.4 * 256).
  const best = maps.find((e) => e.attrs["data-map"] === "best");
  const fills = new Set(maps.filter((e) => e.name === "rect" && e.parent && e.parent.parent === best).map((e) => e.attrs.fill));
  assert.deepEqual([...fills], [`rgb(${Math.floor(0.4 * 256)},0,0)`]);
});
