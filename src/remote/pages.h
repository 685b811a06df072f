#pragma once
// The remote's web pages, from the files of src/remote/pages that the build makes part of
// the program (remote/page_files.h). A page's markup (NAME.html) names on lines of their
// own the files that go into it: {{NAME.css}} in its <style>, and in its <script> first
// {{feed.js}}, the script shared by every page that follows a socket: follow(address,
// apply, lost) connects to the WebSocket at `address` on the page's own host, hands each
// message to apply, and when the connection ends calls lost and connects again after
// 250 ms, twice as long after each failure, at most 4 s. The overlay and the scenes then
// take {{stream_query.js}}: the page's query, its ?scale (0.5 to 4, else 1) and ?token.
#include <string>
#include <string_view>

namespace quorvel::remote::pages {

// The page whose markup is the file `html`, each {{NAME}} line in it replaced by the
// file NAME. Throws quorvel::Error naming a file there is none of.
std::string assemble(std::string_view html);

}  // namespace quorvel::remote::pages
