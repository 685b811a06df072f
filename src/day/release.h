#pragma once
// The release a program is built as. The four programs share every source; the release
// is fixed when each is built and passed to the application object.
#include <string>

namespace quorvel::day {

enum class Release { R099, R097Transparent, R097Window, R094Window };

// Lines per group of the settings file: 13 in release 0.99, 11 in 0.97, 9 in 0.94.
int optionsGroupLength(Release release);
// Releases before 0.99 have no series-caption shadow, no second colour bars and no frame
// setting.
inline bool isCurrent(Release release) { return release == Release::R099; }
inline bool readsNameFiles(Release release) { return release != Release::R094Window; }
// Release 0.94 has its own chords, its own re-enable timer and fewer gestures.
inline bool isOldest(Release release) { return release == Release::R094Window; }
// Either window variant of release 0.97.
inline bool is097(Release release) {
    return release == Release::R097Transparent || release == Release::R097Window;
}

// "Quorvel 0.99" and so on: window titles and message box titles.
std::string productTitle(Release release);
// "v 0.9.9" and so on: the start dialog's version label.
std::string versionLabel(Release release);

}  // namespace quorvel::day
