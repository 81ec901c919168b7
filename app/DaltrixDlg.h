// The main dialog: it owns every piece of state of a conversion, and every stage is one of its
// member operations, found in the folder of its subsystem.
#pragma once

#include "platform/CString.h"
#include "platform/Database.h"
#include "platform/Window.h"

#include <vector>

class CDaltrixDlg : public CDialogEx {
public:
    explicit CDaltrixDlg(CWnd* parent = nullptr);
    ~CDaltrixDlg() override;

    // The one way a numbered line reaches the log.
    void AddLog(const char16_t* format, const std::vector<CString::FormatArg>& args = {});
    // Before a connection opens: its driver may prompt for a login, which belongs to this dialog
    // and which the operator answers with the log in view as it stands.
    void PrepareLoginPrompt(CDatabase& database);

    // Window messages (app/)
    bool OnInitDialog() override;
    void OnSysCommand(unsigned id, std::intptr_t lParam);
    void OnPaint();
    IconHandle OnQueryDragIcon();
    void OnLogKeyDown(int key, bool ctrl);

    // Source discovery (discovery/)
    void OnStartClicked();
    bool LoadCompanyList();

    // Conversion (conversion/)
    void OnDblclkCompanyList(NMHDR* header, LRESULT* result);
    bool AnalyzeCompanyConnection();
    bool SystemDatabaseExists();
    bool CreateSystemDatabase();
    bool MigrateSystemData();

    // DSN files (dsn/)
    bool BackupSystemDsn();
    bool WriteSystemDsn();

    CListCtrl m_logList;
    CListCtrl m_companyList;
    IconHandle m_hIcon = nullptr;
    bool m_trustedConnection = false;
    int m_driverKind = 0;
    int m_msgNo = 0;
    CString m_exeDir;
    CString m_installDir;
    CString m_localSysDsn;
    CString m_installSysDsn;
    CString m_companyConnect;
    CDatabase m_sysDb;
    CString m_companyNo;
    CString m_driver;
    CString m_server;
    CMyDatabase m_serverDb;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    const MessageMap& GetMessageMap() const override;
};

// Copies the company DSN files of `sourceDir` into `targetDir`; false when a copy failed.
bool CopyCompanyDsnFiles(CString sourceDir, CString targetDir);
