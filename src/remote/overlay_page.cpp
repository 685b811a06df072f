// The overlay page at "/overlay", for a streaming program's browser source: the score
// table drawn as its window draws it, from the descriptions that /overlay/socket pushes
// (the whole table when it connects, then only what changed; TableFeed). Every shown
// control at its place and size in the window's drawing order, in its colours and fonts,
// with its caption and picture; where the window is see-through (its key colour) the page
// is transparent. ?scale=S (0.5 to 4) draws it S times larger, text at the larger size and
// pictures scaled smoothly; ?token=TOKEN is handed on to the socket and the pictures. It
// needs nothing from outside the program, and reconnects by itself when the program
// starts again; while the table is closed, or the program away, it shows nothing.
#include "remote/api.h"
#include "remote/pages.h"

namespace quorvel::remote {

const std::string kOverlayPage = pages::assemble("overlay.html");

}  // namespace quorvel::remote
