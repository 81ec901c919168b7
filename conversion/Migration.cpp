// Copies every listed company and the old parameter row into Varnik_tqsys, one insert each.
#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"
#include "conversion/CodePage1252.h"

#include <optional>

namespace {

constexpr short kParameterColumns = 11;

// A value as a quoted SQL literal; a quote inside it is doubled, so O'Brien keeps its name.
CString SqlLiteral(const CString& value) {
    CString escaped = value;
    escaped.Replace(u"'", u"''");
    return CString(u"'") + escaped + u"'";
}

CString SqlLiteralOrNull(const std::optional<CString>& value) {
    return value ? SqlLiteral(*value) : CString(u"NULL");
}

// Our own error text for a value that the char columns' code page 1252 cannot hold.
constexpr const char16_t* kNotIn1252 = u"Tecknet %s finns inte i teckentabell 1252 och kan inte lagras";

// Why the values cannot go in as they are: the server would store such a character as '?'.
std::optional<CString> UnstorableCharacter(const std::vector<CString>& values) {
    for (const auto& value : values)
        if (const auto codePoint = FirstCharacterOutside1252(value))
            return CString::Format(kNotIn1252, {CodePointName(*codePoint)});
    return std::nullopt;
}

// Sends the insert unless a value cannot be stored; the reason it did not go in, if any.
std::optional<CString> InsertFailure(CDatabase& db, const CString& insert, const std::vector<CString>& values) {
    if (auto unstorable = UnstorableCharacter(values))
        return unstorable;
    try {
        db.ExecuteSQL(insert);
    } catch (const CDBException& e) {
        return e.m_strError;
    }
    return std::nullopt;
}

CString TrimmedCell(const CListCtrl& list, int row, int column) {
    return list.GetItemText(row, column).Trim();
}

}  // namespace

bool CDaltrixDlg::MigrateSystemData() {
    bool result = true;
    AddLog(logfmt::kUpdatingSystemDb);
    m_serverDb.ExecuteSQL(u"USE [Varnik_tqsys]");

    for (int row = 0; row < m_companyList.GetItemCount(); ++row) {
        const CString number = TrimmedCell(m_companyList, row, 0);
        const CString name = TrimmedCell(m_companyList, row, 1);
        const CString fileDsn = TrimmedCell(m_companyList, row, 2);
        const CString insert = CString::Format(u"INSERT INTO TQ_FORETAG (Nummer, Namn, FileDSN) VALUES(%s,%s,%s)",
                                               {SqlLiteral(number), SqlLiteral(name), SqlLiteral(fileDsn)});
        if (const auto failure = InsertFailure(m_serverDb, insert, {number, name, fileDsn})) {
            AddLog(logfmt::kCannotInsertCompany, {number, name, fileDsn, *failure});
            result = false;
        }
    }

    AddLog(logfmt::kUpdatingParameters);
    // Empty texts when the old table has no row; a NULL field stays NULL.
    std::vector<std::optional<CString>> values(kParameterColumns, CString());
    CRecordset parameters(&m_sysDb);
    if (!parameters.Open(CRecordset::snapshot,
                         u"select Kontrollsumma, Licensagare, Licensnr, Major, Max_foretag, Max_lontagare, Minor, "
                         u"MultiplaPerioder, Nyckel, Password, Sokvag from TQ_PARAMETRAR",
                         0))
        ThrowDBException({{u"08003", u"Connection not open"}});
    if (!parameters.IsEOF()) {
        for (short column = 0; column < kParameterColumns; ++column) {
            CString value;
            const bool present = parameters.GetFieldValueOrNull(column, value);
            values[static_cast<size_t>(column)] = present ? std::optional<CString>(value) : std::nullopt;
        }
    }
    parameters.Close();

    std::vector<CString::FormatArg> literals;
    std::vector<CString> present;
    for (const auto& value : values) {
        literals.emplace_back(SqlLiteralOrNull(value));
        if (value)
            present.push_back(*value);
    }
    const CString insert = CString::Format(
        u"INSERT INTO TQ_PARAMETRAR (Kontrollsumma, Licensagare, Licensnr, Major, Max_foretag, Max_lontagare, "
        u"Minor, MultiplaPerioder, Nyckel, Password, Sokvag) VALUES (%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s)",
        literals);
    if (const auto failure = InsertFailure(m_serverDb, insert, present)) {
        AddLog(logfmt::kCannotInsertParameters, {*failure});
        result = false;
    } else {
        AddLog(logfmt::kParametersUpdated);
    }
    return result;
}
