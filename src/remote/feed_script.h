#pragma once
// The start of the script of the pages that follow the table's socket, the overlay and the
// scenes: the page's query, its ?scale (0.5 to 4, else 1), its ?token, and
// follow(apply, lost), which connects to /overlay/socket with the page's own query, hands
// each message to apply, and when the connection ends calls lost and connects again after
// 250 ms, twice as long after each failure, at most 4 s.
namespace quorvel::remote {

inline constexpr const char* kFeedScript = R"js(
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
)js";

}  // namespace quorvel::remote
