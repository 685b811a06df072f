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
#include "remote/pages.h"

namespace quorvel::remote {

const std::string kControlPage = pages::assemble("control.html");

}  // namespace quorvel::remote
