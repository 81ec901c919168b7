// Reading Varnik_tqsys back: what the migration sent, set against what the server stores.
#pragma once

#include "platform/QueryRows.h"

// What the migration sent in one run, kept for the verification that follows it.
struct SentCompany {
    CString number;
    CString name;
    CString fileDsn;
    bool inserted = false;
};
struct SentParameters {
    Row values;  // in the SELECT's column order
    bool inserted = false;
};
struct MigrationRecord {
    std::vector<SentCompany> companies;
    SentParameters parameters;
};

// One log line telling what Varnik_tqsys lacks or holds otherwise than sent.
struct Finding {
    const char16_t* format;
    std::vector<CString::FormatArg> args;
};

// Every company of the run must be stored by its number, and those the run inserted with the
// values sent; the parameter row must be stored by its licence number, and with the values sent
// when the run inserted it. Trailing blanks are ignored, NULL equals NULL only, and int columns
// compare as numbers. The stored rows are those of TQ_FORETAG and TQ_PARAMETRAR.
std::vector<Finding> FindDifferences(const MigrationRecord& sent, const std::vector<Row>& companies,
                                     const std::vector<Row>& parameters);
