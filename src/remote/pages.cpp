#include "remote/pages.h"

#include "remote/page_files.h"
#include "ui/error.h"

namespace quorvel::remote::pages {
namespace {

std::string_view file(std::string_view name) {
    for (std::size_t i = 0; i < kPageFileCount; ++i)
        if (kPageFiles[i].name == name) return kPageFiles[i].bytes;
    throw Error("the remote's pages have no file " + std::string(name));
}

}  // namespace

std::string assemble(std::string_view html) {
    const std::string_view markup = file(html);
    std::string page;
    std::size_t at = 0;
    for (std::size_t open; (open = markup.find("{{", at)) != std::string_view::npos;) {
        const std::size_t close = markup.find("}}\n", open);
        if (close == std::string_view::npos) throw Error(std::string(html) + ": a {{ without its }}");
        page.append(markup.substr(at, open - at)).append(file(markup.substr(open + 2, close - open - 2)));
        at = close + 3;
    }
    return page.append(markup.substr(at));
}

}  // namespace quorvel::remote::pages
