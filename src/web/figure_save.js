// "PNG" and "SVG" buttons on every figure: the reader saves the figure as
// the page draws it, at print resolution, offline, with nothing but the
// browser. The page registers each figure by name with a function that
// gives its SVG text; the buttons find it by that name.
import { esc } from "./format.js";

// PNG files are three times the size on the screen, and at least 1,200
// pixels on their long side.
export function pngScale(width, height) {
  return Math.max(3, 1200 / Math.max(width, height));
}

// A file name from the page's title and the figure's name, without the
// characters Windows does not allow in one.
export function figureFileName(title, name, format) {
  const clean = (s) => String(s).trim().replace(/[\\/:*?"<>|\s]+/g, "_").replace(/^[._]+|[._]+$/g, "");
  const stem = [clean(title), clean(name)].filter(Boolean).join("-") || "figure";
  return `${stem}.${format}`;
}

// The width and height an SVG text's root element gives.
export function svgSize(svg) {
  const root = /<svg\b[^>]*>/.exec(svg);
  const size = (attr) => {
    const m = root && new RegExp(`\\b${attr}="([0-9.]+)"`).exec(root[0]);
    return m ? Number(m[1]) : NaN;
  };
  return { width: size("width"), height: size("height") };
}

export function saveButtons(name) {
  return `<span class="save control" data-figure="${esc(name)}">Save as ` +
    '<button type="button" data-format="png">PNG</button> <button type="button" data-format="svg">SVG</button></span>';
}

// The SVG as a file of its own. Parsed as HTML the elements land in the SVG
// namespace, and the serializer then writes the namespace declaration a
// file needs.
function svgFile(svg) {
  const holder = document.createElement("div");
  holder.innerHTML = svg;
  const root = holder.querySelector("svg");
  if (!root) throw new Error("the figure has no SVG to save");
  return '<?xml version="1.0" encoding="UTF-8"?>\n' + new XMLSerializer().serializeToString(root) + "\n";
}

async function pngOf(file, width, height) {
  const image = new Image();
  image.src = "data:image/svg+xml;charset=utf-8," + encodeURIComponent(file);
  await image.decode();
  const scale = pngScale(width, height);
  const canvas = document.createElement("canvas");
  canvas.width = Math.round(width * scale);
  canvas.height = Math.round(height * scale);
  const ctx = canvas.getContext("2d");
  ctx.fillStyle = "#fff";
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  ctx.drawImage(image, 0, 0, canvas.width, canvas.height);
  return new Promise((resolve, reject) => canvas.toBlob((b) => (b ? resolve(b) : reject(new Error("the PNG could not be made"))), "image/png"));
}

function download(blob, fileName) {
  const url = URL.createObjectURL(blob);
  const a = document.createElement("a");
  a.href = url;
  a.download = fileName;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

export async function saveFigure(svg, fileName, format) {
  const file = svgFile(svg);
  if (format === "svg") {
    download(new Blob([file], { type: "image/svg+xml" }), fileName);
    return;
  }
  const { width, height } = svgSize(svg);
  download(await pngOf(file, width, height), fileName);
}

// Makes the buttons under root save the figures: figures.get(name) gives
// the figure's SVG text as it is drawn now. A failure is said beside the
// buttons, not thrown into the page.
export function enableSaving(root, title, figures) {
  root.addEventListener("click", (event) => {
    const button = event.target.closest && event.target.closest("button[data-format]");
    const box = button && button.closest(".save[data-figure]");
    if (!box) return;
    const name = box.dataset.figure, format = button.dataset.format, svg = figures.get(name);
    if (!svg) return;
    box.dataset.saving = format;
    saveFigure(svg(), figureFileName(title, name, format), format).then(
      () => { box.dataset.saved = format; delete box.dataset.saving; box.title = ""; },
      (e) => { delete box.dataset.saving; box.title = `Could not save: ${e && e.message ? e.message : e}`; });
  });
}
