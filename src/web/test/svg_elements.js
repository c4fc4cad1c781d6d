// A small reader of the SVG text the figures make, for the tests: checks
// that every element is closed in order and lists the elements with their
// attributes, so that a test can count cells or find a tick.
export function svgElements(svg) {
  const elements = [], open = [];
  const tag = /<(\/?)([a-zA-Z][\w:-]*)((?:\s+[\w:-]+="[^"]*")*)\s*(\/?)>/g;
  let at = 0, m;
  while ((m = tag.exec(svg))) {
    const between = svg.slice(at, m.index);
    if (between.includes("<")) throw new Error(`unreadable markup before offset ${m.index}: ${between.slice(0, 60)}`);
    at = tag.lastIndex;
    const [, closing, name, attrText, selfClosing] = m;
    if (closing) {
      const top = open.pop();
      if (!top || top.name !== name) throw new Error(`</${name}> closes <${top ? top.name : "nothing"}>`);
      continue;
    }
    const attrs = {};
    for (const a of attrText.matchAll(/([\w:-]+)="([^"]*)"/g)) attrs[a[1]] = a[2];
    const element = { name, attrs, parent: open.length ? open[open.length - 1] : null, text: "" };
    elements.push(element);
    if (!selfClosing) open.push(element);
    const next = svg.indexOf("<", at);
    if (!selfClosing) element.text = svg.slice(at, next < 0 ? svg.length : next);
  }
  if (open.length) throw new Error(`<${open[open.length - 1].name}> is never closed`);
  if (svg.slice(at).includes("<")) throw new Error("unreadable markup at the end");
  return elements;
}
