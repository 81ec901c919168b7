// ODBC connect strings: items "key=value" separated by ";", a value may stand in braces.
#pragma once

#include "CString.h"
#include "Exceptions.h"

#include <optional>
#include <utility>
#include <vector>

using ConnectItems = std::vector<std::pair<CString, CString>>;

ConnectItems ParseConnectString(const CString& connect);
// The value as it can stand in a connect string: a ";" would end it and a "{" at its start would
// open braces that swallow the items after it, so such a value goes in braces, "}" doubled.
CString ConnectValue(const CString& value);
CString JoinConnectString(const ConnectItems& items);

// The value of the first item with this key (keys compare as ODBC compares them, letter case
// ignored); nothing when no item has it.
std::optional<CString> ItemValue(const ConnectItems& items, const CString& key);

// The connect string with a "FILEDSN=" item replaced by the items of that file's [ODBC]
// section, as the driver manager would read them: on Windows by the profile functions, elsewhere by
// ParseFileDsn. Items of the connect string itself win. Raises CDBException when the file is
// missing or unreadable, and never creates it; CFileDsnRefused for a file RefuseFileDsn refuses.
// A string without FILEDSN comes back unchanged.
CString ExpandFileDsn(const CString& connect);

// The items of a file DSN's bytes as the Windows profile functions read them, which the driver
// manager reads file DSNs with: UTF-16 after its byte-order mark, any other bytes in the ANSI code
// page (1252, as on Swedish Windows); lines end at CR or LF; only the first [ODBC] section counts;
// a key's value is that of its first line, empty for a line without "=", up to a zero character,
// without one pair of quotes around it; each key that has a line with "=" comes once, comments
// (";") none, and a line "=value" ends the keys.
ConnectItems ParseFileDsn(const std::vector<unsigned char>& bytes);

// Why the tool does not use a file DSN although Windows reads one: what Windows reads there is not
// what the file shows, or differs between Windows versions, or cannot be passed on to a driver.
struct FileDsnRefusal {
    enum class Kind {
        ByteOrderMark,     // UTF-8's or big-endian UTF-16's mark, read as text by some versions
        HiddenValue,       // a line of the key without "=" makes a later line's value read as empty
        LineWithoutKey,    // a line "=value": the list of the section's keys ends there
        KeyWithSemicolon,  // in a connect string the key would end at the ";"
    };
    Kind kind;
    CString key;  // the key of HiddenValue and KeyWithSemicolon
};
std::optional<FileDsnRefusal> RefuseFileDsn(const std::vector<unsigned char>& bytes);

// Raised by ExpandFileDsn for a file DSN it refuses.
class CFileDsnRefused : public CException {
public:
    CFileDsnRefused(CString path, FileDsnRefusal refusal) : m_path(std::move(path)), m_refusal(std::move(refusal)) {}
    CString GetErrorMessage() const override;
    const CString& Path() const { return m_path; }
    const FileDsnRefusal& Refusal() const { return m_refusal; }

private:
    CString m_path;
    FileDsnRefusal m_refusal;
};

// The name of the driver the DRIVER item names, out of its braces; empty without one.
CString DriverName(const CString& connect);

// Longest DRIVER or DSN name passed on: unixODBC overruns a buffer past 1000 bytes, and a
// Windows driver's name is a registry key of at most 255 characters.
inline constexpr int kMaxNameLength = 255;

// Raises CDBException for a connect string that names an empty driver, which a driver manager
// would take for its default driver, or a driver or data source name over kMaxNameLength.
void RefuseUnusableNames(const CString& connect);
