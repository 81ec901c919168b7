// Keeps the installation folder's tqsys.dsn as tqsys.bak before a new one is written, without
// ever losing a file the product had: the backup is a copy, so tqsys.dsn stays in place until the
// new one replaces it, and an older backup is kept under a name of its own first.
#include "Restore.h"
#include "SystemDsnFiles.h"
#include "WholeFiles.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

bool CDaltrixDlg::BackupSystemDsn() {
    m_systemDsnKept.clear();
    AddLog(logfmt::kRenamingSystemDsn);
    if (sys::PathIsMissing(m_installSysDsn)) {
        // With no tqsys.dsn to take its place, an old backup may be the only way back: it stays.
        AddLog(logfmt::kNoInstalledSystemDsn);
        return true;
    }
    const CString backup = SystemDsnBackupPath(m_installDir);
    const bool backupPresent = !sys::PathIsMissing(backup);
    // A file this tool wrote is no way back: the writer replaces it, and any backup stays.
    if (WrittenByThisTool(m_installSysDsn)) {
        AddLog(backupPresent ? logfmt::kBackupKept : logfmt::kOwnSystemDsnReplaced);
        return true;
    }

    if (!backupPresent) {
        AddLog(logfmt::kNoBackupFile);
    } else if (!SameFileContent(backup, m_installSysDsn)) {
        const Kept& older = m_systemDsnKept.emplace_back(KeepCopy(m_installDir, kSystemDsnBackupName, true));
        if (older.error) {
            LogKeepFailure(older);
            UndoSystemDsnBackup();
            return false;
        }
        AddLog(logfmt::kOlderBackupKept, {InFolder(m_installDir, older.entry.kept)});
    }
    AddLog(logfmt::kRenamingToBackup);
    const Kept& copy =
        m_systemDsnKept.emplace_back(KeepAs(m_installDir, {kSystemDsnName, kSystemDsnBackupName}, true, true));
    if (copy.error) {
        LogKeepFailure(copy);
        UndoSystemDsnBackup();
        return false;
    }
    return true;
}

void CDaltrixDlg::LogKeepFailure(const Kept& kept) {
    if (kept.recordFailed)
        AddLog(logfmt::kCannotRecord, {InFolder(m_installDir, kKeptRecordName), sys::ErrorNumberText(kept.error)});
    else
        AddLog(logfmt::kCannotRename, {InFolder(m_installDir, kept.entry.original), kept.error});
}

// Leaves the folder as the run found it: the older backup back in its place, the copy of
// tqsys.dsn, which never moved, gone, and each entry noted taken out of the record again. A step
// that fails ends the undoing: what is left is noted in the record, for a run or a restore to end.
void CDaltrixDlg::UndoSystemDsnBackup() {
    for (auto kept = m_systemDsnKept.rbegin(); kept != m_systemDsnKept.rend(); ++kept) {
        if (kept->copied && !PutBackAndLog(kept->entry))
            break;
        if (!kept->copied && kept->recorded)
            ForgetKept(m_installDir, kept->entry);
    }
    m_systemDsnKept.clear();
}
