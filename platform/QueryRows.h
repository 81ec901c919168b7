// Every row of a query at once, so a caller acts on a whole result or on none of it.
#pragma once

#include "Database.h"

#include <optional>
#include <vector>

// One row's fields as text, in the order of the select list; NULL as nothing.
using Row = std::vector<std::optional<CString>>;

// Runs the query on the connection and reads all its rows; raises CDBException when the query,
// any fetch or any field fails, and when the connection is not open.
std::vector<Row> QueryRows(CDatabase& database, const CString& sql);
