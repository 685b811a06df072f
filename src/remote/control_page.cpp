// The control page at "/": the table as the stream shows it (the overlay page in a frame,
// scaled to the phone's width), then both names and scores with + and - buttons, a reset,
// and the next portrait of each player, for a co-caster's phone; below them a name field
// for each player that suggests the roster's names, and a button that swaps the sides. The names and scores
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
  body { font-family: sans-serif; margin: 0; padding: 12px; background: #202020; color: #f0f0f0; }
  .players { display: flex; gap: 12px; }
  .player { flex: 1; background: #303030; border-radius: 8px; padding: 12px; text-align: center; }
  .name { font-size: 1.2em; min-height: 1.4em; overflow-wrap: anywhere; }
  .score { font-size: 3em; font-weight: bold; margin: 8px 0; }
  button { font-size: 1.4em; padding: 12px 0; margin: 4px 0; width: 100%; border: 0; border-radius: 6px;
           background: #4a6fa5; color: #fff; }
  button.minus { background: #7a4a4a; }
  button.other { background: #555; font-size: 1em; }
  #reset { margin-top: 12px; background: #555; }
  #status { margin-top: 10px; font-size: 0.9em; color: #e0a0a0; min-height: 1.2em; }
  #view { margin-bottom: 12px; overflow: hidden; background: #101010; border-radius: 4px; }
  #overlay { display: block; border: 0; background: transparent; }
  #pick input { flex: 1; min-width: 0; font-size: 1.1em; padding: 8px; margin-top: 12px; border-radius: 6px; border: 0; }
</style>
</head>
<body>
<div id="view"><iframe id="overlay" title="the table as the stream shows it"></iframe></div>
<div class="players">
  <div class="player">
    <div class="name" id="name1"></div>
    <div class="score" id="score1">-</div>
    <button id="up1" data-action="score-up" data-player="1">+</button>
    <button id="down1" class="minus" data-action="score-down" data-player="1">&minus;</button>
    <button id="portrait1" class="other" data-action="portrait-next" data-player="1">next portrait</button>
  </div>
  <div class="player">
    <div class="name" id="name2"></div>
    <div class="score" id="score2">-</div>
    <button id="up2" data-action="score-up" data-player="2">+</button>
    <button id="down2" class="minus" data-action="score-down" data-player="2">&minus;</button>
    <button id="portrait2" class="other" data-action="portrait-next" data-player="2">next portrait</button>
  </div>
</div>
<button id="reset" data-action="score-reset">reset both scores</button>
<div class="players" id="pick">
  <input id="pick1" data-player="1" list="roster" placeholder="player 1: a name" aria-label="player 1's name">
  <input id="pick2" data-player="2" list="roster" placeholder="player 2: a name" aria-label="player 2's name">
</div>
<datalist id="roster"></datalist>
<button id="swap" class="other" data-action="swap">swap sides</button>
<div id="status"></div>
<script>
"use strict";
const token = new URLSearchParams(location.hash.slice(1)).get("token");

function headers(withBody) {
  const h = {};
  if (withBody) h["Content-Type"] = "application/json";
  if (token) h["Authorization"] = "Bearer " + token;
  return h;
}

function show(state) {
  document.getElementById("status").textContent = state.table_open ? "" : "The score table is not open.";
  for (const p of state.players) {
    document.getElementById("name" + p.player).textContent = p.name;
    document.getElementById("score" + p.player).textContent = p.score;
  }
}

async function answer(response) {
  const body = await response.json();
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
    document.getElementById("status").textContent =
        error instanceof TypeError ? "The program does not answer; trying again." : String(error.message || error);
  }
}

async function post(action, body) {
  try {
    show(await answer(await fetch("/api/action/" + action,
                                  { method: "POST", headers: headers(true), body: JSON.stringify(body) })));
  } catch (error) {
    document.getElementById("status").textContent = String(error.message || error);
  }
}

function act(button) {
  const body = {};
  if (button.dataset.player) body.player = Number(button.dataset.player);
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

// The overlay at the largest of its scales (0.5 to 4, in hundredths) that fits the width;
// 534 x 84 is the score table's size in pixels at scale 1, as the overlay page draws it.
let shownScale = 0;
function fitOverlay() {
  const view = document.getElementById("view");
  const scale = Math.min(4, Math.max(0.5, Math.floor(view.clientWidth / 534 * 100) / 100));
  if (scale === shownScale) return;
  shownScale = scale;
  const frame = document.getElementById("overlay");
  frame.width = Math.round(534 * scale);
  frame.height = Math.round(84 * scale);
  view.style.height = frame.height + "px";
  frame.src = withToken("/overlay?scale=" + scale);
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
    setTimeout(listen, delay);
    delay = Math.min(delay * 2, 4000);
    refresh();
  };
}

for (const button of document.querySelectorAll("button[data-action]"))
  button.addEventListener("click", () => act(button));
// Whenever the page's width changes: a turned phone, a scroll bar come or gone.
new ResizeObserver(fitOverlay).observe(document.getElementById("view"));
listen();
loadRoster();
</script>
</body>
</html>
)html";

}  // namespace quorvel::remote
