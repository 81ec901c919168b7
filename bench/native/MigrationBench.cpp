// The migration of a large bureau: MigrateSystemData for N companies into the SQL Server
// stand-in through FreeTDS, and the read-back that proves it (VerifySystemDatabase), against a
// bare ODBC loop that sends only the very insert texts Daltrix sent, on the same driver and a
// stand-in of its own. Both for a fresh database and for a repeated run in which the server
// rejects every row.
//   migration_bench [companies=10000] [rounds=3]
#include "BenchSupport.h"

#include "platform/headless/HeadlessWindow.h"
#include "res/resource.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace testing_support;

namespace {

// The least a correct client does per statement: send it, drain its results, and on an error
// read the diagnostic records.
class BareOdbcLoop {
public:
    explicit BareOdbcLoop(const std::string& connect) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        const std::u16string wide = CString::FromUtf8(connect).GetString();
        if (!SQL_SUCCEEDED(SQLDriverConnectW(m_dbc, nullptr, const_cast<SQLWCHAR*>(Wide(wide)), SQL_NTS, nullptr, 0,
                                             nullptr, SQL_DRIVER_NOPROMPT)))
            throw std::runtime_error("bare loop: cannot connect");
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &m_stmt);
    }
    ~BareOdbcLoop() {
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    BareOdbcLoop(const BareOdbcLoop&) = delete;
    BareOdbcLoop& operator=(const BareOdbcLoop&) = delete;

    // Returns how many statements the server rejected.
    int Run(const std::vector<std::u16string>& statements) {
        int rejected = 0;
        for (const auto& sql : statements) {
            SQLRETURN rc = SQLExecDirectW(m_stmt, const_cast<SQLWCHAR*>(Wide(sql)), SQL_NTS);
            while (rc != SQL_NO_DATA && SQL_SUCCEEDED(rc))
                rc = SQLMoreResults(m_stmt);
            if (rc == SQL_ERROR) {
                ++rejected;
                ReadDiagnostics();
            }
            SQLFreeStmt(m_stmt, SQL_CLOSE);
        }
        return rejected;
    }

private:
    static const SQLWCHAR* Wide(const std::u16string& text) { return reinterpret_cast<const SQLWCHAR*>(text.c_str()); }

    void ReadDiagnostics() {
        SQLWCHAR state[6], message[1024];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        for (SQLSMALLINT record = 1;
             SQLGetDiagRecW(SQL_HANDLE_STMT, m_stmt, record, state, &native, message, 1024, &length) == SQL_SUCCESS;
             ++record) {
        }
    }

    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
};

std::vector<std::u16string> Wide(const std::vector<std::string>& texts) {
    std::vector<std::u16string> wide;
    for (const auto& text : texts)
        wide.push_back(CString::FromUtf8(text).GetString());
    return wide;
}

// The read-back's statements on its own session: the switch to Varnik_tqsys, one query a table.
constexpr size_t kReadBackStatements = 3;
// The migration's own beside its inserts: the switch to Varnik_tqsys and the layout's three
// queries (columns, each table's index), which the bare loop sends too.
constexpr size_t kMigrationStatementsBesideInserts = 4;

struct Round {
    double daltrixFresh, daltrixRepeated, bareFresh, bareRepeated;
    double readBack;  // of the last run, within its Daltrix figure
};

Round MeasureRound(const bench::OldSite& site, int companies) {
    Round round{};
    StandIn daltrixServer;
    daltrixServer.WriteCompanyDsn(site.program / "tq0001.dsn");
    DialogFixture f{site.program};
    f.dlg->m_installDir = WinPath(site.install);
    headless::Click(*f.dlg, IDC_START);
    if (f.dlg->m_companyList.GetItemCount() != companies)
        throw std::runtime_error("the old system's companies were not all listed");
    f.dlg->m_companyConnect = CString(u"FILEDSN=") + WinPath(site.program / "tq0001.dsn") + u";";
    if (!f.dlg->ReadOldParameterRow() || !f.dlg->AnalyzeCompanyConnection() || !f.dlg->CreateSystemDatabase())
        throw std::runtime_error("the old parameter row could not be read, or Varnik_tqsys not created");

    const size_t creation = daltrixServer.Statements().size();
    bool accepted = true;
    bool proven = false;
    const auto migrateAndVerify = [&] {
        accepted = f.dlg->MigrateSystemData();
        round.readBack = bench::Seconds(bench::Timed([&] { proven = f.dlg->VerifySystemDatabase(); }));
    };
    round.daltrixFresh = bench::Seconds(bench::Timed(migrateAndVerify));
    const std::vector<std::string> sent = daltrixServer.Statements();
    const size_t migration = static_cast<size_t>(companies) + 1 + kMigrationStatementsBesideInserts;
    if (!accepted || !proven || sent.size() != creation + migration + kReadBackStatements)
        throw std::runtime_error("the fresh migration did not insert every row, or its read-back failed");
    round.daltrixRepeated = bench::Seconds(bench::Timed(migrateAndVerify));
    if (accepted || !proven)
        throw std::runtime_error("the repeated migration was not rejected, or its read-back failed");

    // The bare loop's server gets the same database by the same creation statements, untimed.
    const auto begin = sent.begin() + static_cast<long>(creation);
    const auto creationTexts = Wide({sent.begin(), begin});
    const auto migrationTexts = Wide({begin, begin + static_cast<long>(migration)});
    StandIn bareServer;
    BareOdbcLoop bare(bareServer.ConnectString());
    bare.Run(creationTexts);
    int rejected = 0;
    round.bareFresh = bench::Seconds(bench::Timed([&] { rejected = bare.Run(migrationTexts); }));
    if (rejected != 0)
        throw std::runtime_error("the bare loop's fresh run was rejected");
    round.bareRepeated = bench::Seconds(bench::Timed([&] { rejected = bare.Run(migrationTexts); }));
    if (rejected != companies + 1)
        throw std::runtime_error("the bare loop's repeated run was not rejected row by row");
    return round;
}

// The ratio is taken within each round, where both sides ran a few seconds apart, and the figure
// is the median of the rounds' ratios: this machine's speed drifts by a third over minutes, which
// a ratio of medians taken across rounds would count against one side or the other.
void PrintComparison(const std::string& what, int companies, const std::vector<double>& daltrix,
                     const std::vector<double>& bare) {
    std::vector<double> ratios;
    for (size_t r = 0; r < daltrix.size(); ++r)
        ratios.push_back(daltrix[r] / bare[r]);
    const double ratio = bench::Median(ratios);
    bench::PrintFigure("Migration of " + std::to_string(companies) + " companies with its read-back, " + what +
                           ": Daltrix / bare ODBC loop",
                       bench::Fixed(bench::Median(daltrix), 2) + " s / " + bench::Fixed(bench::Median(bare), 2) +
                           " s (medians); median of the rounds' ratios " + bench::Fixed(ratio, 3),
                       "<= 1.15", ratio <= 1.15);
}

}  // namespace

int main(int argc, char** argv) {
    const int companies = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    try {
        TestOdbcDrivers drivers;
        const bench::OldSite site(companies);
        std::vector<double> daltrixFresh, daltrixRepeated, bareFresh, bareRepeated, readBack;
        for (int r = 0; r < rounds; ++r) {
            const Round round = MeasureRound(site, companies);
            daltrixFresh.push_back(round.daltrixFresh);
            daltrixRepeated.push_back(round.daltrixRepeated);
            bareFresh.push_back(round.bareFresh);
            bareRepeated.push_back(round.bareRepeated);
            readBack.push_back(round.readBack);
            bench::Note("round " + std::to_string(r + 1) + ": fresh " + bench::Fixed(round.daltrixFresh, 2) + " s / " +
                        bench::Fixed(round.bareFresh, 2) + " s, repeated " + bench::Fixed(round.daltrixRepeated, 2) +
                        " s / " + bench::Fixed(round.bareRepeated, 2) + " s, read-back " +
                        bench::Fixed(round.readBack, 2) + " s");
        }
        PrintComparison("fresh database (median of " + std::to_string(rounds) + ")", companies, daltrixFresh,
                        bareFresh);
        PrintComparison("repeated run, every row rejected (median of " + std::to_string(rounds) + ")", companies,
                        daltrixRepeated, bareRepeated);
        bench::PrintFigure("Read-back of " + std::to_string(companies) +
                               " companies, within the figures above (median of " + std::to_string(rounds) + ")",
                           bench::Fixed(bench::Median(readBack), 2) + " s", "-", true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "migration_bench: %s\n", e.what());
        return 1;
    } catch (const CException& e) {
        std::fprintf(stderr, "migration_bench: %s\n", e.GetErrorMessage().ToUtf8().c_str());
        return 1;
    }
    return 0;
}
