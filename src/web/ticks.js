// Where the ticks of an axis go, and their labels. Every chart, map and
// colour bar of the pages takes its ticks from here.
import { fmtLog, fmtTick } from "./format.js";

// Ticks for a linear axis from lo to hi: multiples of 1, 2 or 5 times a
// power of ten, the coarsest that gives at least minCount of them.
export function linearTicks(lo, hi, minCount) {
  if (!(hi > lo)) return [{ v: lo, text: fmtTick(lo, Math.abs(lo) || 1) }];
  let decade = Math.pow(10, Math.ceil(Math.log10(hi - lo)));
  for (let guard = 0; guard < 40; guard++, decade /= 10) {
    for (const m of [1, 0.5, 0.2]) {
      const step = decade * m;
      const first = Math.ceil(lo / step - 1e-9), last = Math.floor(hi / step + 1e-9);
      if (last - first + 1 >= minCount) {
        const ticks = [];
        for (let k = first; k <= last; k++) ticks.push({ v: k * step, text: fmtTick(k * step, step) });
        return ticks;
      }
    }
  }
  return [{ v: lo, text: String(lo) }, { v: hi, text: String(hi) }];
}

// Ticks for a log axis: whole decades if there are enough of them, else
// 1-2-5 or every digit, else steps evenly spaced in the logarithm.
export function logTicks(lo, hi, minCount) {
  const a = Math.floor(Math.log10(lo)), b = Math.ceil(Math.log10(hi));
  for (const mantissas of [[1], [1, 2, 5], [1, 2, 3, 4, 5, 6, 7, 8, 9]]) {
    let vs = [];
    for (let e = a; e <= b; e++) {
      for (const m of mantissas) {
        const v = m * Math.pow(10, e);
        if (v >= lo * (1 - 1e-9) && v <= hi * (1 + 1e-9)) vs.push(v);
      }
    }
    if (vs.length >= minCount) {
      while (vs.length > 12) vs = vs.filter((_, k) => k % 2 === 0);
      return vs.map((v) => ({ v, text: fmtLog(v) }));
    }
  }
  const ticks = [];
  for (let k = 0; k < minCount; k++) {
    const v = lo * Math.pow(hi / lo, k / (minCount - 1));
    ticks.push({ v, text: String(Number(v.toPrecision(4))) });
  }
  return ticks;
}

// Ticks at whole numbers only: point indices and counts.
export function wholeTicks(lo, hi, minCount) {
  const ticks = linearTicks(lo, hi, minCount).filter((t) => Math.abs(t.v - Math.round(t.v)) < 1e-9);
  return ticks.length ? ticks : [{ v: Math.round(lo), text: String(Math.round(lo)) }];
}

// Ticks about `about` steps apart over [lo, hi], the step 1, 2 or 5 times a
// power of ten and no finer than (hi - lo) / about: the system drawing's.
export function spacedTicks(lo, hi, about) {
  if (!(hi > lo)) return [];
  const raw = (hi - lo) / Math.max(about, 1);
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  let step = power;
  for (const m of [1, 2, 5, 10]) {
    step = m * power;
    if (step >= raw) break;
  }
  const ticks = [];
  for (let k = Math.ceil(lo / step); k * step <= hi + step * 1e-9; k++) {
    const v = Math.abs(k * step) < 1e-12 ? 0 : k * step;
    ticks.push({ v, text: String(Number(v.toPrecision(6))) });
  }
  return ticks;
}
