const count = (() => {
  const n = Number(query.get("count") || 3);
  return Number.isInteger(n) && n >= 0 && n <= 50 ? n : 3;
})();
const results = location.pathname.endsWith("/results");
const root = document.getElementById("scene");
root.style.setProperty("--s", scale);

// The table's controls by name, kept up from the socket's messages, and the schedule.
let byIndex = [];
let schedule = null;

function control(name) { return byIndex.find((c) => c && c.name === name) || {}; }

function pictureAddress(src) {
  return !src ? "" : token ? src + "?token=" + encodeURIComponent(token) : src;
}

// The table's font of a label: its face, weight and style, at the scene's own size.
function fontOf(name) {
  const font = control(name).font;
  if (!font) return "";
  return (font.italic ? "italic " : "") + (font.bold ? "bold " : "") + "1em " +
         '"' + font.name.replace(/["\\]/g, "") + '", Arial, "Liberation Sans", sans-serif';
}

function side(match, player, onTable, large) {
  const element = document.createElement("div");
  element.className = "side" + (player === 2 ? " two" : "");
  const name = document.createElement("span");
  name.className = "name";
  // The match on the table: its name, flag and colour as the table shows them now.
  const shown = onTable ? control("P" + player).caption : match["player" + player];
  name.textContent = shown || match["player" + player];
  name.style.font = fontOf("P" + player);
  name.style.fontSize = "";
  const flagSrc = onTable ? (control("F" + player).shown !== false && control("F" + player).picture || {}).src
                          : match["flag" + player];
  if (onTable) {
    const bar = document.createElement("span");
    bar.className = "bar";
    bar.style.background = control("SC" + player).fill || "transparent";
    element.append(bar);
  }
  if (flagSrc) {
    const flag = document.createElement("img");
    flag.className = "flag";
    flag.src = pictureAddress(flagSrc);
    flag.alt = "";
    flag.onload = fitAll;  // its width takes room from the name
    element.append(flag);
  }
  element.append(name);
  if (match.winner && match.winner.toLowerCase() === String(match["player" + player]).toLowerCase())
    element.classList.add("winner");
  return element;
}

// A match: what the schedule says of it on a line of its own (round, time, series), then
// both players, with "vs" or the result between them.
function row(match, large) {
  const element = document.createElement("div");
  element.className = "match" + (large ? " large" : "");
  const onTable = match.state === "current" && !results;
  const about = document.createElement("div");
  about.className = "about";
  about.style.font = fontOf("BO");
  about.style.fontSize = "";
  about.textContent = [match.round, results ? "" : match.time, large || results ? match.series : ""]
                          .filter(Boolean).join(" \u00b7 ");
  const middle = document.createElement("div");
  middle.className = results ? "middle score" : "middle";
  middle.textContent = results ? match.score1 + " : " + match.score2 : "vs";
  const line = document.createElement("div");
  line.className = "line";
  line.append(side(match, 1, onTable, large), middle, side(match, 2, onTable, large));
  if (about.textContent) element.append(about);
  element.append(line);
  return element;
}

// A name or a line too long for its place comes smaller, down to 70 % of its size, and
// ends in "..." if it is too long even then.
function fit(element) {
  element.style.fontSize = "";
  let size = parseFloat(getComputedStyle(element).fontSize);
  const smallest = size * 0.7;
  while (element.scrollWidth > element.clientWidth && size > smallest) {
    size = Math.max(smallest, size - Math.max(0.5, size * 0.04));
    element.style.fontSize = size + "px";
  }
}
function fitAll() { for (const element of root.querySelectorAll(".name, .about")) fit(element); }

function heading(text) {
  const h = document.createElement("h1");
  h.textContent = text;
  return h;
}

// Drawn again only when what it shows changed: the table's pulses, say, change nothing here.
let drawn = "";
function draw() {
  const key = JSON.stringify([schedule, ["P1", "P2", "F1", "F2", "SC1", "SC2", "BO"].map((name) => {
    const c = control(name);
    return [c.caption, c.font, c.picture, c.shown, c.fill];
  })]);
  if (key === drawn) return;
  drawn = key;
  root.textContent = "";
  const matches = schedule ? schedule.matches : [];
  let shown = [];
  if (results) {
    shown = matches.filter((m) => m.score1 !== undefined)
                   .sort((a, b) => (a.ended < b.ended ? 1 : a.ended > b.ended ? -1 : b.index - a.index));
    if (shown.length) root.append(heading("Results"));
    for (const m of shown) root.append(row(m, false));
  } else {
    // The match on the table while it has no result, else the next one not yet played.
    const current = matches.findIndex((m) => m.state === "current");
    let first = current >= 0 && matches[current].score1 === undefined ? current : -1;
    if (first < 0) first = matches.findIndex((m, i) => m.state === "upcoming" && i > current);
    if (first < 0) first = matches.findIndex((m) => m.state === "upcoming");
    if (first >= 0) {
      shown = [matches[first], ...matches.filter((m, i) => i > first && m.state === "upcoming").slice(0, count)];
      root.append(heading(first === current ? "Now" : "Up next"));
      shown.forEach((m, i) => root.append(row(m, i === 0)));
    }
  }
  root.style.display = shown.length ? "flex" : "none";
  fitAll();
}

function apply(message) {
  if (message.type === "table") {
    byIndex = [];
    for (const c of message.controls) byIndex[c.i] = c;
  } else if (message.type === "delta") {
    for (const change of message.controls) if (byIndex[change.i]) Object.assign(byIndex[change.i], change);
  } else {
    byIndex = [];
  }
  if (message.schedule) schedule = message.schedule;
  draw();
}

document.fonts.ready.then(fitAll);
follow("/overlay/socket" + location.search, apply, () => {
  root.style.display = "none";
  drawn = "";
});
