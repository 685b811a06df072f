#pragma once
// The operator's tables (Players.csv, Matches.csv) and the program's own Results.csv, read
// by one set of rules: a header line names the columns, in any order and case; the
// separator is the header's first comma or semicolon outside quotes; a field in double
// quotes may hold separators, and a doubled quote inside it stands for one; the blanks
// around a field are dropped; a row of empty fields (a spreadsheet's empty row) is passed
// over. Text is read as readText does (UTF-8 with or without its mark, else ANSI).
// Fields lose the blanks around them, inside the quotes too.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/platform.h"

namespace quorvel::day {

// Another name a header may give a column: `name` (folded) for the column `column`.
struct CsvAlias {
    std::string_view name;
    std::size_t column;
};

class CsvTable {
public:
    // Reads the file at `path` and its header. `columns` are the names of the columns the
    // table knows, folded to small letters; the first `required` of them must be in the
    // header. Throws quorvel::Error naming the file, the line and the value when the header
    // breaks the rules.
    CsvTable(ui::Platform& platform, std::string path, std::span<const std::string_view> columns,
             std::size_t required, std::span<const CsvAlias> aliases = {});
    // The same over text already read.
    CsvTable(std::string path, std::string text, std::span<const std::string_view> columns, std::size_t required,
             std::span<const CsvAlias> aliases = {});

    // Moves to the next row that is not empty; false after the last. Throws as fail() on a
    // quote that is not closed.
    bool next();
    // The field of column `column` (an index into `columns`) on the current row; "" when
    // the header lacks the column or the row ends before it.
    const std::string& field(std::size_t column) const;
    // The current row's line number (1 for the header), and its text as the file has it.
    std::size_t line() const { return line_; }
    std::string_view lineText() const { return lines_[line_ - 1]; }
    const std::string& path() const { return path_; }
    // The separator the header uses, ',' or ';'.
    char separator() const { return separator_; }
    // Whether the header names column `column`.
    bool hasColumn(std::size_t column) const { return columns_[column] >= 0; }
    // Lines in the file, the header's among them: a bound on the rows.
    std::size_t lineCount() const { return lines_.size(); }

    // Throws quorvel::Error: "<file>, line <n>: <why> (the value "<value>")".
    [[noreturn]] void fail(const std::string& why, std::string_view value) const;

private:
    void readHeader(std::span<const std::string_view> columns, std::size_t required,
                    std::span<const CsvAlias> aliases);
    void split(std::string_view line);

    std::string path_;
    std::string text_;
    std::vector<std::string_view> lines_;
    char separator_ = ',';
    std::vector<int> columns_;  // the field of each known column, -1 for none
    std::size_t line_ = 1;
    std::vector<std::string> fields_;  // the first count_ are the row's; storage kept
    std::size_t count_ = 0;
    std::string empty_;
};

// "<file>, line <n>: <why> (the value "<value>")", as every refusal of a table reads.
std::string csvLineMessage(const std::string& file, std::size_t line, const std::string& why, std::string_view value);

// A field written so that CsvTable reads it back as it is: in quotes, its quotes doubled,
// when it holds a separator or a quote. A line break, which no field may hold, becomes a
// blank. (Blanks at either end are not kept: the reader drops them.)
std::string csvField(std::string_view text);

}  // namespace quorvel::day
