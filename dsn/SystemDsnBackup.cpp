// Keeps the installation folder's tqsys.dsn as tqsys.bak before a new one is written.
#include "NarrowPath.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

namespace {

CString BackupPath(const CString& installDir) {
    return installDir + u"\\tqsys.bak";
}

}  // namespace

bool CDaltrixDlg::BackupSystemDsn() {
    AddLog(logfmt::kRenamingSystemDsn);
    // Any failure counts as "no backup": a backup that stays makes the rename below fail.
    if (sys::UnlinkNarrow(NarrowPath(BackupPath(m_installDir), sys::kThreadAnsiCodePage).c_str()) != 0)
        AddLog(logfmt::kNoBackupFile);

    if (sys::PathIsMissing(m_installSysDsn)) {
        AddLog(logfmt::kNoInstalledSystemDsn);
        return true;
    }
    AddLog(logfmt::kRenamingToBackup);
    const int error = sys::Rename(m_installSysDsn, BackupPath(m_installDir));
    if (error != 0) {
        AddLog(logfmt::kCannotRename, {m_installSysDsn, error});
        return false;
    }
    return true;
}
