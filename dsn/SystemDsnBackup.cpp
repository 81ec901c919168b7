// Keeps the installation folder's tqsys.dsn as tqsys.bak before a new one is written, without
// ever losing the product's own tqsys.dsn, the way back.
#include "NarrowPath.h"
#include "SystemDsnFiles.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

bool CDaltrixDlg::BackupSystemDsn() {
    m_systemDsnMovedAside = false;
    AddLog(logfmt::kRenamingSystemDsn);
    if (sys::PathIsMissing(m_installSysDsn)) {
        // With no tqsys.dsn to take its place, an old backup may be the only way back: it stays.
        AddLog(logfmt::kNoInstalledSystemDsn);
        return true;
    }
    const CString backup = SystemDsnBackupPath(m_installDir);
    // A tqsys.dsn this tool wrote is no way back: the backup beside it keeps the product's own.
    if (PointsAtVarnikTqsys(m_installSysDsn) && !sys::PathIsMissing(backup)) {
        AddLog(logfmt::kBackupKept);
        return true;
    }

    // Any failure counts as "no backup": a backup that stays makes the rename below fail.
    if (sys::UnlinkNarrow(NarrowPath(backup, sys::kThreadAnsiCodePage).c_str()) != 0)
        AddLog(logfmt::kNoBackupFile);
    AddLog(logfmt::kRenamingToBackup);
    if (const int error = sys::Rename(m_installSysDsn, backup)) {
        AddLog(logfmt::kCannotRename, {m_installSysDsn, error});
        return false;
    }
    m_systemDsnMovedAside = true;
    return true;
}
