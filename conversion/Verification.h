// Reading Varnik_tqsys back: the old system, set against what the server stores.
#pragma once

#include "platform/QueryRows.h"

// One log line telling what Varnik_tqsys lacks or holds otherwise than the old system, or why the
// old system cannot be converted.
struct Finding {
    const char16_t* format;
    std::vector<CString::FormatArg> args;
};

// The old system's companies (number, name, file DSN, as the migration sends them) and its
// parameter row (in the SELECT's column order), set against the rows of TQ_FORETAG and
// TQ_PARAMETRAR. Every company is compared value by value with the row of its number, and the
// parameter row with the row of its licence number; a number the old list or Varnik_tqsys holds
// more than once, a company Varnik_tqsys holds beyond the list and a second parameter row are
// findings too. Trailing blanks are ignored, NULL equals NULL only, int columns compare as
// numbers. The values of the secret columns are never shown.
std::vector<Finding> FindDifferences(const std::vector<Row>& oldCompanies, const Row& oldParameters,
                                     const std::vector<Row>& storedCompanies, const std::vector<Row>& storedParameters);
