// The columns of Varnik_tqsys's two tables as the migration fills them and the verification
// reads them back, the layout a Varnik_tqsys on a server really has, and what a value must be
// to go into its column whole.
#pragma once

#include "Verification.h"

#include "platform/CString.h"
#include "platform/QueryRows.h"

#include <array>
#include <map>
#include <optional>
#include <span>
#include <vector>

struct SystemColumn {
    const char16_t* name;
    int room;             // characters a char(n) column holds as this tool creates it; 0 for an int column
    bool secret = false;  // its value never reaches the log
    bool IsInt() const { return room == 0; }
};

inline constexpr std::array<SystemColumn, 3> kCompanyColumns{{{u"Nummer", 0}, {u"Namn", 128}, {u"FileDSN", 255}}};

// In the order of the parameter row's SELECT and INSERT.
inline constexpr std::array<SystemColumn, 11> kParameterColumns{{{u"Kontrollsumma", 0},
                                                                 {u"Licensagare", 255},
                                                                 {u"Licensnr", 0},
                                                                 {u"Major", 0},
                                                                 {u"Max_foretag", 0},
                                                                 {u"Max_lontagare", 0},
                                                                 {u"Minor", 0},
                                                                 {u"MultiplaPerioder", 0},
                                                                 {u"Nyckel", 64, true},
                                                                 {u"Password", 64, true},
                                                                 {u"Sokvag", 255}}};
inline constexpr size_t kLicensnrColumn = 2;

inline constexpr const char16_t* kCompanyTable = u"TQ_FORETAG";
inline constexpr const char16_t* kParameterTable = u"TQ_PARAMETRAR";

// The parameter row is read by the same text from the old system database and, after the
// migration, from Varnik_tqsys. Its companies are read back without the char padding, which is
// most of each row.
inline constexpr const char16_t* kReadBackCompanies = u"select Nummer, RTRIM(Namn), RTRIM(FileDSN) from TQ_FORETAG";
inline constexpr const char16_t* kSelectParameters =
    u"select Kontrollsumma, Licensagare, Licensnr, Major, Max_foretag, Max_lontagare, Minor, MultiplaPerioder, "
    u"Nyckel, Password, Sokvag from TQ_PARAMETRAR";

// The creation of each table and of its index, sent one by one.
inline constexpr const char16_t* kCreateCompanyTable =
    u"CREATE TABLE TQ_FORETAG(Nummer int NULL, Namn char(128) NULL, FileDSN char(255) NULL)";
inline constexpr const char16_t* kCreateCompanyIndex =
    u"CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_FORETAG(Nummer ASC)";
inline constexpr const char16_t* kCreateParameterTable =
    u"CREATE TABLE TQ_PARAMETRAR(Licensnr int NULL, Licensagare char(255) NULL, Max_lontagare int NULL, "
    u"Max_foretag int NULL, Kontrollsumma int NULL, Nyckel char(64), Major int NULL, Minor int NULL, "
    u"Sokvag char(255) NULL, Password char(64) NULL, MultiplaPerioder int NULL)";
inline constexpr const char16_t* kCreateParameterIndex =
    u"CREATE UNIQUE NONCLUSTERED INDEX[PrimaryKey] ON TQ_PARAMETRAR(Licensnr ASC)";

// What a Varnik_tqsys holds of the tables and indexes this tool creates, and the size of each of
// its text columns: a DBA may have made the database, or a run broken off while creating it.
struct SystemLayout {
    struct Table {
        bool present = false;
        std::optional<bool> uniqueIndex;     // the index PrimaryKey: nothing when it is missing
        std::map<std::u16string, int> room;  // text columns by upper-case name: characters they hold
    };
    Table companies;
    Table parameters;

    // The characters the column holds on this server, or as this tool creates it when unknown.
    static int Room(const Table& table, const SystemColumn& column);
};

// Reads the layout on a connection whose current database is Varnik_tqsys.
SystemLayout ReadSystemLayout(CDatabase& database);

// The creation statements that give a Varnik_tqsys what this layout lacks, in creation order;
// nothing when it lacks nothing. An index of the name PrimaryKey that is not unique cannot be
// mended by them: `blocked` then names it.
std::vector<const char16_t*> MissingCreationStatements(const SystemLayout& layout, CString& blocked);

// The number a text holds when it is a whole number in int range: blanks around it, an optional
// sign, digits. Nothing for anything else, the empty text included.
std::optional<int> WholeNumber(const CString& text);

// The number a company's DSN file is named by (tq%04d.dsn): read as msvcrt's _wtoi reads it,
// Unicode's spaces, a sign, then digits (ASCII's, full-width and those of other scripts) up to the
// first other character; 0 when no digit comes, and an out-of-range value saturates. The list may
// show any text as a number; this rule names a file for each.
int DsnFileNumber(const CString& text);

// The number an int column stores for a text: as above, but a blank text is 0, as SQL Server
// stores it.
std::optional<int> IntColumnValue(const CString& text);

// The text without the trailing blanks that SQL Server neither counts nor compares.
CString WithoutTrailingBlanks(const CString& text);

// The text without the zero characters some old drivers pad a char field with, and the blanks
// among them; a text whose end holds no zero stays as it is, trailing blanks included.
CString WithoutZeroPadding(const CString& text);

// Why the value cannot go into its column whole: a zero character inside it, which ends the
// statement's text there; a character that code page 1252 (the columns' collation) cannot hold,
// which the server would store as '?'; or more characters than the column's room, which a server
// with ANSI_WARNINGS OFF cuts without a word. A secret column's refusal shows none of its value,
// nor its length.
std::optional<CString> ValueRefusal(const SystemColumn& column, const CString& value, int room);
std::optional<CString> ValueRefusal(const SystemColumn& column, const CString& value);

// Why the row's values cannot go in whole, column by column, against the columns the server has;
// nothing when all fit.
std::optional<CString> RowRefusal(std::span<const SystemColumn> columns, const SystemLayout::Table& table,
                                  const Row& values);
// The same for a company, whose number must also be a whole number: an empty one would be stored
// as 0 and a wrong one refused by the server, neither naming it.
std::optional<CString> CompanyRefusal(const SystemLayout::Table& table, const Row& company);

// The old system database's parameter row, with the zero padding of its values dropped and a NULL
// field as NULL. The product reads one row: when the table holds none or more than one, or cannot
// be read, nothing, and `refusal` is the line that says so.
std::optional<Row> ReadOldParameters(CDatabase& oldSystem, Finding& refusal);

// The error text with every value of the secret columns, and every quoted start of one, masked;
// a run of masked characters becomes one mask, which tells nothing of their number.
CString WithoutSecrets(const CString& text, const Row& parameters);
