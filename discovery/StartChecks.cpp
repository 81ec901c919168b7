// What "Starta" does: the rights and installation checks, the paths, and the company list.
#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

CString ToolFolder() {
    const CString program = sys::ModuleFileName();
    return program.Left(program.ReverseFind(u'\\') + 1);
}

void CDaltrixDlg::OnStartClicked() {
    if (!sys::IsAdministrator()) {
        AddLog(logfmt::kNotAdministrator);
        return;
    }
    if (sys::PathIsMissing(m_installDir)) {
        AddLog(logfmt::kNotInstalled, {m_installDir});
        return;
    }
    m_installSysDsn = m_installDir + u"\\tqsys.dsn";
    AddLog(logfmt::kStarting);
    AddLog(logfmt::kMayNeedLogin);

    m_exeDir = ToolFolder();
    m_localSysDsn = m_exeDir + u"tqsys.dsn";
    if (sys::PathIsMissing(m_localSysDsn)) {
        AddLog(logfmt::kNoSystemDsn, {m_localSysDsn});
        return;
    }
    AddLog(logfmt::kFoundSystemDsn, {m_localSysDsn});
    LoadCompanyList();
}
