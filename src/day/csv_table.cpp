#include "day/csv_table.h"

#include <algorithm>

#include "day/readers.h"
#include "ui/error.h"
#include "ui/text.h"

namespace quorvel::day {
namespace {

// "a, b and c"
std::string columnList(std::span<const std::string_view> columns) {
    std::string list;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) list += i + 1 == columns.size() ? " and " : ", ";
        list += columns[i];
    }
    return list;
}

}  // namespace

CsvTable::CsvTable(ui::Platform& platform, std::string path, std::span<const std::string_view> columns,
                   std::size_t required, std::span<const CsvAlias> aliases)
    : CsvTable(path, readText(platform, path), columns, required, aliases) {}

CsvTable::CsvTable(std::string path, std::string text, std::span<const std::string_view> columns,
                   std::size_t required, std::span<const CsvAlias> aliases)
    : path_(std::move(path)), text_(std::move(text)), lines_(ui::lineViews(text_)) {
    if (lines_.empty()) throw Error(path_ + ", line 1: the file has no header line naming its columns", path_, 1);
    readHeader(columns, required, aliases);
}

std::string csvLineMessage(const std::string& file, std::size_t line, const std::string& why, std::string_view value) {
    return file + ", line " + std::to_string(line) + ": " + why + " (the value \"" + std::string(value) + "\")";
}

void CsvTable::fail(const std::string& why, std::string_view value) const {
    throw Error(csvLineMessage(path_, line_, why, value), path_, line_);
}

const std::string& CsvTable::field(std::size_t column) const {
    const int at = columns_[column];
    return at >= 0 && static_cast<std::size_t>(at) < count_ ? fields_[static_cast<std::size_t>(at)] : empty_;
}

bool CsvTable::next() {
    while (line_ < lines_.size()) {
        ++line_;
        split(lines_[line_ - 1]);
        for (std::size_t f = 0; f < count_; ++f)
            if (!fields_[f].empty()) return true;
    }
    return false;
}

// The fields of `line`, separated by the header's separator. A quoted field keeps what
// stands after its closing quote before the next separator; every field loses the blanks
// around it, inside the quotes too.
void CsvTable::split(std::string_view line) {
    count_ = 0;
    std::size_t i = 0;
    for (;;) {
        if (count_ == fields_.size()) fields_.emplace_back();
        std::string& field = fields_[count_++];
        field.clear();
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i < line.size() && line[i] == '"') {
            bool closed = false;
            for (++i; i < line.size(); ++i) {
                if (line[i] != '"') {
                    field += line[i];
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    closed = true;
                    ++i;
                    break;
                }
            }
            if (!closed) fail("a field's quote is not closed", line);
            const std::size_t end = std::min(line.find(separator_, i), line.size());
            field += line.substr(i, end - i);
            const std::string_view kept = ui::trimmed(field);
            field.erase(static_cast<std::size_t>(kept.data() + kept.size() - field.data()));
            field.erase(0, static_cast<std::size_t>(kept.data() - field.data()));
            i = end;
        } else {
            const std::size_t end = std::min(line.find(separator_, i), line.size());
            field.assign(ui::trimmed(line.substr(i, end - i)));
            i = end;
        }
        if (i >= line.size()) return;
        ++i;  // the separator
    }
}

void CsvTable::readHeader(std::span<const std::string_view> columns, std::size_t required,
                          std::span<const CsvAlias> aliases) {
    const std::string_view header = lines_[0];
    bool quoted = false;
    for (char c : header) {
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == ',' || c == ';')) {
            separator_ = c;
            break;
        }
    }
    split(header);
    columns_.assign(columns.size(), -1);
    for (std::size_t i = 0; i < count_; ++i) {
        std::string name = ui::foldCase(ui::trimmed(fields_[i]));
        for (const CsvAlias& alias : aliases)
            if (name == alias.name) name = columns[alias.column];
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (name != columns[c]) continue;
            if (columns_[c] >= 0) fail("the column is named twice", fields_[i]);
            columns_[c] = static_cast<int>(i);
        }
    }
    for (std::size_t c = 0; c < required; ++c) {
        if (columns_[c] < 0)
            fail("the header line names no column \"" + std::string(columns[c]) + "\" (the columns are " +
                     columnList(columns) + ")",
                 header);
    }
    count_ = 0;
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",;\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c == '\r' || c == '\n' ? ' ' : c;  // a row is one line
    }
    out += '"';
    return out;
}

}  // namespace quorvel::day
