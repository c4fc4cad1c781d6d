// What every page does the same way: read its embedded JSON, show the
// notes the reader must see first, and say so on the page when it cannot
// be drawn instead of staying blank. body[data-rendered] tells the browser
// checks which of the two happened.
import { esc } from "./format.js";

export function readJson(id) {
  return JSON.parse(document.getElementById(id).textContent);
}

export function notesBox(notes) {
  if (!notes.length) return "";
  return `<aside class="notes" role="note"><h2>Please note</h2><ul>${notes.map((n) => `<li>${esc(n)}</li>`).join("")}</ul></aside>`;
}

export function drawPage(render) {
  try {
    render();
    document.body.dataset.rendered = "true";
  } catch (e) {
    const box = document.createElement("div");
    box.className = "render-failed";
    box.id = "render-failed";
    box.textContent = "This report could not be drawn: " + (e && e.stack ? e.stack : e);
    document.body.insertBefore(box, document.body.firstChild);
    document.body.dataset.rendered = "error";
  }
}
