// The columns of Varnik_tqsys's two tables as the migration fills them and the verification
// reads them back, and what a value must be to go into its column unchanged.
#pragma once

#include "platform/CString.h"

#include <array>
#include <optional>

struct SystemColumn {
    const char16_t* name;
    int room;  // characters a char(n) column holds; 0 for an int column
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
                                                                 {u"Nyckel", 64},
                                                                 {u"Password", 64},
                                                                 {u"Sokvag", 255}}};
inline constexpr size_t kLicensnrColumn = 2;

// The parameter row is read by the same text from the old system database and, after the
// migration, from Varnik_tqsys. Its companies are read back without the char padding, which is
// most of each row.
inline constexpr const char16_t* kReadBackCompanies = u"select Nummer, RTRIM(Namn), RTRIM(FileDSN) from TQ_FORETAG";
inline constexpr const char16_t* kSelectParameters =
    u"select Kontrollsumma, Licensagare, Licensnr, Major, Max_foretag, Max_lontagare, Minor, MultiplaPerioder, "
    u"Nyckel, Password, Sokvag from TQ_PARAMETRAR";

// The number a text holds when it is a whole number in int range: blanks around it, an optional
// sign, digits. Nothing for anything else, the empty text included.
std::optional<int> WholeNumber(const CString& text);

// The number an int column stores for a text: as above, but a blank text is 0, as SQL Server
// stores it.
std::optional<int> IntColumnValue(const CString& text);

// The text without the trailing blanks that SQL Server neither counts nor compares.
CString WithoutTrailingBlanks(const CString& text);

// Why the value cannot go into its column as it is: a character that code page 1252 (the
// columns' collation) cannot hold, which the server would store as '?', or more characters than
// a char column has room for, which a server with ANSI_WARNINGS OFF cuts without a word.
std::optional<CString> ValueRefusal(const SystemColumn& column, const CString& value);
