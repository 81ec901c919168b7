#include "SystemTables.h"

#include "CodePage1252.h"

#include "app/LogFormats.h"

#include <algorithm>
#include <climits>

namespace {

CString Upper(const CString& text) {
    return CString(text).MakeUpper();
}

SystemLayout::Table* TableNamed(SystemLayout& layout, const CString& name) {
    if (Upper(name) == CString(kCompanyTable))
        return &layout.companies;
    if (Upper(name) == CString(kParameterTable))
        return &layout.parameters;
    return nullptr;
}

std::optional<bool> UniqueIndex(CDatabase& database, const char16_t* table) {
    const auto rows = QueryRows(
        database,
        CString::Format(u"select is_unique from sys.indexes where name = 'PrimaryKey' and object_id = OBJECT_ID('%s')",
                        {CString(table)}));
    if (rows.empty() || rows.front().empty())
        return std::nullopt;
    return rows.front()[0].value_or(CString()) == CString(u"1");
}

// The statements a table and its index need; `blocked` names an index that is there but not unique.
void AddMissing(const SystemLayout::Table& table, const char16_t* name, const char16_t* createTable,
                const char16_t* createIndex, std::vector<const char16_t*>& statements, CString& blocked) {
    if (!table.present)
        statements.push_back(createTable);
    if (!table.uniqueIndex)
        statements.push_back(createIndex);
    else if (!*table.uniqueIndex && blocked.IsEmpty())
        blocked = CString::Format(logfmt::kIndexNotUnique, {CString(name)});
}

// The longest start of the secret that stands in the text at `at`.
int SecretPrefixAt(const CString& text, int at, const CString& secret) {
    int length = 0;
    while (length < secret.GetLength() && at + length < text.GetLength() && text[at + length] == secret[length])
        ++length;
    return length;
}

// Marks where the secret stands whole in the text, and each quoted start of it: a quote, the
// longest start of the secret that a quote follows, that quote (quotes inside the secret count).
void MarkSecret(const CString& text, const CString& secret, std::vector<bool>& hidden) {
    const auto mark = [&hidden](int from, int length) { std::fill_n(hidden.begin() + from, length, true); };
    for (int at = text.Find(secret); at >= 0; at = text.Find(secret, at + 1))
        mark(at, secret.GetLength());
    for (int quote = text.Find(u'\''); quote >= 0; quote = text.Find(u'\'', quote + 1))
        for (int length = SecretPrefixAt(text, quote + 1, secret); length > 0; --length)
            if (quote + 1 + length < text.GetLength() && text[quote + 1 + length] == u'\'') {
                mark(quote + 1, length);
                break;
            }
}

}  // namespace

int SystemLayout::Room(const Table& table, const SystemColumn& column) {
    const auto found = table.room.find(Upper(column.name).Str());
    return found == table.room.end() ? column.room : found->second;
}

SystemLayout ReadSystemLayout(CDatabase& database) {
    SystemLayout layout;
    const auto columns = QueryRows(database,
                                   u"select TABLE_NAME, COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH from "
                                   u"INFORMATION_SCHEMA.COLUMNS where TABLE_NAME in ('TQ_FORETAG', "
                                   u"'TQ_PARAMETRAR')");
    for (const Row& column : columns) {
        SystemLayout::Table* table = column.size() == 3 ? TableNamed(layout, column[0].value_or(CString())) : nullptr;
        if (!table)
            continue;
        table->present = true;
        // A (max) column reads -1: it holds any value.
        if (const auto room = column[2] ? WholeNumber(*column[2]) : std::nullopt)
            table->room[Upper(column[1].value_or(CString())).Str()] = *room < 0 ? INT_MAX : *room;
    }
    layout.companies.uniqueIndex = UniqueIndex(database, kCompanyTable);
    layout.parameters.uniqueIndex = UniqueIndex(database, kParameterTable);
    return layout;
}

std::vector<const char16_t*> MissingCreationStatements(const SystemLayout& layout, CString& blocked) {
    std::vector<const char16_t*> statements;
    AddMissing(layout.companies, kCompanyTable, kCreateCompanyTable, kCreateCompanyIndex, statements, blocked);
    AddMissing(layout.parameters, kParameterTable, kCreateParameterTable, kCreateParameterIndex, statements, blocked);
    return statements;
}

std::optional<int> WholeNumber(const CString& text) {
    const CString trimmed = CString(text).Trim();
    const bool negative = trimmed.GetLength() > 0 && trimmed[0] == u'-';
    int pos = negative || (trimmed.GetLength() > 0 && trimmed[0] == u'+') ? 1 : 0;
    if (pos == trimmed.GetLength())
        return std::nullopt;
    long long value = 0;
    for (; pos < trimmed.GetLength(); ++pos) {
        const char16_t ch = trimmed[pos];
        if (ch < u'0' || ch > u'9')
            return std::nullopt;
        value = value * 10 + (ch - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

namespace {

// What msvcrt's _wtoi skips before a number: the space characters of Unicode.
bool IsRuntimeSpace(char16_t ch) {
    return (ch >= u'\t' && ch <= u'\r') || ch == u' ' || ch == u'\u00A0' || ch == u'\u1680' ||
           (ch >= u'\u2000' && ch <= u'\u200A') || ch == u'\u2028' || ch == u'\u2029' || ch == u'\u202F' ||
           ch == u'\u205F' || ch == u'\u3000';
}

// The digit msvcrt's _wtoi reads a character as: ASCII's and those of the scripts whose ten digits
// it knows (Arabic-Indic to Mongolian, and the full-width ones); -1 for any other.
int RuntimeDigit(char16_t ch) {
    static constexpr char16_t kZeros[] = {u'0',      u'\u0660', u'\u06F0', u'\u0966', u'\u09E6', u'\u0A66',
                                          u'\u0AE6', u'\u0B66', u'\u0C66', u'\u0CE6', u'\u0D66', u'\u0E50',
                                          u'\u0ED0', u'\u0F20', u'\u1040', u'\u17E0', u'\u1810', u'\uFF10'};
    for (const char16_t zero : kZeros)
        if (ch >= zero && ch <= zero + 9)
            return ch - zero;
    return -1;
}

}  // namespace

int DsnFileNumber(const CString& text) {
    int pos = 0;
    const int length = text.GetLength();
    while (pos < length && IsRuntimeSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < length && (text[pos] == u'+' || text[pos] == u'-'))
        negative = text[pos++] == u'-';
    long long value = 0;
    for (; pos < length && RuntimeDigit(text[pos]) >= 0; ++pos)
        value = std::min(value * 10 + RuntimeDigit(text[pos]), static_cast<long long>(INT_MAX) + 1);
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::optional<int> IntColumnValue(const CString& text) {
    return CString(text).Trim().IsEmpty() ? std::optional<int>(0) : WholeNumber(text);
}

CString WithoutTrailingBlanks(const CString& text) {
    int end = text.GetLength();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.Left(end);
}

CString WithoutZeroPadding(const CString& text) {
    int end = text.GetLength();
    bool zero = false;
    for (; end > 0 && (text[end - 1] == u'\0' || text[end - 1] == u' '); --end)
        zero = zero || text[end - 1] == u'\0';
    return zero ? text.Left(end) : text;
}

std::optional<CString> ValueRefusal(const SystemColumn& column, const CString& value, int room) {
    const CString name(column.name);
    if (value.Find(u'\0') >= 0)
        return CString::Format(logfmt::kZeroInside, {name});
    if (const auto codePoint = FirstCharacterOutside1252(value))
        return column.secret ? CString::Format(logfmt::kSecretNotIn1252, {name})
                             : CString::Format(logfmt::kNotIn1252, {CodePointName(*codePoint)});
    const int length = WithoutTrailingBlanks(value).GetLength();
    if (!column.IsInt() && length > room)
        return column.secret ? CString::Format(logfmt::kSecretTooLong, {name, room})
                             : CString::Format(logfmt::kTooLong, {name, length, room});
    return std::nullopt;
}

std::optional<CString> ValueRefusal(const SystemColumn& column, const CString& value) {
    return ValueRefusal(column, value, column.room);
}

std::optional<CString> RowRefusal(std::span<const SystemColumn> columns, const SystemLayout::Table& table,
                                  const Row& values) {
    for (size_t column = 0; column < columns.size() && column < values.size(); ++column)
        if (values[column])
            if (auto refusal =
                    ValueRefusal(columns[column], *values[column], SystemLayout::Room(table, columns[column])))
                return refusal;
    return std::nullopt;
}

std::optional<CString> CompanyRefusal(const SystemLayout::Table& table, const Row& company) {
    if (company.empty() || !WholeNumber(company[0].value_or(CString())))
        return CString(logfmt::kNoValidNumber);
    return RowRefusal(kCompanyColumns, table, company);
}

// A server quotes a value it refuses, or the part of it that fits a column (error 2628). Every
// secret is looked for in the text as it came, and all are masked at once: masked one after the
// other, the mask of one would break up another that holds it (Nyckel 2024 inside Password
// Tiger2024Stripe) and leave its pieces standing.
CString WithoutSecrets(const CString& text, const Row& parameters) {
    std::vector<bool> hidden(static_cast<size_t>(text.GetLength()), false);
    for (size_t column = 0; column < kParameterColumns.size() && column < parameters.size(); ++column) {
        const CString secret = WithoutTrailingBlanks(parameters[column].value_or(CString()));
        if (kParameterColumns[column].secret && !secret.IsEmpty())
            MarkSecret(text, secret, hidden);
    }
    std::u16string shown;
    for (size_t at = 0; at < hidden.size(); ++at) {
        if (!hidden[at])
            shown += text.Str()[at];
        else if (at == 0 || !hidden[at - 1])
            shown += logfmt::kMask;
    }
    return CString(std::move(shown));
}
