// The old system database that the legacy test driver serves, kept in a text file of its own:
//
//   table TQ_FORETAG
//   column Nummer integer
//   column Namn char 128
//   row 1<TAB>Acme AB
//
// A row holds one value per column, separated by tabs; in a value "\t", "\n", "\r", "\\" and
// "\0" stand for a tab, line feed, carriage return, backslash and zero byte, and a value that is
// "\N" alone is NULL. Bytes are handed out as they stand, so the file holds the single-byte text
// of the site's Windows (code page 1252) or UTF-8, whichever a test wants the driver to deliver.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace legacy {

enum class ColumnType { Integer, Char };

struct Column {
    std::string name;
    ColumnType type = ColumnType::Integer;
    size_t size = 0;  // char(n): n
};

using Cell = std::optional<std::string>;

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::vector<std::vector<Cell>> rows;
};

// The parts of the text between the separators.
std::vector<std::string> Split(const std::string& text, char separator);

// The old system's two tables, typed as the product created them.
using Rows = std::vector<std::vector<Cell>>;
std::vector<Table> OldSystem(const Rows& companies, const Rows& parameters);

// The old system of the conversion tests (companies 1, 7 and 12, one parameter row) as an old
// Windows site keeps it: its text in code page 1252.
std::vector<Table> SiteOldSystem();

// The tables of the file, or none with the reason in `error`.
std::optional<std::vector<Table>> ReadDatabase(const std::string& path, std::string& error);

// The file's text for these tables.
std::string DatabaseText(const std::vector<Table>& tables);

}  // namespace legacy
