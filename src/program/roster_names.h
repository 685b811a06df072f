#pragma once
// The roster's names as the source of a name box's suggestions: read through the
// application at each keystroke, so a roster read again at the start dialog's next load
// is the one offered.
#include <string>

#include "program/program.h"
#include "ui/suggestion_list.h"

namespace quorvel::program {

inline ui::SuggestionList::Source rosterNames(Program& program) {
    return {[&program] { return program.roster().players().size(); },
            [&program](std::size_t i) -> const std::string& { return program.roster().players()[i].name; },
            [&program](std::size_t i) -> const std::string& { return program.roster().foldedNames()[i]; }};
}

}  // namespace quorvel::program
