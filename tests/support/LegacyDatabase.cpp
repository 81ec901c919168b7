#include "LegacyDatabase.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>
#include <sstream>

namespace legacy {

namespace {

constexpr char kNull[] = "\\N";

// Each character a value cannot hold as it stands, and the letter that stands for it after a backslash.
constexpr std::pair<char, char> kEscapes[] = {{'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}, {'\0', '0'}, {'\\', '\\'}};

std::optional<std::string> Unescape(const std::string& text, std::string& error) {
    std::string value;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            value += text[i];
            continue;
        }
        const char letter = ++i < text.size() ? text[i] : '\0';
        const auto* escape =
            std::find_if(std::begin(kEscapes), std::end(kEscapes), [&](const auto& e) { return e.second == letter; });
        if (escape == std::end(kEscapes)) {
            error = "a value holds an unknown escape";
            return std::nullopt;
        }
        value += escape->first;
    }
    return value;
}

std::string Escape(const std::string& value) {
    std::string text;
    for (const char c : value) {
        const auto* escape =
            std::find_if(std::begin(kEscapes), std::end(kEscapes), [&](const auto& e) { return e.first == c; });
        if (escape == std::end(kEscapes))
            text += c;
        else
            text += std::string("\\") + escape->second;
    }
    return text;
}

bool ReadColumn(std::istringstream& words, Table& table, std::string& error) {
    Column column;
    std::string type;
    words >> column.name >> type;
    if (type == "char") {
        column.type = ColumnType::Char;
        if (!(words >> column.size) || column.size == 0) {
            error = "column " + column.name + " has no size";
            return false;
        }
    } else if (type != "integer") {
        error = "column " + column.name + " has an unknown type '" + type + "'";
        return false;
    }
    table.columns.push_back(column);
    return true;
}

bool ReadRow(const std::string& rest, Table& table, std::string& error) {
    std::vector<Cell> row;
    for (const auto& field : Split(rest, '\t')) {
        if (field == kNull) {
            row.emplace_back();
            continue;
        }
        auto value = Unescape(field, error);
        if (!value)
            return false;
        row.emplace_back(std::move(value));
    }
    if (row.size() != table.columns.size()) {
        error = "a row of " + table.name + " has " + std::to_string(row.size()) + " values for " +
                std::to_string(table.columns.size()) + " columns";
        return false;
    }
    table.rows.push_back(std::move(row));
    return true;
}

}  // namespace

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t pos = 0;
    for (;;) {
        const size_t end = text.find(separator, pos);
        parts.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            return parts;
        pos = end + 1;
    }
}

std::vector<Table> OldSystem(const Rows& companies, const Rows& parameters) {
    const auto integer = [](const char* name) { return Column{name, ColumnType::Integer, 0}; };
    const auto text = [](const char* name, size_t size) { return Column{name, ColumnType::Char, size}; };
    return {
        {"TQ_FORETAG", {integer("Nummer"), text("Namn", 128), text("FileDSN", 255)}, companies},
        {"TQ_PARAMETRAR",
         {integer("Licensnr"), text("Licensagare", 255), integer("Max_lontagare"), integer("Max_foretag"),
          integer("Kontrollsumma"), text("Nyckel", 64), integer("Major"), integer("Minor"), text("Sokvag", 255),
          text("Password", 64), integer("MultiplaPerioder")},
         parameters},
    };
}

std::vector<Table> SiteOldSystem() {
    return OldSystem(
        {{"1", "Acme AB", "tq0001.dsn"}, {"7", "Bj\xF6rk & S\xF6ner  ", "tq0007.dsn"}, {"12", "O'Brien & Co", ""}},
        {{"4711", "Varnik Demo AB", "1000", "50", "99", "NYCKEL-1", "3", "2", "C:\\Varnik", "pw", "1"}});
}

std::optional<std::vector<Table>> ReadDatabase(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read '" + path + "'";
        return std::nullopt;
    }
    std::vector<Table> tables;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t space = line.find(' ');
        const std::string keyword = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (keyword.empty() || keyword[0] == '#')
            continue;
        if (keyword == "table") {
            tables.push_back(Table{rest, {}, {}});
            continue;
        }
        if (tables.empty()) {
            error = "'" + keyword + "' before the first table";
            return std::nullopt;
        }
        std::istringstream words(rest);
        const bool read = keyword == "column" ? ReadColumn(words, tables.back(), error)
                          : keyword == "row"  ? ReadRow(rest, tables.back(), error)
                                              : (error = "unknown line '" + keyword + "'", false);
        if (!read)
            return std::nullopt;
    }
    return tables;
}

std::string DatabaseText(const std::vector<Table>& tables) {
    std::string text;
    for (const auto& table : tables) {
        text += "table " + table.name + "\n";
        for (const auto& column : table.columns)
            text += "column " + column.name +
                    (column.type == ColumnType::Char ? " char " + std::to_string(column.size) : " integer") + "\n";
        for (const auto& row : table.rows) {
            text += "row ";
            for (size_t i = 0; i < row.size(); ++i)
                text += (i ? "\t" : "") + (row[i] ? Escape(*row[i]) : std::string(kNull));
            text += "\n";
        }
    }
    return text;
}

}  // namespace legacy
