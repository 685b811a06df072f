const token = new URLSearchParams(location.hash.slice(1)).get("token");

function headers(withBody) {
  const h = {};
  if (withBody) h["Content-Type"] = "application/json";
  if (token) h["Authorization"] = "Bearer " + token;
  return h;
}

// --- Reaching the program: the controls work only while it answers. ---
function setOnline(online, message) {
  document.body.classList.toggle("offline", !online);
  for (const control of document.querySelectorAll("button[data-action], #pick input")) control.disabled = !online;
  if (!online) for (const button of [...armed.keys()]) disarm(button);
  if (message !== undefined) document.getElementById("status").textContent = message;
}

// A refusal of the token, told as what to do on the phone.
function tokenAdvice() {
  const address = location.origin + "/#token=";
  return token ? "The token in this address is not the program's. Open " + address +
                     " followed by the token the program was started with."
               : "The program asks for a token. Open " + address +
                     " followed by the token the program was started with.";
}

// A request that did not get through: the program is gone, or refuses the token.
function failed(error) {
  if (error.token) hideView();
  setOnline(false, error instanceof TypeError
      ? "The program does not answer. The buttons come back by themselves when it runs again."
      : String(error.message || error));
}

function show(state) {
  setOnline(true);
  if (state.schedule && state.schedule.revision !== dayRevision) loadDay(state.schedule.revision);
  document.getElementById("view").hidden = false;
  fitOverlay(); // now, not at the next frame: the preview never shows at the frame's default width
  // Before GO!!! the program takes no action: the buttons stay off until then.
  starting = state.window === "start";
  if (starting) {
    for (const control of document.querySelectorAll("button[data-action], #pick input")) control.disabled = true;
    for (const button of [...armed.keys()]) disarm(button);
  }
  document.getElementById("status").textContent =
      starting ? "The start dialog is up: the buttons work once its GO!!! starts the match."
               : state.table_open ? "" : "The score table is not open.";
  showNotice(Array.isArray(state.notices) ? state.notices[state.notices.length - 1] : null);
  for (const p of state.players) {
    document.getElementById("name" + p.player).textContent = p.name;
    document.getElementById("score" + p.player).textContent = p.score;
  }
}

let starting = false;  // the start dialog is up: no action is taken

// The program's newest notice: what it says, the file and line it is about, and when.
function showNotice(notice) {
  const line = document.getElementById("notice");
  line.hidden = !notice;
  if (!notice) return;
  const where = notice.file ? " (" + notice.file + (notice.line != null ? ", line " + notice.line : "") + ")" : "";
  const when = typeof notice.when === "string" ? notice.when.slice(11, 16) + " " : "";
  line.textContent = when + notice.text + where;
}

async function answer(response) {
  const body = await response.json();
  if (response.status === 401) throw Object.assign(new Error(tokenAdvice()), { token: true });
  if (!response.ok) throw new Error(body.error || response.statusText);
  return body;
}

function withToken(address) {
  return token ? address + (address.includes("?") ? "&" : "?") + "token=" + encodeURIComponent(token) : address;
}

async function refresh() {
  try {
    show(await answer(await fetch("/api/state", { headers: headers(false), cache: "no-store" })));
  } catch (error) {
    failed(error);
  }
}

// --- The reset, the swap and the day's matches: a first tap arms one for 3 s, a second one
// within them acts. ---
const armed = new Map();
function disarm(button) {
  clearTimeout(armed.get(button));
  armed.delete(button);
  button.classList.remove("armed");
  button.textContent = button.dataset.label;
}
function armedTapped(button) {
  if (armed.has(button)) {
    disarm(button);
    act(button);
    return;
  }
  button.classList.add("armed");
  button.textContent = button.dataset.again;
  armed.set(button, setTimeout(() => disarm(button), 3000));
}

async function post(action, body) {
  try {
    show(await answer(await fetch("/api/action/" + action,
                                  { method: "POST", headers: headers(true), body: JSON.stringify(body) })));
  } catch (error) {
    if (error instanceof TypeError || error.token) failed(error);
    else document.getElementById("status").textContent = String(error.message || error);
  }
}

function act(button) {
  const body = {};
  if (button.dataset.player) body.player = Number(button.dataset.player);
  if (button.dataset.index) body.index = Number(button.dataset.index);
  post(button.dataset.action, body);
}

// The roster's names as the name fields' suggestions. A name of the roster sets that
// player up as the menu's "OK" does; any other name is taken as typed.
let rosterNames = new Set();
async function loadRoster() {
  try {
    const roster = await answer(await fetch("/api/roster", { headers: headers(false), cache: "no-store" }));
    document.getElementById("roster").replaceChildren(...roster.players.map((p) => new Option(p.name)));
    rosterNames = new Set(roster.players.map((p) => p.name.toLowerCase()));
  } catch (error) {
    document.getElementById("status").textContent = String(error.message || error);
  }
}
for (const field of document.querySelectorAll("#pick input")) {
  field.addEventListener("change", () => {
    const name = field.value.trim();
    const player = Number(field.dataset.player);
    field.value = "";
    if (!name) return;
    if (rosterNames.has(name.toLowerCase())) post("roster", { player, name });
    else post("names", player === 1 ? { player1: name } : { player2: name });
  });
}

// The overlay at the scale (0.5 to 4) that fills the width; 534 x 84 is the score table's
// size in pixels at scale 1, as the overlay page draws it.
let shownScale = 0;
function fitOverlay() {
  const view = document.getElementById("view");
  if (view.hidden) return;
  const scale = Math.min(4, Math.max(0.5, Number((view.clientWidth / 534).toFixed(4))));
  if (scale === shownScale) return;
  shownScale = scale;
  const frame = document.getElementById("overlay");
  frame.width = Math.min(view.clientWidth, Math.ceil(534 * scale));
  frame.height = Math.round(84 * scale);
  view.style.height = frame.height + "px";
  frame.src = withToken("/overlay?scale=" + scale);
}
// Without the program's token the overlay would show its refusal: no preview until the
// program answers.
function hideView() {
  document.getElementById("view").hidden = true;
  document.getElementById("overlay").removeAttribute("src");
  shownScale = 0;
}

// The state, pushed whole whenever it changes. A socket tells no reason when it closes:
// one request does (a wrong token, the program gone), then the socket is opened again.
function listen() {
  follow(withToken("/api/events"), show, () => {
    setOnline(false);
    refresh();
  });
}

function wire(button) {
  button.dataset.label = button.textContent;
  button.addEventListener("click", () => (button.dataset.again ? armedTapped(button) : act(button)));
}

// The day's schedule, read again whenever the state tells of a change.
let dayRevision = null;
async function loadDay(revision) {
  dayRevision = revision;
  try {
    const day = await answer(await fetch("/api/schedule", { headers: headers(false), cache: "no-store" }));
    document.getElementById("day").hidden = day.matches.length === 0;
    document.body.classList.toggle("day", day.matches.length > 0);
    showSite(day.site);
    const who = (name) => name || "not known yet";
    const named = (m) => who(m.player1) + " \u2013 " + who(m.player2);
    const current = day.matches.find((m) => m.state === "current");
    document.getElementById("now").textContent = current
        ? "On the table: match " + current.index + ", " + named(current) + (current.round ? " \u00b7 " + current.round : "")
        : "";
    // What "next match" loads: the first match after the current one not yet played, else
    // the first one before it.
    const after = current ? current.index : 0;
    const upcoming = day.matches.filter((m) => m.state === "upcoming");
    const coming = upcoming.find((m) => m.index > after) || upcoming[0];
    document.getElementById("next").dataset.again = coming
        ? "tap again: match " + coming.index + ", " + named(coming)
        : "tap again: result kept, no match is left";
    document.getElementById("matches").replaceChildren(...day.matches.map((m) => {
      const button = document.createElement("button");
      button.className = m.state;
      Object.assign(button.dataset, { action: "match", index: m.index, again: "tap again to load match " + m.index });
      const result = m.score1 !== undefined ? "  " + m.score1 + ":" + m.score2 : "";
      const report = m.report && m.report.state !== "none" ? "  \u00b7 result " + m.report.state : "";
      button.textContent = m.index + ". " + named(m) + result +
                           (m.round ? "  \u00b7 " + m.round : "") + (m.time ? "  \u00b7 " + m.time : "") + report;
      if (m.report && m.report.reason) button.title = m.report.reason;
      if (m.state === "current") button.setAttribute("aria-current", "true");
      button.disabled = starting || document.body.classList.contains("offline");
      wire(button);
      return button;
    }));
  } catch (error) {
    dayRevision = null;
    document.getElementById("status").textContent = String(error.message || error);
  }
}

// The bracket site the day comes from: when it was last fetched, since when the site has
// not answered, and the results waiting to reach it.
function showSite(site) {
  const line = document.getElementById("site");
  line.hidden = !site;
  if (!site) return;
  const parts = ["start.gg: " + (site.stream ? site.stream + " \u00b7 " : "") + site.event];
  parts.push(site.fetched ? "fetched " + site.fetched.slice(11, 16) : "not fetched yet");
  if (site.offlineSince) parts.push("offline since " + site.offlineSince.slice(11, 16));
  if (site.waiting) parts.push(site.waiting + (site.waiting === 1 ? " result waiting" : " results waiting"));
  line.textContent = parts.join("  \u00b7  ");
}

for (const button of document.querySelectorAll("button[data-action]")) wire(button);
// Whenever the page's width changes: a turned phone, a scroll bar come or gone.
new ResizeObserver(fitOverlay).observe(document.getElementById("view"));
listen();
loadRoster();
