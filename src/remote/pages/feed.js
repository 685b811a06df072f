"use strict";
const query = new URLSearchParams(location.search);
const scale = (() => {
  const s = Number(query.get("scale") || 1);
  return s >= 0.5 && s <= 4 ? s : 1;
})();
const token = query.get("token");

function follow(apply, lost) {
  let delay = 250;
  (function connect() {
    const socket = new WebSocket((location.protocol === "https:" ? "wss" : "ws") + "://" + location.host +
                                 "/overlay/socket" + location.search);
    socket.onopen = () => { delay = 250; };
    socket.onmessage = (event) => apply(JSON.parse(event.data));
    socket.onclose = () => {
      lost();
      setTimeout(connect, delay);
      delay = Math.min(delay * 2, 4000);
    };
  })();
}
