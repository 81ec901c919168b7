// The way back: what the runs kept in the installation folder, put back where it was.
#pragma once

#include "KeptFiles.h"

#include "platform/CString.h"

#include <vector>

struct RestorePlan {
    enum class Refusal {
        None,
        NoBackup,          // nothing says where the product's own tqsys.dsn is
        NotOwn,            // tqsys.dsn is not the file this tool wrote, and no record says what to do
        RecordUnreadable,  // the record is there but cannot be read
    };
    Refusal refusal = Refusal::None;
    // Company DSN files first, newest first, then the system DSN: a restore stopped anywhere is
    // run again and finishes, since only a finished restore has given tqsys.dsn back.
    std::vector<KeptEntry> steps;
    // Names that look kept ("tq0007.dsn.01", "tqsys.bak.x") but are no name a run keeps under.
    std::vector<CString> notUnderstood;
};

// The record's entries, newest first, for the files the record names; a file it does not name
// (kept by an earlier version of the tool, which kept no record) gets its first kept copy back,
// and tqsys.dsn its tqsys.bak when tqsys.dsn is this tool's.
RestorePlan PlanRestore(const CString& installDir);

struct PutBackResult {
    bool alreadyBack = false;  // the kept file is gone (put back before, or never made), or the file
                               // holds its bytes still and the spare copy went
    CString keptInTheWay;      // where the file that stood in its place was kept first
    int error = 0;
};

// Moves the kept copy over the file in one step, and takes the entry out of the record. A file
// in its place is kept first, unless it is this tool's own (the tqsys.dsn it wrote, a company DSN
// file as it lies in `toolDir`); one that holds the kept bytes still stays, and the copy goes.
PutBackResult PutBack(const CString& folder, const KeptEntry& entry, const CString& toolDir);
