// The pages for the breaks, for a streaming program's browser source: /scene/upnext (the
// current match large, or the next one once it has its result, then the ones after it,
// ?count=N of them, 3 unless given) and /scene/results (the day's played matches, newest
// first, the winner marked). One page serves both, told apart by its address. It reads the
// same socket as the overlay (/overlay/socket): the schedule its messages carry, and the
// table's own controls for what the table shows of the match on it (the names, the flags,
// the colour bars) and for the table's fonts and colours. Like the overlay it is
// see-through, follows every change as it is pushed, reconnects by itself, takes ?scale
// (0.5 to 4) and hands ?token on to the socket and the pictures; without a schedule it
// shows nothing.
#include "remote/api.h"
#include "remote/pages.h"

namespace quorvel::remote {

const std::string kScenePage = pages::assemble("scene.html");

}  // namespace quorvel::remote
