#include "TestSupport.h"

#include "OldSystemServer.h"
#include "platform/QueryRows.h"

#include "platform/headless/HeadlessWindow.h"
#include "platform/posix/PosixHost.h"

#include <linux/capability.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testing_support {

// unixODBC (and with it Wine's odbc32) reads odbcinst.ini from here.
TestOdbcDrivers::TestOdbcDrivers() : m_dir(fs::temp_directory_path() / ("daltrix-odbc-" + std::to_string(::getpid()))) {
    fs::create_directories(m_dir);
    const std::string lib = "/usr/lib/x86_64-linux-gnu/odbc/";
    std::string drivers = "[SQLite3]\nDriver=" + lib + "libsqlite3odbc.so\n\n[FreeTDS]\nDriver=" + lib +
                          "libtdsodbc.so\n\n[Avbruten]\nDriver=" + DALTRIX_CANCEL_DRIVER +
                          "\n\n[Legacy]\nDriver=" + DALTRIX_LEGACY_DRIVER + "\n";
    for (const char* name : kSqlServerDriverNames)
        drivers += std::string("\n[") + name + "]\nDriver=" + lib + "libtdsodbc.so\n";
    for (const auto& [name, library] :
         {std::pair{kPostgreSqlAnsiDriver, "psqlodbca.so"}, std::pair{kPostgreSqlUnicodeDriver, "psqlodbcw.so"},
          std::pair{kMariaDbDriver, "libmaodbc.so"}})
        drivers += "\n[" + name + "]\nDriver=" + lib + library + "\n";
    WriteFile(m_dir / "odbcinst.ini", drivers);
    WriteFile(m_dir / "odbc.ini", "");
    ::setenv("ODBCSYSINI", m_dir.c_str(), 1);
    ::setenv("ODBCINI", (m_dir / "odbc.ini").c_str(), 1);
}

TestOdbcDrivers::~TestOdbcDrivers() {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "daltrix-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(m_path, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

CString WinPath(const fs::path& path) {
    CString text = CString::FromUtf8(path.string());
    text.Replace(u"/", u"\\");
    return text;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Written with Python's sqlite3 module: Debian's SQLite3 ODBC driver has no wide entry points,
// so text sent through ODBC reaches it in a single-byte form, while it reads UTF-8 back right.
void RunSqlite(const fs::path& database, const std::vector<std::string>& statements) {
    std::string script;
    for (const auto& sql : statements)
        script += sql + ";\n";
    const fs::path file = database.string() + ".sql";
    WriteFile(file, script);
    const std::string command =
        std::string(DALTRIX_PYTHON) +
        " -c \"import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); "
        "c.executescript(open(sys.argv[2],encoding='utf-8',newline='').read()); c.commit()\" '" +
        database.string() + "' '" + file.string() + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("sqlite script failed: " + script);
    fs::remove(file);
}

std::vector<std::string> OldSystemTables(OldColumns columns) {
    if (columns == OldColumns::Untyped)
        return {"CREATE TABLE TQ_FORETAG(Nummer, Namn, FileDSN)",
                "CREATE TABLE TQ_PARAMETRAR(Licensnr, Licensagare, Max_lontagare, Max_foretag, Kontrollsumma, Nyckel, "
                "Major, Minor, Sokvag, Password, MultiplaPerioder)"};
    return {"CREATE TABLE TQ_FORETAG(Nummer int, Namn char(128), FileDSN char(255))",
            "CREATE TABLE TQ_PARAMETRAR(Licensnr int, Licensagare char(255), Max_lontagare int, Max_foretag int, "
            "Kontrollsumma int, Nyckel char(64), Major int, Minor int, Sokvag char(255), Password char(64), "
            "MultiplaPerioder int)"};
}

void WriteSqliteDsn(const fs::path& dsnFile, const fs::path& database) {
    WriteFile(dsnFile, "[ODBC]\r\nDRIVER=SQLite3\r\nDatabase=" + database.string() + "\r\n");
}

void WriteLegacyDsn(const fs::path& dsnFile, const fs::path& database, const std::vector<std::string>& variants) {
    std::string text = "[ODBC]\r\nDRIVER=Legacy\r\nDatabase=" + database.string() + "\r\n";
    for (const auto& variant : variants)
        text += variant + "\r\n";
    WriteFile(dsnFile, text);
}

// Root passes permission checks through CAP_DAC_OVERRIDE and CAP_FOWNER; without them in the
// effective set, a read-only file is read-only for this process too.
PermissionBitsEnforced::PermissionBitsEnforced() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        throw std::runtime_error("capget failed");
    m_saved[0] = data[0].effective;
    m_saved[1] = data[1].effective;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    if (::syscall(SYS_capset, &header, data) != 0)
        throw std::runtime_error("capset failed");
}

PermissionBitsEnforced::~PermissionBitsEnforced() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ::syscall(SYS_capget, &header, data);
    data[0].effective = m_saved[0];
    data[1].effective = m_saved[1];
    ::syscall(SYS_capset, &header, data);
}

StandIn::StandIn(const std::vector<std::string>& options) {
    const std::string script = std::string(DALTRIX_SOURCE_DIR) + "/tests/sqlserver_standin/standin.py";
    const std::string portFile = (m_dir / "port").string();
    std::vector<std::string> args{DALTRIX_PYTHON, script,
                                  "--port",       "0",
                                  "--port-file",  portFile,
                                  "--data-dir",   (m_dir / "data").string(),
                                  "--record",     (m_dir / "record.jsonl").string()};
    // The stand-in ends with this process, also when a test kills it or it crashes.
    args.insert(args.begin(), {"setpriv", "--pdeathsig", "TERM", "--"});
    args.insert(args.end(), options.begin(), options.end());
    fs::create_directories(m_dir / "data");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start the SQL Server stand-in");
    m_pid = pid;
    for (int i = 0; i < 200 && m_port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::ifstream in(portFile);
        in >> m_port;
    }
    if (m_port == 0)
        throw std::runtime_error("the SQL Server stand-in did not start");
}

StandIn::~StandIn() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::vector<std::string> StandIn::Statements() const {
    std::vector<std::string> statements;
    std::ifstream in(m_dir / "record.jsonl");
    std::string line;
    // Each line is {"conn": N, "db": "...", "sql": "..."}; the SQL texts here hold no quotes
    // of JSON's own but escaped ones, which are undone.
    while (std::getline(in, line)) {
        const size_t at = line.find("\"sql\": \"");
        if (at == std::string::npos)
            continue;
        std::string sql;
        for (size_t i = at + 8; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
                if (line[i] == 'u' && i + 4 < line.size()) {
                    const unsigned cp = static_cast<unsigned>(std::stoul(line.substr(i + 1, 4), nullptr, 16));
                    sql += CString(std::u16string(1, static_cast<char16_t>(cp))).ToUtf8();
                    i += 4;
                    continue;
                }
                sql += line[i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
                continue;
            }
            sql += line[i];
        }
        statements.push_back(sql);
    }
    return statements;
}

std::string StandIn::ConnectString(const std::string& user, const std::string& password) const {
    return "DRIVER={SQL Server};SERVER=127.0.0.1;PORT=" + std::to_string(m_port) + ";UID=" + user + ";PWD=" + password +
           ";TDS_Version=7.4;";
}

void StandIn::WriteCompanyDsn(const fs::path& dsnFile, const std::string& user, const std::string& password,
                              const std::string& driver, const std::string& extra) const {
    WriteFile(dsnFile, "[ODBC]\r\nDRIVER=" + driver + "\r\nSERVER=127.0.0.1\r\nPORT=" + std::to_string(m_port) +
                           "\r\nUID=" + user + "\r\nPWD=" + password + "\r\nDATABASE=master\r\nTDS_Version=7.4\r\n" +
                           extra);
}

std::vector<Fields> QueryFields(CDatabase& db, const std::string& sql) {
    std::vector<Fields> rows;
    for (const Row& fields : ::QueryRows(db, CString::FromUtf8(sql))) {
        Fields row;
        for (const auto& field : fields)
            row.push_back(field ? std::optional<std::string>(field->ToUtf8()) : std::nullopt);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> JoinedRows(const std::vector<Fields>& rows) {
    std::vector<std::string> joined;
    for (const auto& row : rows) {
        std::string text;
        for (size_t c = 0; c < row.size(); ++c)
            text += (c ? "|" : "") + row[c].value_or("<NULL>");
        joined.push_back(text);
    }
    return joined;
}

std::vector<std::string> QueryRows(CDatabase& db, const std::string& sql) {
    return JoinedRows(QueryFields(db, sql));
}

std::vector<Fields> WithoutPadding(std::vector<Fields> rows) {
    for (auto& row : rows)
        for (auto& field : row)
            if (field)
                field->erase(field->find_last_not_of(' ') + 1);
    return rows;
}

ProgramFolder::ProgramFolder(const fs::path& folder) {
    if (folder.empty()) {
        m_own = std::make_unique<TempDir>();
        m_path = m_own->path();
    } else {
        m_path = folder;
        fs::create_directories(m_path);
    }
    posix_host::SetProgramPath(WinPath(m_path / "Daltrix.exe"));
}

ProgramFolder::~ProgramFolder() {
    posix_host::UseRunningProgramPath();
}

DialogFixture::DialogFixture(const fs::path& programDir) : program(programDir), dlg(std::make_unique<CDaltrixDlg>()) {
    posix_host::SetAdministrator(true);
    headless::TheScreen() = {};
    headless::Open(*dlg);
}

DialogFixture::~DialogFixture() {
    posix_host::SetAdministrator(::geteuid() == 0);
}

std::vector<std::string> DialogFixture::LogFileLines() const {
    std::string text = ReadFile(LogFile());
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> DialogFixture::Log() const {
    return headless::ItemTexts(dlg->m_logList);
}

std::vector<std::string> DialogFixture::LogFrom(size_t from) const {
    auto lines = Log();
    return {lines.begin() + static_cast<long>(std::min(from, lines.size())), lines.end()};
}

}  // namespace testing_support
