// Numbers and text as the pages print them. Pure functions: the node tests
// import them, and every page formats alike because it uses these.

// Text made safe to stand in HTML or SVG, in an element or an attribute.
export function esc(s) {
  return String(s).replace(/[&<>"']/g, (c) =>
    ({ "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&#39;" })[c]);
}

// A count with thousands separators: 1234567 reads 1,234,567.
export function grouped(n) {
  return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ",");
}

export function plural(n, word) {
  return `${grouped(n)} ${word}${n === 1 ? "" : "s"}`;
}

// Numbers the result files print as %f: toFixed rounds the exact binary
// value as printf does, and no double lies exactly half-way at six decimals.
export function fixed6(v) {
  return Number.isFinite(v) ? v.toFixed(6) : "nan";
}

// A cell centre or tick position without the float noise of (i - 20) * pitch.
export function coord(v) {
  return String(Number(v.toPrecision(10)));
}

// A value to read: six significant digits, without the float noise; a dash
// for no value.
export function fmt(v) {
  if (!Number.isFinite(v)) return "\u2013";
  if (v === 0) return "0";
  const a = Math.abs(v);
  if (a >= 1e7 || a < 1e-4) return v.toExponential(4).replace("e+", "e");
  return String(Number(v.toPrecision(6)));
}

// A duration in seconds: three digits below 100 s, whole seconds above.
export function seconds(s) {
  return s < 100 ? s.toPrecision(3) : s.toFixed(0);
}

// A tick label for v on an axis whose ticks are step apart: as many
// decimals as the step needs, exponents for very large or very fine steps.
export function fmtTick(v, step) {
  if (v === 0) return "0";
  const a = Math.abs(v);
  const decimals = Math.max(0, Math.ceil(-Math.log10(step) - 1e-9));
  if (a >= 1e6 || decimals > 5) {
    const digits = Math.max(0, Math.floor(Math.log10(a)) - Math.floor(Math.log10(step) + 1e-9));
    return v.toExponential(Math.min(digits, 6)).replace("e+", "e");
  }
  return v.toFixed(decimals);
}

// A tick label on a logarithmic axis.
export function fmtLog(v) {
  if (v >= 1e-3 && v < 1e6) return String(Number(v.toPrecision(3)));
  return v.toExponential(0).replace("e+", "e");
}
