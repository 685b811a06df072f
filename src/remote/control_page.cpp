// The control page at "/": the table as the stream shows it (the overlay page in a frame,
// scaled to the phone's width), then both names and scores with + and - buttons, a reset,
// and the next portrait of each player, for a co-caster's phone. On a tall phone the
// buttons sit in the lower part, where a thumb reaches, and the table and scores above.
// The reset and the swap sit apart, above the players, and act only on a second tap within
// 3 s. While the program does not answer, a banner says so and every control is greyed and
// cannot be pressed, until the page reaches the program again by itself. Below the
// players, a name field for each player suggests the roster's names. With a schedule, the
// day's matches follow, the current one marked and the played ones with their scores: the
// "next match" button and a tapped match load a match on a second tap within 3 s too, as
// they record the result of the match on the table. The preview is shown only once the
// program has taken the page's token. With a schedule the players' cards keep their own
// height and the match on the table is named above "next match", so both show on a phone
// without scrolling; "next match" names on its first tap the match it will load. While the
// start dialog is up the page says so and its buttons are off (the program refuses every
// action until GO!!!). The newest of the program's notices has a line of its own under the
// banner. The names and scores
// come from /api/events, pushed as they change, and from the answer to each press; when
// the socket drops, one request tells why and the socket is opened again, waiting longer
// each time up to 4 s. A token, when the program asks for one, goes in the address after
// a "#": http://ADDRESS:PORT/#token=TOKEN (the part after "#" never leaves the phone; the
// page hands it to the socket and the frame in their addresses).
#include "remote/api.h"

namespace quorvel::remote {

const char* const kControlPage = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Quorvel remote</title>
<style>
  body { font-family: sans-serif; margin: 0; padding: 12px; background: #202020; color: #f0f0f0;
         box-sizing: border-box; min-height: 100vh; min-height: 100dvh; display: flex; flex-direction: column; }
  .players { display: flex; gap: 12px; flex: 1; }
  .player { flex: 1; background: #303030; border-radius: 8px; padding: 12px; text-align: center;
            display: flex; flex-direction: column; }
  .player button[data-action="score-up"] { margin-top: auto; }
  .name { font-size: 1.2em; min-height: 1.4em; overflow-wrap: anywhere; }
  .score { font-size: 3em; font-weight: bold; margin: 8px 0; }
  button { font-size: 1.4em; padding: 12px 0; margin: 4px 0; width: 100%; border: 0; border-radius: 6px;
           background: #4a6fa5; color: #fff; }
  button.minus { background: #7a4a4a; }
  button.other { background: #555; font-size: 1em; }
  /* The swap and the reset: small, above the players' cards, far from the other buttons
     and the name fields. */
  .apart { display: flex; justify-content: space-between; margin-bottom: 12px; }
  .apart button { width: auto; font-size: 0.9em; padding: 8px 14px; margin: 0; background: #3a3a3a;
                  border: 1px solid #888; }
  .apart button.armed, #day button.armed { background: #b03030; border-color: #ff8080; color: #fff; }
  /* The day: one button a match, the current one marked. With a day the players' cards
     keep their own height, so that the match on the table shows without scrolling. */
  body.day .players { flex: none; }
  #day { margin-top: 16px; }
  #now { font-size: 0.95em; margin-bottom: 4px; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  #notice { font-size: 0.9em; margin-bottom: 10px; padding: 8px 10px; border-radius: 6px; background: #4a4020;
            color: #fff; overflow-wrap: anywhere; }
  #day h2 { font-size: 1em; margin: 0 0 6px; color: #c0c0c0; }
  #matches { display: flex; flex-direction: column; gap: 4px; margin-top: 8px; }
  #matches button { font-size: 0.95em; padding: 8px 10px; margin: 0; text-align: left; background: #303030;
                    border: 1px solid #303030; }
  #matches button.current { border-color: #f2c230; background: #3d3720; }
  #matches button.played { color: #a0a0a0; }
  /* Not answering: a banner on top, everything greyed and not to be pressed. */
  #status { font-size: 0.95em; min-height: 0; }
  #status:not(:empty) { margin-bottom: 10px; padding: 10px; border-radius: 6px; background: #5a2a2a; color: #fff; }
  body.offline .name, body.offline .score { color: #707070; }
  body.offline #view { opacity: 0.35; }
  button:disabled { background: #3a3a3a; color: #707070; border-color: #3a3a3a; }
  #view { margin-bottom: 12px; overflow: hidden; background: #101010; border-radius: 4px; }
  #overlay { display: block; border: 0; background: transparent; }
  #pick { display: flex; gap: 12px; }
  #pick input { flex: 1; min-width: 0; font-size: 1.1em; padding: 8px; margin-top: 12px; border-radius: 6px; border: 0; }
</style>
</head>
<body class="offline">
<div id="status" role="alert">Reaching the program...</div>
<div id="notice" role="status" hidden></div>
<div id="view" hidden><iframe id="overlay" title="the table as the stream shows it"></iframe></div>
<div class="apart">
  <button id="swap" data-action="swap" data-again="tap again to swap" disabled>swap sides</button>
  <button id="reset" data-action="score-reset" data-again="tap again to reset" disabled>reset both scores</button>
</div>
<div class="players">
  <div class="player">
    <div class="name" id="name1"></div>
    <div class="score" id="score1">-</div>
    <button id="up1" data-action="score-up" data-player="1" disabled>+</button>
    <button id="down1" class="minus" data-action="score-down" data-player="1" disabled>&minus;</button>
    <button id="portrait1" class="other" data-action="portrait-next" data-player="1" disabled>next portrait</button>
  </div>
  <div class="player">
    <div class="name" id="name2"></div>
    <div class="score" id="score2">-</div>
    <button id="up2" data-action="score-up" data-player="2" disabled>+</button>
    <button id="down2" class="minus" data-action="score-down" data-player="2" disabled>&minus;</button>
    <button id="portrait2" class="other" data-action="portrait-next" data-player="2" disabled>next portrait</button>
  </div>
</div>
<datalist id="roster"></datalist>
<div id="day" hidden>
  <h2>The day's matches</h2>
  <div id="now"></div>
  <button id="next" data-action="next" data-again="tap again: result kept, next match" disabled>next match</button>
  <div id="matches"></div>
</div>
<div id="pick">
  <input id="pick1" data-player="1" list="roster" placeholder="player 1: a name" aria-label="player 1's name" disabled>
  <input id="pick2" data-player="2" list="roster" placeholder="player 2: a name" aria-label="player 2's name" disabled>
</div>
<script>
"use strict";
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
let delay = 250;
function listen() {
  const socket = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host +
                               withToken("/api/events"));
  socket.onopen = () => { delay = 250; };
  socket.onmessage = (event) => show(JSON.parse(event.data));
  socket.onclose = () => {
    setOnline(false);
    setTimeout(listen, delay);
    delay = Math.min(delay * 2, 4000);
    refresh();
  };
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
    const named = (m) => m.player1 + " \u2013 " + m.player2;
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
      button.textContent = m.index + ". " + m.player1 + " \u2013 " + m.player2 + result +
                           (m.round ? "  \u00b7 " + m.round : "") + (m.time ? "  \u00b7 " + m.time : "");
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

for (const button of document.querySelectorAll("button[data-action]")) wire(button);
// Whenever the page's width changes: a turned phone, a scroll bar come or gone.
new ResizeObserver(fitOverlay).observe(document.getElementById("view"));
listen();
loadRoster();
</script>
</body>
</html>
)html";

}  // namespace quorvel::remote
