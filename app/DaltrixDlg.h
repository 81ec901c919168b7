// The main dialog: it owns every piece of state of a conversion, and every stage is one of its
// member operations, found in the folder of its subsystem.
#pragma once

#include "conversion/Verification.h"

#include "platform/ConnectString.h"
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

    // Each stage logs its own outcome. The results marked [[nodiscard]] steer the run; the others
    // are only reported, and the run goes on whatever they are.

    // Source discovery (discovery/)
    void OnStartClicked();
    bool LoadCompanyList();

    // Conversion (conversion/)
    void OnDblclkCompanyList(NMHDR* header, LRESULT* result);
    [[nodiscard]] bool AnalyzeCompanyConnection();
    [[nodiscard]] bool SystemDatabaseExists();
    bool CreateSystemDatabase();
    bool MigrateSystemData();
    [[nodiscard]] bool VerifySystemDatabase();

    // DSN files (dsn/)
    [[nodiscard]] bool BackupSystemDsn();
    [[nodiscard]] bool WriteSystemDsn();

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
    // The company connection's Encrypt and TrustServerCertificate items, for the new system DSN.
    ConnectItems m_encryptionItems;
    // What this run's migration sent, for the verification that reads it back.
    MigrationRecord m_migration;
    // True once this run has moved the product's tqsys.dsn aside, so a failed write puts it back.
    bool m_systemDsnMovedAside = false;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    const MessageMap& GetMessageMap() const override;
};

// Copies the company DSN files of `sourceDir` into `targetDir`; false when a copy failed.
bool CopyCompanyDsnFiles(CString sourceDir, CString targetDir);
