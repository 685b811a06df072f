"use strict";
function follow(address, apply, lost) {
  let delay = 250;
  (function connect() {
    const socket = new WebSocket((location.protocol === "https:" ? "wss" : "ws") + "://" + location.host + address);
    socket.onopen = () => { delay = 250; };
    socket.onmessage = (event) => apply(JSON.parse(event.data));
    socket.onclose = () => {
      lost();
      setTimeout(connect, delay);
      delay = Math.min(delay * 2, 4000);
    };
  })();
}
