#include "QueryRows.h"

std::vector<Row> QueryRows(CDatabase& database, const CString& sql) {
    CRecordset rows(&database);
    if (!rows.Open(CRecordset::snapshot, sql, 0))
        ThrowDBException({{u"08003", u"Connection not open"}});
    std::vector<Row> result;
    for (; !rows.IsEOF(); rows.MoveNext()) {
        Row& row = result.emplace_back();
        for (short column = 0; column < rows.GetODBCFieldCount(); ++column) {
            CString value;
            const bool present = rows.GetFieldValueOrNull(column, value);
            row.push_back(present ? std::optional<CString>(std::move(value)) : std::nullopt);
        }
    }
    return result;
}
