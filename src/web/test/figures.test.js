// The figures the pages draw and save: their SVG is well formed, the map's
// cells cover the grid once each where the orientation puts them, and the
// colours follow the colour map's rule.
import assert from "node:assert/strict";
import test from "node:test";
import { NAN_RGB, ZERO_RGB, colourOf, colourScale, rgb } from "../colours.js";
import { figureFileName, pngScale, svgSize } from "../figure_save.js";
import { CELL, M, N, PLOT_H, PLOT_W, cellAt, cellPlace, mapFigureSvg } from "../map_plot.js";
import { PROFILE_H, PROFILE_W, profileSvg } from "../profile_chart.js";
import { DRAWING_H, DRAWING_W, systemSvg } from "../system_drawing.js";
import { svgElements } from "./svg_elements.js";

// A colour map whose entries are told apart by their red: entry k is (k, 0, 0).
const CMAP = Array.from({ length: 256 }, (_, k) => [k, 0, 0]);

function gridOf(f) {
  return Array.from({ length: N }, (_, i) => Array.from({ length: N }, (_, j) => f(i, j)));
}

function mapOf(values, extra) {
  return { name: "IXY", axes: ["x", "y"], unit: "mm", pitch: 0.5, values, selected: null, ...extra };
}

test("colours: the entry of floor(t * 256), clamped; greys for not a number", () => {
  assert.deepEqual(colourOf(CMAP, 0.5), [128, 0, 0]);
  assert.deepEqual(colourOf(CMAP, 1 - 1e-12), [255, 0, 0]);
  assert.deepEqual(colourOf(CMAP, -3), [0, 0, 0]);
  assert.deepEqual(colourOf(CMAP, 7), [255, 0, 0]);
  assert.equal(colourOf(CMAP, NaN), NAN_RGB);
  assert.equal(rgb([1, 2, 3]), "rgb(1,2,3)");
});

test("colour scales: none without weight; linear from zero; log leaves zero cells grey", () => {
  assert.equal(colourScale(gridOf(() => 0), "linear"), null);
  assert.equal(colourScale(gridOf(() => NaN), "log"), null);
  const values = gridOf((i, j) => (i === 3 && j === 4 ? 100 : i === 5 ? 1 : 0));
  const lin = colourScale(values, "linear");
  assert.equal(lin.lo, 0);
  assert.equal(lin.t(100), 1);
  assert.equal(lin.t(50), 0.5);
  const log = colourScale(values, "log");
  assert.equal(log.t(0), null);
  assert.equal(log.t(1), 0);
  assert.ok(Math.abs(log.t(10) - 0.5) < 1e-12);
  assert.ok(Number.isNaN(log.t(NaN)));
});

test("the orientations place cell (i, j) and find it again", () => {
  for (const layout of ["screen", "file"]) {
    for (const [i, j] of [[0, 0], [24, 18], [40, 3]]) {
      const p = cellPlace(layout, i, j);
      assert.deepEqual(cellAt(layout, p.col, p.row), { i, j });
    }
  }
  assert.deepEqual(cellPlace("screen", 24, 18), { col: 24, row: 22 });
  assert.deepEqual(cellPlace("file", 24, 18), { col: 24, row: 18 });
});

// The cell rectangles of a saved map: row and column of each cell covered.
function cellsOf(svg) {
  const covered = new Map();
  for (const e of svgElements(svg)) {
    if (e.name !== "rect" || !e.parent || e.parent.attrs["shape-rendering"] !== "crispEdges") continue;
    const x = Number(e.attrs.x), y = Number(e.attrs.y), w = Number(e.attrs.width);
    assert.equal(Number(e.attrs.height), CELL);
    for (let col = (x - M.left) / CELL; col < (x - M.left + w) / CELL; col++) {
      const key = `${(y - M.top) / CELL},${col}`;
      assert.ok(!covered.has(key), `cell ${key} drawn twice`);
      covered.set(key, e.attrs.fill);
    }
  }
  return covered;
}

test("a saved map: one SVG of the page's size, every cell once, coloured where the orientation puts it", () => {
  const values = gridOf((i, j) => (i === 24 && j === 18 ? 255 : i));
  const map = mapOf(values, { selected: [24, 18] });
  for (const layout of ["screen", "file"]) {
    const svg = mapFigureSvg(map, colourScale(values, "linear"), CMAP, layout);
    const elements = svgElements(svg);
    assert.equal(elements[0].name, "svg");
    assert.deepEqual(svgSize(svg), { width: PLOT_W, height: PLOT_H });
    assert.equal(elements[0].attrs.viewBox, `0 0 ${PLOT_W} ${PLOT_H}`);
    const cells = cellsOf(svg);
    assert.equal(cells.size, N * N);
    const hot = cellPlace(layout, 24, 18);
    assert.equal(cells.get(`${hot.row},${hot.col}`), "rgb(255,0,0)");
    assert.equal(cells.get(`${cellPlace(layout, 10, 0).row},10`), `rgb(${Math.floor((10 / 255) * 256)},0,0)`);
    // The outline of the selected cell sits on that cell.
    const outline = elements.find((e) => e.name === "rect" && e.attrs.class === "selected");
    assert.equal(Number(outline.attrs.x), M.left + hot.col * CELL);
    assert.equal(Number(outline.attrs.y), M.top + hot.row * CELL);
    // The colour bar: every entry of the map, and the ticks of the scale.
    const bar = elements.filter((e) => e.name === "rect" && /^rgb\(\d+,0,0\)$/.test(e.attrs.fill || "") && e.parent.name === "svg");
    assert.equal(bar.length, 256);
    assert.ok(elements.some((e) => e.name === "text" && e.text === "250"));
  }
});

test("a map without weight is saved grey, with no colour bar to read", () => {
  const svg = mapFigureSvg(mapOf(gridOf(() => 0)), null, CMAP, "screen");
  const cells = cellsOf(svg);
  assert.equal(cells.size, N * N);
  assert.ok([...cells.values()].every((fill) => fill === rgb(ZERO_RGB)));
  assert.ok(svg.includes("no weight: nothing to scale"));
});

test("a profile is one step per cell, inside its frame", () => {
  const values = Array.from({ length: N }, (_, k) => k % 7);
  const svg = profileSvg("Centre row", "x", mapOf(gridOf(() => 1)), values);
  const elements = svgElements(svg);
  assert.deepEqual(svgSize(svg), { width: PROFILE_W, height: PROFILE_H });
  const step = elements.find((e) => e.name === "path" && e.attrs.stroke !== "#1b1b1b");
  assert.equal((step.attrs.d.match(/H/g) || []).length, N);
  for (const [, x, y] of step.attrs.d.matchAll(/[ML]([-\d.]+),([-\d.]+)/g)) {
    assert.ok(Number(x) >= 0 && Number(x) <= PROFILE_W && Number(y) >= 0 && Number(y) <= PROFILE_H);
  }
});

test("the system drawing: a path per ray and surface, lost rays marked, one legend entry per set", () => {
  const layout = {
    zmin: 0, zmax: 40, ymin: -10, ymax: 10, sets: 2,
    surfaces: [
      { number: 1, type: 1, mirror: false, stop: false, lines: [[[10, -8], [10.5, 0], [10, 8]]] },
      { number: 2, type: 6, mirror: false, stop: true, lines: [[[20, 9], [20, 5]], [[20, -5], [20, -9]]] },
      { number: 3, type: 2, mirror: true, stop: false, lines: [] },
    ],
    sources: [[0, 1], [0, -1]],
    rays: [
      { set: 1, lost: false, pieces: [[[0, 1], [10, 3], [40, 4]]] },
      { set: 2, lost: true, pieces: [[[0, -1], [10, -6], [20, -7]]] },
      { set: 2, lost: false, pieces: [] },
    ],
  };
  const svg = systemSvg(layout);
  const elements = svgElements(svg);
  assert.deepEqual(svgSize(svg), { width: DRAWING_W, height: DRAWING_H });
  assert.equal(elements.filter((e) => e.attrs.class === "ray").length, 2);
  assert.equal(elements.filter((e) => e.attrs.class === "surface").length, 2);
  assert.equal(elements.filter((e) => e.attrs.class === "source").length, 2);
  const lost = elements.find((e) => e.attrs.class === "lost");
  assert.equal((lost.attrs.d.match(/M/g) || []).length, 2);
  assert.equal(elements.filter((e) => e.name === "text" && /^index set \d$/.test(e.text)).length, 2);
  // The numbers of the drawn surfaces stand above them; a surface with no
  // profile has none.
  const labels = elements.filter((e) => e.name === "text" && e.attrs.fill === "#333").map((e) => e.text);
  assert.deepEqual(labels, ["1", "2"]);
  for (const e of elements.filter((x) => x.name === "circle" || x.attrs.class === "ray")) {
    const numbers = (e.attrs.d || `${e.attrs.cx},${e.attrs.cy}`).match(/-?[\d.]+/g).map(Number);
    assert.ok(numbers.every((v) => v >= 0 && v <= DRAWING_W), `${e.name} outside the drawing`);
  }
});

test("saving: print resolution and file names Windows accepts", () => {
  assert.equal(pngScale(668, 506), 3);
  assert.ok(pngScale(340, 200) * 340 >= 1200);
  assert.ok(pngScale(120, 80) * 120 >= 1200);
  assert.equal(figureFileName("condenser.txt", "IXY", "png"), "condenser.txt-IXY.png");
  assert.equal(figureFileName('a/b:c*d?"e<f>g|h i', "ratio-against-TH0", "svg"), "a_b_c_d_e_f_g_h_i-ratio-against-TH0.svg");
  assert.equal(figureFileName("résultats", "system", "svg"), "résultats-system.svg");
  assert.equal(figureFileName("  ", "", "png"), "figure.png");
  assert.deepEqual(svgSize('<svg width="340" height="200" viewBox="0 0 340 200">'), { width: 340, height: 200 });
});
