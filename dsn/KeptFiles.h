// Files of the installation folder that a run would replace are kept beside it under a name of
// their own: the file's name, a dot and a number ("tqsys.bak.1", "tq0007.dsn.2"), which no
// "*.dsn" pattern matches, so the product never takes a kept file for one of its own. Before it
// keeps a file, a run notes in the folder's record which file it keeps under which name, so the
// way back puts exactly those back, newest first, and a run stopped at any instant can be run
// again without keeping anything twice.
#pragma once

#include "platform/CString.h"

#include <optional>
#include <vector>

// The record, a plain text in the installation folder: one line "name > kept name" per kept
// file, oldest first.
inline constexpr const char16_t* kKeptRecordName = u"Daltrix-sparade.txt";

struct KeptEntry {
    CString original;  // the file's name in the folder
    CString kept;      // the name its copy is kept under there
    bool operator==(const KeptEntry&) const = default;
};

CString KeptName(const CString& name, int number);
// N of a kept name "name.N" as KeptName writes it (1 to 999, no leading zero, the name's letter
// case aside); nothing for any other name.
std::optional<int> KeptNumber(const CString& name, const CString& candidate);

// The record's entries, oldest first; lines that are no entry of two plain file names are passed
// over. Empty when the folder has no record; nothing when it has one that cannot be read.
std::optional<std::vector<KeptEntry>> ReadKeptRecord(const CString& folder);
// Adds the entry, so a run started again after a stop notes nothing twice: unless the record
// holds it already where the kept copy is there (`copyThere`), or holds it last where the copy is
// still to be made. 0 or an error number (EACCES for a record that cannot be read, which is left
// as it is); `added` says whether it was added.
int RecordKept(const CString& folder, const KeptEntry& entry, bool copyThere, bool& added);
// Takes the entry's last line out of the record; the record goes when nothing is left in it.
int ForgetKept(const CString& folder, const KeptEntry& entry);

// What keeping a file did.
struct Kept {
    KeptEntry entry;
    bool recorded = false;      // the record gained the entry
    bool copied = false;        // the copy was made now: it was not there with those bytes already
    int error = 0;              // the step that failed left the file as it was
    bool recordFailed = false;  // that step was writing the record
};

// Makes `entry.kept` a whole copy of `entry.original`, after noting the entry in the record when
// `record` is set. Nothing is copied when the kept name holds those bytes already; otherwise a
// file of that name is replaced only when `replace` is set.
Kept KeepAs(const CString& folder, const KeptEntry& entry, bool record, bool replace);

// Keeps a copy of the folder's file `name` under a kept name: a kept copy that holds the same
// bytes serves again, else the first free number.
Kept KeepCopy(const CString& folder, const CString& name, bool record);

// True when both files can be read and hold the same bytes.
bool SameFileContent(const CString& a, const CString& b);
