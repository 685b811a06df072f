#include "day/release.h"

namespace quorvel::day {

int optionsGroupLength(Release release) {
    switch (release) {
        case Release::R099: return 13;
        case Release::R097Transparent:
        case Release::R097Window: return 11;
        case Release::R094Window: return 9;
    }
    return 13;
}

std::string productTitle(Release release) {
    switch (release) {
        case Release::R099: return "Quorvel 0.99";
        case Release::R097Transparent:
        case Release::R097Window: return "Quorvel 0.97";
        case Release::R094Window: return "Quorvel 0.94";
    }
    return "Quorvel";
}

std::string versionLabel(Release release) {
    switch (release) {
        case Release::R099: return "v 0.9.9";
        case Release::R097Transparent:
        case Release::R097Window: return "v 0.9.7";
        case Release::R094Window: return "v 0.9.4";
    }
    return "";
}

ui::BorderStyle Features::fixedFrame() const {
    switch (release_) {
        case Release::R097Transparent: return ui::BorderStyle::None;
        case Release::R097Window: return ui::BorderStyle::FixedSingle;
        case Release::R094Window: return ui::BorderStyle::FixedDialog;
        case Release::R099: break;
    }
    return ui::BorderStyle::FixedSingle;
}

}  // namespace quorvel::day
