// Whole conversions of the demo installation by the real dialog of the Windows build, driven
// through its real controls as the operator drives them. The program runs from C:\Verktyg\ of a
// prefix laid out by demo/layout.sh, beside the old tqsys.dsn and the company DSNs, and reaches
// the old system database through the SQLite3 ODBC driver and the SQL Server stand-in through
// Wine's odbc32, unixODBC and FreeTDS. run_conversion_test.sh prepares all of that.
#include "CompleteRunLog.h"
#include "DialogDriver.h"
#include "InstalledDriver.h"

#include "app/DaltrixDlg.h"
#include "dsn/KeptFiles.h"
#include "platform/Database.h"
#include "res/resource.h"

// Only after the back end's Windows headers, which give two names of their own while they are read.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace dialog_driver;
using namespace installed_driver;

namespace {

// Where the operator puts the tool, and what the tool's messages therefore name.
const std::u16string kToolDir = u"C:\\Verktyg\\";
// The login demo/layout.sh writes into every company DSN.
const std::u16string kLogin = u"varnik";
const std::u16string kPassword = u"Demo-Losen-2026";
// A whole run opens two connections and creates a database; a failing connect may wait for its
// login timeout (15 s).
constexpr auto kRunPatience = 120s;

std::string Narrow(const std::u16string& text) {
    return CString(text).ToUtf8();
}

std::u16string Text(const std::string& utf8) {
    return CString::FromUtf8(utf8).Str();
}

std::u16string Lower(std::u16string text) {
    for (char16_t& ch : text)
        ch = static_cast<char16_t>(towlower(ch));
    return text;
}

fs::path PathOf(const std::u16string& windowsPath) {
    return fs::path(std::wstring(windowsPath.begin(), windowsPath.end()));
}

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::optional<std::string> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every file of a folder by its name, with its bytes.
using Folder = std::map<std::u16string, std::string>;

Folder Snapshot(const std::u16string& windowsPath) {
    Folder files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(PathOf(windowsPath), error))
        if (entry.is_regular_file())
            files[entry.path().filename().u16string()] = ReadBytes(entry.path()).value_or("");
    return files;
}

// A company's DSN file: "tq", the number in four digits or more, ".dsn".
bool IsCompanyDsn(const std::u16string& name) {
    const std::u16string lower = Lower(name);
    if (lower.size() < 10 || lower.substr(0, 2) != u"tq" || lower.substr(lower.size() - 4) != u".dsn")
        return false;
    const std::u16string number = lower.substr(2, lower.size() - 6);
    return std::all_of(number.begin(), number.end(), [](char16_t ch) { return ch >= u'0' && ch <= u'9'; });
}

// --- the demo's old system database, from the SQL text demo/layout.sh builds it from -----------

using Row = std::vector<std::optional<std::u16string>>;

struct DemoTable {
    std::vector<std::u16string> columns;
    std::vector<int> charWidths;  // n of a char(n) column, 0 for any other type
    std::vector<Row> rows;
};

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The statements of a SQL script, without comments; ';' and "--" inside quotes stay text.
std::vector<std::string> Statements(const std::string& script) {
    std::vector<std::string> statements;
    std::string current;
    bool quoted = false;
    for (size_t i = 0; i < script.size(); ++i) {
        const char ch = script[i];
        if (!quoted && ch == '-' && i + 1 < script.size() && script[i + 1] == '-') {
            i = script.find('\n', i);
            if (i == std::string::npos)
                break;
            current += '\n';
            continue;
        }
        if (ch == '\'')
            quoted = !quoted;  // a doubled quote toggles twice and so stays inside
        if (!quoted && ch == ';') {
            statements.push_back(Trimmed(current));
            current.clear();
            continue;
        }
        current += ch;
    }
    if (!Trimmed(current).empty())
        statements.push_back(Trimmed(current));
    return statements;
}

// The items between the outermost parentheses, split at the commas outside quotes and inner
// parentheses.
std::vector<std::string> ParenthesisedItems(const std::string& text) {
    std::vector<std::string> items;
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return items;
    std::string current;
    int depth = 0;
    bool quoted = false;
    for (size_t i = open + 1; i < close; ++i) {
        const char ch = text[i];
        if (ch == '\'')
            quoted = !quoted;
        if (!quoted && ch == '(')
            ++depth;
        if (!quoted && ch == ')')
            --depth;
        if (!quoted && depth == 0 && ch == ',') {
            items.push_back(Trimmed(current));
            current.clear();
            continue;
        }
        current += ch;
    }
    items.push_back(Trimmed(current));
    return items;
}

std::optional<std::u16string> Value(const std::string& literal) {
    if (literal == "NULL")
        return std::nullopt;
    if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'') {
        std::string text;
        for (size_t i = 1; i + 1 < literal.size(); ++i) {
            text += literal[i];
            if (literal[i] == '\'')
                ++i;  // '' stands for one quote
        }
        return Text(text);
    }
    return Text(literal);
}

std::string NameAfter(const std::string& statement, const std::string& keywords) {
    const std::string rest = statement.substr(keywords.size());
    return Trimmed(rest.substr(0, rest.find_first_of(" (")));
}

std::map<std::string, DemoTable> ReadDemoTables(const std::string& script) {
    std::map<std::string, DemoTable> tables;
    for (const std::string& statement : Statements(script)) {
        if (statement.rfind("CREATE TABLE ", 0) == 0) {
            DemoTable& table = tables[NameAfter(statement, "CREATE TABLE ")];
            for (const std::string& column : ParenthesisedItems(statement)) {
                const size_t blank = column.find_first_of(" \t\r\n");
                const std::string type = Trimmed(column.substr(blank));
                table.columns.push_back(Text(column.substr(0, blank)));
                table.charWidths.push_back(type.rfind("char(", 0) == 0 ? std::stoi(type.substr(5)) : 0);
            }
        } else if (statement.rfind("INSERT INTO ", 0) == 0) {
            Row row;
            for (const std::string& literal : ParenthesisedItems(statement.substr(statement.find(" VALUES"))))
                row.push_back(Value(literal));
            tables[NameAfter(statement, "INSERT INTO ")].rows.push_back(row);
        }
    }
    return tables;
}

// A row as SQL Server gives it back: char(n) blank-padded to n.
Row AsStoredOnServer(const DemoTable& table, Row row) {
    for (size_t column = 0; column < row.size(); ++column)
        if (row[column] && table.charWidths[column] > 0)
            row[column]->resize(std::max<size_t>(row[column]->size(), static_cast<size_t>(table.charWidths[column])),
                                u' ');
    return row;
}

// A row as the old system's driver lists it: a PostgreSQL server hands char(n) back blank-padded
// to n, a MariaDB server without its trailing blanks, SQLite as it was stored.
Row AsListed(const DemoTable& table, Row row) {
    const std::string oldSystem = Setting("DALTRIX_OLD_SYSTEM");
    if (oldSystem == "postgresql")
        return AsStoredOnServer(table, row);
    if (oldSystem == "mariadb")
        for (size_t column = 0; column < row.size(); ++column)
            if (row[column] && table.charWidths[column] > 0)
                row[column]->erase(row[column]->find_last_not_of(u' ') + 1);
    return row;
}

std::string Describe(const Row& row) {
    std::string text;
    for (const auto& value : row) {
        if (!text.empty())
            text += '|';
        if (value)
            text.append("'").append(Narrow(*value)).append("'");
        else
            text += "NULL";
    }
    return text;
}

std::vector<std::string> Describe(const std::vector<Row>& rows) {
    std::vector<std::string> texts;
    for (const Row& row : rows)
        texts.push_back(Describe(row));
    return texts;
}

std::vector<std::string> Describe(const std::vector<std::u16string>& texts) {
    std::vector<std::string> narrow;
    for (const auto& text : texts)
        narrow.push_back(Narrow(text));
    return narrow;
}

// --- the stand-in, through the same database layer and drivers as the tool ---------------------

std::u16string ServerConnect() {
    return u"DRIVER={SQL Server};SERVER=127.0.0.1;PORT=" + Text(Setting("DALTRIX_STANDIN_PORT")) + u";UID=" + kLogin +
           u";PWD=" + kPassword + u";TDS_Version=7.4;";
}

// The rows of a query in the database `database`; a failure is the test's.
std::vector<Row> ServerRows(const std::u16string& sql, const std::u16string& database = u"Varnik_tqsys") {
    std::vector<Row> result;
    try {
        CDatabase db;
        db.OpenEx(CString(ServerConnect()));
        db.ExecuteSQL(CString(u"USE [" + database + u"]"));
        CRecordset rows(&db);
        rows.Open(CRecordset::snapshot, CString(sql));
        for (; !rows.IsEOF(); rows.MoveNext()) {
            Row row;
            for (short column = 0; column < rows.GetODBCFieldCount(); ++column) {
                CString value;
                if (rows.GetFieldValueOrNull(column, value))
                    row.push_back(value.Str());
                else
                    row.push_back(std::nullopt);
            }
            result.push_back(row);
        }
    } catch (const CDBException& e) {
        ADD_FAILURE() << "the stand-in answered " << e.m_strError.ToUtf8() << " to " << Narrow(sql);
    }
    return result;
}

void ServerExecute(const std::u16string& sql) {
    try {
        CDatabase db;
        db.OpenEx(CString(ServerConnect()));
        db.ExecuteSQL(u"USE [Varnik_tqsys]");
        db.ExecuteSQL(CString(sql));
    } catch (const CDBException& e) {
        ADD_FAILURE() << "the stand-in answered " << e.m_strError.ToUtf8() << " to " << Narrow(sql);
    }
}

bool ServerHasSystemDatabase() {
    return !ServerRows(u"select 1 from sys.databases where name = 'Varnik_tqsys'", u"master").empty();
}

std::u16string SelectAll(const std::string& tableName, const DemoTable& table, const std::u16string& order = u"") {
    std::u16string columns;
    for (const auto& column : table.columns)
        columns += (columns.empty() ? u"" : u", ") + column;
    return u"select " + columns + u" from " + Text(tableName) + order;
}

// --- what a test changes in the laid-out folders, and puts back ----------------------------------

// A file moved aside for as long as the object lives.
class MovedAside {
public:
    explicit MovedAside(fs::path path) : m_path(std::move(path)), m_aside(m_path.wstring() + L".undan") {
        fs::rename(m_path, m_aside, m_error);
    }
    ~MovedAside() {
        if (!m_error)
            fs::rename(m_aside, m_path, m_error);
    }
    MovedAside(const MovedAside&) = delete;
    MovedAside& operator=(const MovedAside&) = delete;
    bool Moved() const { return !m_error && !fs::exists(m_path); }

private:
    fs::path m_path;
    fs::path m_aside;
    std::error_code m_error;
};

// A file with other content for as long as the object lives.
class Rewritten {
public:
    Rewritten(fs::path path, const std::string& bytes) : m_path(std::move(path)), m_original(ReadBytes(m_path)) {
        if (m_original)
            WriteBytes(m_path, bytes);
    }
    ~Rewritten() {
        if (m_original)
            WriteBytes(m_path, *m_original);
    }
    Rewritten(const Rewritten&) = delete;
    Rewritten& operator=(const Rewritten&) = delete;
    bool Done() const { return m_original.has_value(); }

private:
    fs::path m_path;
    std::optional<std::string> m_original;
};

// A loopback port that is bound and never listens: a connection to it is refused, and nothing
// else can take it while the object lives.
class RefusingPort {
public:
    RefusingPort() {
        WSADATA data{};
        m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (m_socket != INVALID_SOCKET && bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~RefusingPort() {
        if (m_socket != INVALID_SOCKET)
            closesocket(m_socket);
        if (m_started)
            WSACleanup();
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return m_port; }

private:
    bool m_started = false;
    SOCKET m_socket = INVALID_SOCKET;
    int m_port = 0;
};

// --- the operator at the dialog ------------------------------------------------------------------

class OperatorRun : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        const std::u16string path = Utf16(module);
        ASSERT_EQ(Lower(path.substr(0, path.rfind(u'\\') + 1)), Lower(kToolDir))
            << "run_conversion_test.sh runs this program from the tool's folder; it runs from " << Narrow(path);
        const auto script = ReadBytes(Setting("DALTRIX_DEMO_SQL"));
        ASSERT_TRUE(script) << "DALTRIX_DEMO_SQL names no readable demo/old-system.sql";
        demo = ReadDemoTables(*script);
        ASSERT_EQ(demo.count("TQ_FORETAG"), 1u);
        ASSERT_EQ(demo.count("TQ_PARAMETRAR"), 1u);
        ASSERT_FALSE(Companies().rows.empty());
        ASSERT_FALSE(Setting("DALTRIX_STANDIN_PORT").empty()) << "no stand-in port in DALTRIX_STANDIN_PORT";
        installBefore = Snapshot(kInstallDir);
        installKept = true;
    }

    // What a run wrote into the installation folder goes, so that no test meets another's work,
    // also when a fault makes a start check run a whole conversion.
    void TearDown() override {
        if (!installKept)
            return;
        const Folder now = Snapshot(kInstallDir);
        for (const auto& [name, bytes] : now)
            if (!installBefore.count(name))
                fs::remove(PathOf(kInstallDir + u"\\" + name));
        for (const auto& [name, bytes] : installBefore)
            if (!now.count(name) || now.at(name) != bytes)
                WriteBytes(PathOf(kInstallDir + u"\\" + name), bytes);
    }

    const DemoTable& Companies() const { return demo.at("TQ_FORETAG"); }
    const DemoTable& Parameters() const { return demo.at("TQ_PARAMETRAR"); }

    static HWND Log(const ModalRun& run) { return run.Item(IDC_LOG_LIST); }
    static HWND CompanyList(const ModalRun& run) { return run.Item(IDC_COMPANY_LIST); }

    // "Starta", and the wait until the handler has written at least `lines` log lines.
    static ::testing::AssertionResult Start(const ModalRun& run, int lines) {
        if (!run.Window())
            return ::testing::AssertionFailure() << "the main dialog did not show";
        const int before = ItemCount(Log(run));
        PostMessageW(run.Item(IDC_START), BM_CLICK, 0, 0);
        if (!WaitUntil([&] { return ItemCount(Log(run)) >= before + lines; }))
            return ::testing::AssertionFailure()
                   << "\"Starta\" wrote " << ItemCount(Log(run)) - before << " lines, not " << lines;
        Settle(run.Window());
        return ::testing::AssertionSuccess();
    }

    // "Starta" with everything in place: the company list fills.
    ::testing::AssertionResult StartWithCompanies(const ModalRun& run) const {
        auto started = Start(run, 4);
        if (!started)
            return started;
        if (!WaitUntil([&] { return ItemCount(CompanyList(run)) == static_cast<int>(Companies().rows.size()); })) {
            HWND box = FindDialog(run.Thread(), kMessageBoxCaption);
            return ::testing::AssertionFailure()
                   << "the company list holds " << ItemCount(CompanyList(run)) << " rows, the demo has "
                   << Companies().rows.size() << "; the log ends with \""
                   << Narrow(ItemText(Log(run), ItemCount(Log(run)) - 1)) << "\""
                   << (box ? "; a message box: " + ::testing::PrintToString(ChildTexts(box)) : "");
        }
        Settle(run.Window());
        return ::testing::AssertionSuccess();
    }

    // The row of the company with this number, -1 when it is not listed.
    static int RowOf(const ModalRun& run, const std::u16string& number) {
        const auto numbers = ColumnTexts(CompanyList(run), 0);
        const auto found = std::find(numbers.begin(), numbers.end(), number);
        return found == numbers.end() ? -1 : static_cast<int>(found - numbers.begin());
    }

    // A double-click on the company's row, and the wait until the run has ended: with its last
    // line, with one of the lines that end it early, or in a message box.
    static ::testing::AssertionResult Convert(const ModalRun& run, int row) {
        const int before = ItemCount(Log(run));
        DoubleClickRow(CompanyList(run), row);
        return RunEnded(run, before);
    }

    // The wait until a run started with `before` lines in the log has ended, as Convert waits.
    static ::testing::AssertionResult RunEnded(const ModalRun& run, int before) {
        if (!WaitUntil([&] { return ItemCount(Log(run)) > before; }))
            return ::testing::AssertionFailure() << "no run started";
        const bool ended = WaitUntil(
            [&] {
                if (FindDialog(run.Thread(), kMessageBoxCaption))
                    return true;
                const std::u16string line = ItemText(Log(run), ItemCount(Log(run)) - 1);
                const std::u16string last = line.size() > 4 ? line.substr(4) : line;
                return last == u"Klart! Klicka Avsluta" || last == u"Kunde inte best\u00e4mma serveradress" ||
                       last.rfind(u"Kunde inte byta namn p\u00e5 ", 0) == 0 ||
                       last.rfind(u"FEL! Kunde inte skapa ", 0) == 0;
            },
            kRunPatience);
        if (!ended)
            return ::testing::AssertionFailure()
                   << "the run did not end; its last line: " << Narrow(ItemText(Log(run), ItemCount(Log(run)) - 1));
        Settle(run.Window());
        return ::testing::AssertionSuccess();
    }

    static std::vector<std::string> LogLines(const ModalRun& run) { return Describe(ColumnTexts(Log(run))); }

    // The company's menu as an operator without a mouse opens it: Tab until the company list has
    // the focus, Down until the row is selected, each press seen before the next, then Shift+F10.
    // The open menu; null when it did not open.
    static HWND OpenCompanyMenuFromTheKeyboard(const ModalRun& run, int row) {
        const SharedKeyboard keyboard(run.Thread());
        HWND list = CompanyList(run);
        for (int press = 0; keyboard.Attached() && press < 4 && GetFocus() != list; ++press) {
            HWND before = GetFocus();
            PostMessageW(before, WM_KEYDOWN, VK_TAB, 0);
            WaitUntil([&] { return GetFocus() != before; });
        }
        const auto mark = [&] { return static_cast<int>(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0)); };
        for (int press = 0; GetFocus() == list && press <= ItemCount(list) && mark() != row; ++press) {
            const int before = mark();
            PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
            WaitUntil([&] { return mark() != before; });
        }
        if (GetFocus() != list || mark() != row)
            return nullptr;
        SharedKeyboard::SetShift(true);
        PostMessageW(list, WM_SYSKEYDOWN, VK_F10, 0);
        PostMessageW(list, WM_SYSKEYUP, VK_F10, 0xC0000001);
        HWND menu = nullptr;
        WaitUntil([&] { return (menu = FindPopupMenu(run.Thread())) != nullptr; });
        return menu;
    }

    static std::string CompanyDsnPath(int number) {
        char name[16];
        std::snprintf(name, sizeof name, "tq%04d.dsn", number);
        return Narrow(kToolDir) + name;
    }

    std::map<std::string, DemoTable> demo;
    Folder installBefore;
    bool installKept = false;
};

// The tqsys.dsn a conversion to the stand-in writes.
const std::string kNewSystemDsn =
    "[ODBC]\r\nDRIVER={SQL Server}\r\nUID=tqsys\r\nAnsiNPW=No\r\nDATABASE=Varnik_tqsys\r\n"
    "APP= Microsoft Open Database Connectivity\r\nSERVER=127.0.0.1\r\nTRUSTED_CONNECTION=NO\r\n"
    "Description = Varnik L\xF6n systemdatabas\r\n";

std::string FileIn(const Folder& folder, const std::u16string& name) {
    return folder.count(name) ? folder.at(name) : "<missing>";
}

const std::string kFirstLine = "001 Klicka Starta för att påbörja konverteringen";
const std::string kStarting =
    "Startar. För att välja databasserver för Varnik_tqsys väljer du ett aktivt företag i listan nedan.";
const std::string kMayNeedLogin = "Du kan eventuellt behöva logga in.";
const std::string kDoubleClick =
    "Dubbelklicka på ett företags nummer nedan för att välja databasserver för Varnik_tqsys";

// --- the start checks, as the operator meets them -----------------------------------------------

TEST_F(OperatorRun, WithoutTheInstallationFolderStartWritesOneLineNamingIt) {
    const std::u16string missing = kInstallDir + u" 3.x";
    ASSERT_FALSE(fs::exists(PathOf(missing)));
    ModalRun run(kMainCaption, [&] { return ShowMainDialog(missing); });
    ASSERT_TRUE(Start(run, 1));

    EXPECT_EQ(LogLines(run), (std::vector<std::string>{
                                 kFirstLine, "002 Det verkar som om Varnik Lön 3.x inte är installerat i katalogen " +
                                                 Narrow(missing) + ". Installera detta före du kör konverteringen."}));
    EXPECT_EQ(ItemCount(CompanyList(run)), 0);
    EXPECT_TRUE(IsWindowEnabled(run.Item(IDC_START)));
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
}

TEST_F(OperatorRun, WithoutTqsysDsnBesideTheProgramStartSaysWhereItLookedAndAnotherStartFindsIt) {
    const fs::path localDsn = PathOf(kToolDir + u"tqsys.dsn");
    ModalRun run(kMainCaption);
    {
        const MovedAside aside(localDsn);
        ASSERT_TRUE(aside.Moved());
        ASSERT_TRUE(Start(run, 3));
        EXPECT_EQ(LogLines(run), (std::vector<std::string>{kFirstLine, "002 " + kStarting, "003 " + kMayNeedLogin,
                                                           "004 Hittade ingen tqsys.dsn när vi försökte med " +
                                                               Narrow(kToolDir) + "tqsys.dsn"}));
        EXPECT_EQ(ItemCount(CompanyList(run)), 0);
    }
    // The operator copies the file in and clicks once more.
    ASSERT_TRUE(fs::exists(localDsn));
    ASSERT_TRUE(StartWithCompanies(run));
    const auto lines = LogLines(run);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()),
              (std::vector<std::string>{"005 " + kStarting, "006 " + kMayNeedLogin,
                                        "007 Hittade en tqsys.dsn som " + Narrow(kToolDir) + "tqsys.dsn",
                                        "008 " + kDoubleClick}));
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
}

TEST_F(OperatorRun, ACompanyServerThatRefusesTheConnectionEndsTheRunAndChangesNothing) {
    const std::u16string number = u"3";
    const fs::path dsn = PathOf(Text(CompanyDsnPath(3)));
    const std::string original = ReadBytes(dsn).value_or("");
    const std::string portItem = "PORT=" + Setting("DALTRIX_STANDIN_PORT") + "\r\n";
    ASSERT_NE(original.find(portItem), std::string::npos)
        << "the laid-out " << CompanyDsnPath(3) << " names no " << portItem;
    const RefusingPort refusing;
    ASSERT_NE(refusing.Port(), 0);
    std::string unreachable = original;
    unreachable.replace(unreachable.find(portItem), portItem.size(),
                        "PORT=" + std::to_string(refusing.Port()) + "\r\n");
    const Rewritten rewritten(dsn, unreachable);
    ASSERT_TRUE(rewritten.Done());

    const bool databaseBefore = ServerHasSystemDatabase();
    ModalRun run(kMainCaption);
    ASSERT_TRUE(StartWithCompanies(run));
    const int row = RowOf(run, number);
    ASSERT_GE(row, 0);
    ASSERT_TRUE(Convert(run, row));

    const auto lines = LogLines(run);
    ASSERT_EQ(lines.size(), 9u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[5], "006 Företag 3 är valt");
    EXPECT_EQ(lines[6], "007 DSN är FILEDSN=" + CompanyDsnPath(3) + ";");
    const std::string failure = "008 Kunde inte öppna databasen: ";
    EXPECT_EQ(lines[7].rfind(failure, 0), 0u) << lines[7];
    EXPECT_GT(lines[7].size(), failure.size()) << "the driver's own words are missing";
    EXPECT_EQ(lines[7].find(Narrow(kPassword)), std::string::npos) << lines[7];
    EXPECT_EQ(lines[8], "009 Kunde inte bestämma serveradress");
    EXPECT_EQ(FindDialog(run.Thread(), kMessageBoxCaption), nullptr);
    EXPECT_TRUE(IsWindowEnabled(run.Item(IDC_START)));
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
    EXPECT_EQ(ServerHasSystemDatabase(), databaseBefore);
}

// --- a driver that only the other build of the tool sees ---------------------------------------

// The failure line's text after its fixed words: the driver manager's, and then the hint.
void ExpectEndsWithTheHint(const std::string& line, const std::string& fixed) {
    ASSERT_EQ(line.rfind(fixed, 0), 0u) << line;
    const std::string hint = Narrow(ExpectedHint());
    if (hint.empty()) {
        EXPECT_EQ(line.find("drivrutinen"), std::string::npos) << line;
        return;
    }
    ASSERT_GT(line.size(), fixed.size() + hint.size()) << "the driver manager's own words are missing: " << line;
    EXPECT_EQ(line.substr(line.size() - hint.size()), hint) << line;
}

std::string DsnNaming(const std::wstring& driver) {
    return "[ODBC]\r\nDRIVER=" + Narrow(std::u16string(driver.begin(), driver.end())) + "\r\nDATABASE=tqsys\r\n";
}

TEST_F(OperatorRun, AnOldSystemDatabaseWhoseDriverOnlyTheOtherBuildSeesNamesThatBuild) {
    const std::wstring driver = UniqueDriverName();
    const InstalledDriver installed(driver, kOtherView);
    const Rewritten rewritten(PathOf(kToolDir + u"tqsys.dsn"), DsnNaming(driver));
    ASSERT_TRUE(rewritten.Done());

    ModalRun run(kMainCaption);
    ASSERT_TRUE(Start(run, 4));
    const auto lines = LogLines(run);
    ASSERT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[3], "004 Hittade en tqsys.dsn som " + Narrow(kToolDir) + "tqsys.dsn");
    ExpectEndsWithTheHint(lines[4], "005 Kunde inte öppna systemdatabasen tqsys.dsn, fel ");
    EXPECT_EQ(ItemCount(CompanyList(run)), 0);
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
}

TEST_F(OperatorRun, ACompanyWhoseDriverOnlyTheOtherBuildSeesNamesThatBuildAndChangesNothing) {
    const std::wstring driver = UniqueDriverName();
    const InstalledDriver installed(driver, kOtherView);
    const Rewritten rewritten(PathOf(Text(CompanyDsnPath(3))), DsnNaming(driver));
    ASSERT_TRUE(rewritten.Done());

    ModalRun run(kMainCaption);
    ASSERT_TRUE(StartWithCompanies(run));
    const int row = RowOf(run, u"3");
    ASSERT_GE(row, 0);
    ASSERT_TRUE(Convert(run, row));
    const auto lines = LogLines(run);
    ASSERT_EQ(lines.size(), 9u) << ::testing::PrintToString(lines);
    ExpectEndsWithTheHint(lines[7], "008 Kunde inte öppna databasen: ");
    EXPECT_EQ(lines[8], "009 Kunde inte bestämma serveradress");
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
}

// A Yes/No box the run asks in, with the dialog's caption: a dialog box of the thread other than
// the main dialog itself. Null when there is none.
HWND FindQuestion(const ModalRun& run) {
    HWND found = nullptr;
    ForEachThreadWindow(run.Thread(), [&](HWND hwnd) {
        if (hwnd != run.Window() && ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd) &&
            WindowText(hwnd) == kMainCaption)
            found = hwnd;
        return found == nullptr;
    });
    return found;
}

// A double-click on the company's row, and the wait for the read-back's question; null, with the
// test failed, when none came.
HWND ConvertUntilTheQuestion(const ModalRun& run, const std::u16string& number) {
    const HWND list = run.Item(IDC_COMPANY_LIST);
    const auto numbers = ColumnTexts(list, 0);
    const auto row = std::find(numbers.begin(), numbers.end(), number);
    if (row == numbers.end()) {
        ADD_FAILURE() << "company " << Narrow(number) << " is not listed";
        return nullptr;
    }
    DoubleClickRow(list, static_cast<int>(row - numbers.begin()));
    HWND question = nullptr;
    if (!WaitUntil([&] { return (question = FindQuestion(run)) != nullptr; }, kRunPatience)) {
        const HWND log = run.Item(IDC_LOG_LIST);
        ADD_FAILURE() << "no question; the last line: " << Narrow(ItemText(log, ItemCount(log) - 1));
    }
    return question;
}

// No in the real question box, and the wait for the line saying that nothing changed.
::testing::AssertionResult AnswerNo(const ModalRun& run, HWND question) {
    PostMessageW(GetDlgItem(question, IDNO), BM_CLICK, 0, 0);
    const std::u16string stopped = u"Konverteringen avbr\u00f6ts. Inga filer i " + kInstallDir + u" har \u00e4ndrats.";
    const auto last = [&] { return ItemText(run.Item(IDC_LOG_LIST), ItemCount(run.Item(IDC_LOG_LIST)) - 1); };
    if (!WaitUntil([&] { return last().substr(4) == stopped; }))
        return ::testing::AssertionFailure() << "the last line: " << Narrow(last());
    Settle(run.Window());
    return ::testing::AssertionSuccess();
}

TEST_F(OperatorRun, AConnectionDroppedMidMigrationAnsweredNoInTheMessageBoxChangesNoFile) {
    const fs::path dsn = PathOf(Text(CompanyDsnPath(7)));
    const std::string original = ReadBytes(dsn).value_or("");
    const std::string portItem = "PORT=" + Setting("DALTRIX_STANDIN_PORT") + "\r\n";
    ASSERT_NE(original.find(portItem), std::string::npos);
    ASSERT_FALSE(Setting("DALTRIX_DROPPING_STANDIN_PORT").empty()) << "run_conversion_test.sh starts it";
    std::string dropping = original;
    dropping.replace(dropping.find(portItem), portItem.size(),
                     "PORT=" + Setting("DALTRIX_DROPPING_STANDIN_PORT") + "\r\n");
    const Rewritten rewritten(dsn, dropping);
    ASSERT_TRUE(rewritten.Done());

    ModalRun run(kMainCaption);
    ASSERT_TRUE(StartWithCompanies(run));
    const HWND question = ConvertUntilTheQuestion(run, u"7");
    ASSERT_NE(question, nullptr);

    // The list runs 12, 7, 3, 2, 1: the connection dropped at 7, so it and every later company is
    // missing, and the parameter row; the log shows each behind the question.
    const auto lines = LogLines(run);
    const std::vector<std::string> missing{"Företag 7 saknas i Varnik_tqsys", "Företag 3 saknas i Varnik_tqsys",
                                           "Företag 2 saknas i Varnik_tqsys", "Företag 1 saknas i Varnik_tqsys",
                                           "Parameterraden saknas i Varnik_tqsys"};
    ASSERT_GE(lines.size(), missing.size());
    std::vector<std::string> last;
    for (auto line = lines.end() - static_cast<long>(missing.size()); line != lines.end(); ++line)
        last.push_back(line->substr(4));
    EXPECT_EQ(last, missing);

    const auto texts = ChildTexts(question);
    EXPECT_NE(std::find_if(texts.begin(), texts.end(),
                           [](const std::wstring& text) {
                               return text.rfind(
                                          L"Varnik_tqsys saknar uppgifter eller har andra v\u00e4rden \u00e4n den "
                                          L"gamla systemdatabasen (se loggen).",
                                          0) == 0 &&
                                      text.find(L"Vill du forts\u00e4tta?") != std::wstring::npos;
                           }),
              texts.end())
        << ::testing::PrintToString(texts);
    ASSERT_NE(GetDlgItem(question, IDYES), nullptr);
    ASSERT_NE(GetDlgItem(question, IDNO), nullptr);
    const auto isDefault = [&](int button) {
        return (GetWindowLongW(GetDlgItem(question, button), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    };
    EXPECT_TRUE(isDefault(IDNO)) << "No is the default button";
    EXPECT_FALSE(isDefault(IDYES));

    ASSERT_TRUE(AnswerNo(run, question));
    EXPECT_EQ(FindQuestion(run), nullptr);
    EXPECT_EQ(LogLines(run).size(), lines.size() + 1);
    EXPECT_TRUE(IsWindowEnabled(run.Item(IDC_START)));
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
}

// --- the company's menu from the keyboard -------------------------------------------------------

TEST_F(OperatorRun, TheCompanysMenuFromTheKeyboardChecksAndChangesNothing) {
    ModalRun run(kMainCaption);
    ASSERT_TRUE(StartWithCompanies(run));
    const int row = RowOf(run, u"7");
    ASSERT_GT(row, 0) << "a row below the top one shows that the arrow keys reached it";
    const size_t before = LogLines(run).size();
    HWND menu = OpenCompanyMenuFromTheKeyboard(run, row);
    ASSERT_NE(menu, nullptr) << "no menu opened";
    std::vector<std::wstring> texts;
    for (const MenuItem& item : ItemsOf(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0))))
        texts.push_back(item.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Kontrollera mot den h\u00e4r servern (\u00e4ndrar ingenting)",
                                                L"Konvertera till den h\u00e4r servern"}));

    ASSERT_TRUE(ChooseMenuItem(menu, 0));
    ASSERT_TRUE(WaitUntil([&] { return LogLines(run).back().find("Kontrollen är klar") == 4; }, kRunPatience))
        << "the last line: " << LogLines(run).back();
    const auto lines = LogLines(run);
    ASSERT_GT(lines.size(), before);
    EXPECT_EQ(lines[before].substr(4), "Kontrollerar om företag 7 kan konverteras. Ingenting ändras.");
    EXPECT_EQ(lines.back().substr(4), "Kontrollen är klar: inga hinder. Företag 7 kan konverteras.")
        << ::testing::PrintToString(lines);
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
    EXPECT_FALSE(ServerHasSystemDatabase());
}

// --- the complete conversion: last, since the database it creates stays on the server ----------

TEST_F(OperatorRun, ACompleteConversionCopiesTheSystemDatabaseAndRepointsTheInstallation) {
    ASSERT_EQ(installBefore.size(), 1u) << "the installation folder is not as demo/layout.sh lays it out";
    ASSERT_EQ(installBefore.count(u"tqsys.dsn"), 1u);
    ASSERT_FALSE(ServerHasSystemDatabase()) << "the stand-in holds Varnik_tqsys already";
    const Folder toolFolder = Snapshot(kToolDir);

    ModalRun run(kMainCaption);
    ASSERT_TRUE(StartWithCompanies(run));

    // The driver returns the rows in the order they were inserted; each goes on top.
    std::vector<Row> listed;
    for (int row = 0; row < ItemCount(CompanyList(run)); ++row)
        listed.push_back({ItemText(CompanyList(run), row, 0), ItemText(CompanyList(run), row, 1),
                          ItemText(CompanyList(run), row, 2)});
    std::vector<Row> newestFirst;
    for (auto company = Companies().rows.rbegin(); company != Companies().rows.rend(); ++company)
        newestFirst.push_back(AsListed(Companies(), *company));
    EXPECT_EQ(Describe(listed), Describe(newestFirst));

    const std::u16string number = u"7";
    const int row = RowOf(run, number);
    ASSERT_GT(row, 0) << "a row below the top one shows that the click hit its row";
    ASSERT_TRUE(Convert(run, row));

    const std::string dsn = CompanyDsnPath(7);
    EXPECT_EQ(LogLines(run),
              CompleteRun({kFirstLine, "002 " + kStarting, "003 " + kMayNeedLogin,
                           "004 Hittade en tqsys.dsn som " + Narrow(kToolDir) + "tqsys.dsn", "005 " + kDoubleClick,
                           "006 Företag 7 är valt", "007 DSN är FILEDSN=" + dsn + ";", "008 Server är 127.0.0.1"},
                          static_cast<int>(Companies().rows.size())));
    if (HWND box = FindDialog(run.Thread(), kMessageBoxCaption))
        ADD_FAILURE() << "a message box: " << ::testing::PrintToString(ChildTexts(box));
    EXPECT_FALSE(IsWindowEnabled(run.Item(IDC_START))) << "\"Starta\" stays enabled after a complete run";
    // The list view selected the row itself, from the mouse.
    EXPECT_EQ(SendMessageW(CompanyList(run), LVM_GETSELECTIONMARK, 0, 0), row);
    EXPECT_EQ(SendMessageW(CompanyList(run), LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED),
              static_cast<LRESULT>(LVIS_SELECTED));
    for (const auto& line : LogLines(run))
        EXPECT_EQ(line.find(Narrow(kPassword)), std::string::npos) << line;

    // Daltrix.log beside the program ends with this start's part: its header, then every line.
    const std::string saved = ReadBytes(PathOf(kToolDir + u"Daltrix.log")).value_or("");
    std::string expectedEnd;
    for (const auto& line : LogLines(run))
        expectedEnd += line + "\r\n";
    ASSERT_GE(saved.size(), expectedEnd.size());
    EXPECT_EQ(saved.substr(saved.size() - expectedEnd.size()), expectedEnd);
    const std::string beforeLines = saved.substr(0, saved.size() - expectedEnd.size());
    const size_t header = beforeLines.rfind("=== Daltrix ");
    ASSERT_NE(header, std::string::npos);
    EXPECT_EQ(beforeLines.find("\r\n", header), beforeLines.size() - 2) << "the header line comes right before";
    EXPECT_EQ(saved.find(Narrow(kPassword)), std::string::npos);

    // The installation folder: the new system DSN, the old one kept and the record saying so,
    // every company DSN.
    const Folder install = Snapshot(kInstallDir);
    std::set<std::u16string> expectedNames{u"tqsys.dsn", u"tqsys.bak", kKeptRecordName};
    EXPECT_EQ(ReadKeptRecord(CString(kInstallDir)).value_or(std::vector<KeptEntry>{}),
              (std::vector<KeptEntry>{{u"tqsys.dsn", u"tqsys.bak"}}));
    for (const auto& [name, bytes] : toolFolder) {
        if (!IsCompanyDsn(name))
            continue;
        expectedNames.insert(name);
        EXPECT_EQ(install.count(name) ? install.at(name) : "<missing>", bytes) << Narrow(name);
    }
    EXPECT_EQ(expectedNames.size(), 3 + Companies().rows.size()) << "one DSN file per demo company";
    std::set<std::u16string> names;
    for (const auto& entry : install)
        names.insert(entry.first);
    EXPECT_EQ(Describe(std::vector<std::u16string>(names.begin(), names.end())),
              Describe(std::vector<std::u16string>(expectedNames.begin(), expectedNames.end())));
    EXPECT_EQ(FileIn(install, u"tqsys.dsn"), kNewSystemDsn);
    EXPECT_EQ(FileIn(install, u"tqsys.bak"), installBefore.at(u"tqsys.dsn"));

    // The server: every company and the parameter row, as the old system database holds them.
    std::vector<Row> companies;
    for (const Row& company : Companies().rows)
        companies.push_back(AsStoredOnServer(Companies(), company));
    std::sort(companies.begin(), companies.end(),
              [](const Row& a, const Row& b) { return std::stoi(Narrow(*a[0])) < std::stoi(Narrow(*b[0])); });
    EXPECT_EQ(Describe(ServerRows(SelectAll("TQ_FORETAG", Companies(), u" order by Nummer"))), Describe(companies));
    std::vector<Row> parameters;
    for (const Row& parameter : Parameters().rows)
        parameters.push_back(AsStoredOnServer(Parameters(), parameter));
    EXPECT_EQ(Describe(ServerRows(SelectAll("TQ_PARAMETRAR", Parameters()))), Describe(parameters));
}

// Varnik_tqsys as the complete conversion left it holds what the old system holds: the menu's
// conversion runs through without a question.
TEST_F(OperatorRun, TheCompanysMenuFromTheKeyboardConvertsAsADoubleClickDoes) {
    ASSERT_TRUE(ServerHasSystemDatabase()) << "the complete conversion runs first and leaves Varnik_tqsys";
    ModalRun run(kMainCaption);
    ASSERT_TRUE(StartWithCompanies(run));
    const int row = RowOf(run, u"7");
    ASSERT_GT(row, 0);
    const int before = ItemCount(Log(run));
    HWND menu = OpenCompanyMenuFromTheKeyboard(run, row);
    ASSERT_NE(menu, nullptr) << "no menu opened";
    ASSERT_TRUE(ChooseMenuItem(menu, 1));
    ASSERT_TRUE(RunEnded(run, before));

    const auto lines = LogLines(run);
    EXPECT_EQ(lines[static_cast<size_t>(before)].substr(4), "Företag 7 är valt");
    EXPECT_EQ(lines.back().substr(4), "Klart! Klicka Avsluta") << ::testing::PrintToString(lines);
    const Folder install = Snapshot(kInstallDir);
    EXPECT_EQ(FileIn(install, u"tqsys.dsn"), kNewSystemDsn);
    EXPECT_EQ(FileIn(install, u"tqsys.bak"), installBefore.at(u"tqsys.dsn"));
}

// The Varnik_tqsys the complete conversion left, with one company's name gone stale and the
// parameter row's password changed: a second run finds both among rows it did not insert, shows no
// secret, and the real question answered No leaves the installation folder as it was.
TEST_F(OperatorRun, AStaleVarnikTqsysIsFoundAndTheQuestionAnsweredNoChangesNoFile) {
    ASSERT_TRUE(ServerHasSystemDatabase()) << "the complete conversion runs first and leaves Varnik_tqsys";
    ServerExecute(u"UPDATE TQ_FORETAG SET Namn = 'Gammalt namn AB' WHERE Nummer = 7");
    ServerExecute(u"UPDATE TQ_PARAMETRAR SET Password = 'Gammalt-Hemligt'");

    ModalRun run(kMainCaption);
    ASSERT_TRUE(StartWithCompanies(run));
    const HWND question = ConvertUntilTheQuestion(run, u"7");
    ASSERT_NE(question, nullptr);
    const auto lines = LogLines(run);
    ASSERT_GE(lines.size(), 2u);
    std::string oldName;
    for (const Row& company : Companies().rows)
        if (company[0] == std::u16string(u"7"))
            oldName = Narrow(*company[1]);
    EXPECT_EQ(lines[lines.size() - 2].substr(4), "Företag 7 har andra värden i Varnik_tqsys: Namn: gamla systemet '" +
                                                     oldName + "', Varnik_tqsys 'Gammalt namn AB'");
    EXPECT_EQ(lines.back().substr(4),
              "Parameterraden har andra värden i Varnik_tqsys: Password: värdena skiljer sig (visas inte)");
    for (const auto& line : lines)
        EXPECT_EQ(line.find("Gammalt-Hemligt"), std::string::npos) << line;

    ASSERT_TRUE(AnswerNo(run, question));
    EXPECT_EQ(Snapshot(kInstallDir), installBefore);
}

}  // namespace
