#pragma once
// The remote's web pages, from the files of src/remote/pages that the build makes part of
// the program (remote/page_files.h). A page's markup (NAME.html) names on lines of their
// own the files that go into it: {{NAME.css}} in its <style>, and {{NAME.js}} in its
// <script>. The overlay and the scenes take first {{feed.js}}, the start of the script of
// the pages that follow the table's socket: the page's query, its ?scale (0.5 to 4, else
// 1), its ?token, and follow(apply, lost), which connects to /overlay/socket with the
// page's own query, hands each message to apply, and when the connection ends calls lost
// and connects again after 250 ms, twice as long after each failure, at most 4 s.
#include <string>
#include <string_view>

namespace quorvel::remote::pages {

// The page whose markup is the file `html`, each {{NAME}} line in it replaced by the
// file NAME. Throws quorvel::Error naming a file there is none of.
std::string assemble(std::string_view html);

}  // namespace quorvel::remote::pages
