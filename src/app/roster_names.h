#pragma once
// The roster's names as the source of a name box's suggestions: read through the
// application at each keystroke, so a roster read again at the start dialog's next load
// is the one offered.
#include <string>

#include "app/app.h"
#include "ui/suggestion_list.h"

namespace quorvel::app {

inline ui::SuggestionList::Source rosterNames(App& app) {
    return {[&app] { return app.roster().players().size(); },
            [&app](std::size_t i) -> const std::string& { return app.roster().players()[i].name; },
            [&app](std::size_t i) -> const std::string& { return app.roster().foldedNames()[i]; }};
}

}  // namespace quorvel::app
