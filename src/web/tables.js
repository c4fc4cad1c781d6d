// Tables as the pages write them.

// A table of rows [heading, cell HTML, numeric], the heading on the left;
// numeric cells align right. badness: a fourth entry true marks the cell.
export function keyValueTable(rows, cls) {
  const body = rows.map(([k, v, num, bad]) => {
    const classes = [num ? "num" : "", bad ? "bad" : ""].filter(Boolean).join(" ");
    return `<tr><th>${k}</th><td${classes ? ` class="${classes}"` : ""}>${v}</td></tr>`;
  }).join("");
  return `<table${cls ? ` class="${cls}"` : ""}><tbody>${body}</tbody></table>`;
}
