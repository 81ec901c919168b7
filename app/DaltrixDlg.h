// The main dialog: it owns every piece of state of a conversion, and every stage is one of its
// member operations, found in the folder of its subsystem.
#pragma once

#include "CommandLine.h"
#include "LogFile.h"

#include "conversion/Verification.h"
#include "dsn/KeptFiles.h"

#include "platform/ConnectString.h"
#include "platform/CString.h"
#include "platform/Database.h"
#include "platform/Window.h"

#include <vector>

// How a conversion run ended.
enum class RunOutcome {
    NotRun,                // no company was chosen
    Stopped,               // the installation folder is as it was
    Proven,                // repointed at a Varnik_tqsys proven equal to the old system, every file copied
    RepointedWithRemarks,  // repointed, but with findings the operator accepted or files to copy by hand
};

// How a restore ended.
enum class RestoreOutcome {
    Refused,     // nothing in the installation folder changed
    Restored,    // every kept file is back
    Incomplete,  // a file could not be put back; a restore run again finishes the job
};

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
    void OnLogContextMenu(CPoint point);
    // The company's menu: check against its server, or convert to it, as a double-click does.
    void OnCompanyContextMenu(CPoint point, bool fromKeyboard);
    // A verb of the command line, run once the dialog shows; the dialog then closes with the
    // script's exit code.
    void OnRunScript();
    // A question for the operator; in a run from the command line, answered by /ja and logged.
    bool Ask(const CString& question);

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
    [[nodiscard]] bool CompleteSystemDatabase();
    // The old system's one parameter row into m_oldParameters; false, with its line, when the old
    // system holds none or several (the product reads one) or the row cannot be read.
    [[nodiscard]] bool ReadOldParameterRow();
    // Sends the listed companies and m_oldParameters.
    bool MigrateSystemData();
    [[nodiscard]] bool VerifySystemDatabase();
    // The conversion of the company on this row of the list; how it ended.
    RunOutcome ConvertCompany(int row);
    // The listed companies as the migration sends them: number, name and file DSN, trimmed.
    std::vector<Row> ListedCompanies() const;
    // What Varnik_tqsys, the connection's current database, holds otherwise than the old system.
    std::vector<Finding> ReadBackFindings(const Row& oldParameters);
    // How far a conversion for the company on this row would go, changing nothing; the number of
    // obstacles found (-1 when no row is chosen).
    int CheckCompany(int row);

    // DSN files (dsn/)
    [[nodiscard]] bool BackupSystemDsn();
    [[nodiscard]] bool WriteSystemDsn();
    // A run that stops before the new tqsys.dsn is in place undoes what BackupSystemDsn kept.
    void UndoSystemDsnBackup();
    void LogKeepFailure(const Kept& kept);
    // Every file the runs kept put back where it was, the product's own tqsys.dsn last, after the
    // operator's Yes.
    RestoreOutcome RestoreSystemDsn();
    // One kept file back in its place; false, with the reason logged, when it could not be.
    bool PutBackAndLog(const KeptEntry& entry);

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
    // The company connection's items about encryption and certificates, for the new system DSN.
    ConnectItems m_encryptionItems;
    // The company list's rows as read, top to bottom, each value whole (zero padding dropped).
    std::vector<Row> m_companies;
    // The old parameter row, read before anything changes: the migration sends it and the
    // verification reads it back.
    Row m_oldParameters;
    // True when the operator chose to go on although the read-back found differences.
    bool m_findingsAccepted = false;
    // What this run's BackupSystemDsn kept, in order, so a run that stops undoes it.
    std::vector<Kept> m_systemDsnKept;
    // Every log line is also kept in Daltrix.log beside the program.
    CLogFile m_logFile;
    // True once "Starta" has listed the old system's companies.
    bool m_companiesListed = false;
    // The command line's verb; Verb::None when the operator works at the dialog.
    ScriptCommand m_script;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    const MessageMap& GetMessageMap() const override;

private:
    void CopySelectedLogLines();
    int RunScript();
    int RowOfCompany(const CString& number) const;
};

// The folder of the running program, with its trailing backslash.
CString ToolFolder();

// The connect string of a company's file DSN beside the tool: "FILEDSN=<exeDir>tq%04d.dsn;".
CString CompanyConnectString(const CString& exeDir, const CString& companyNo);

// The text as a list control shows it whole: it would cut it at a zero character, shown as U+2400.
CString VisibleText(CString text);
