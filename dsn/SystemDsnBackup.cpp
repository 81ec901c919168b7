// Keeps the installation folder's tqsys.dsn as tqsys.bak before a new one is written, without
// ever losing a tqsys.dsn the product had: an older backup is kept under a name of its own.
#include "KeptFiles.h"
#include "SystemDsnFiles.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

bool CDaltrixDlg::BackupSystemDsn() {
    m_systemDsnMovedAside = false;
    m_olderBackup = CString();
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
    } else if (const int error = KeepAside(backup, m_olderBackup)) {
        AddLog(logfmt::kCannotRename, {backup, error});
        return false;
    } else {
        AddLog(logfmt::kOlderBackupKept, {m_olderBackup});
    }
    AddLog(logfmt::kRenamingToBackup);
    if (const int error = sys::Rename(m_installSysDsn, backup)) {
        AddLog(logfmt::kCannotRename, {m_installSysDsn, error});
        PutOlderBackupBack();
        return false;
    }
    m_systemDsnMovedAside = true;
    return true;
}

// A run that stops before the new tqsys.dsn is in place leaves the folder as it found it.
void CDaltrixDlg::PutOlderBackupBack() {
    if (m_olderBackup.IsEmpty())
        return;
    const CString backup = SystemDsnBackupPath(m_installDir);
    if (sys::Rename(m_olderBackup, backup) == 0)
        AddLog(logfmt::kNamedBack, {m_olderBackup, CString(u"tqsys.bak")});
    m_olderBackup = CString();
}
