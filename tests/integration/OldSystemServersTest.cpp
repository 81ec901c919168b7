// The old system database on real servers behind tqsys.dsn: PostgreSQL through psqlODBC, its
// ANSI and its Unicode driver, and MariaDB through MariaDB Connector/ODBC. "Starta" lists what
// the driver fetches, and a whole conversion copies it into the SQL Server stand-in.
#include "support/ConversionBed.h"
#include "support/OldSystemServer.h"

#include <map>
#include <optional>

using namespace testing_support;

namespace {

using Kind = OldSystemServer::Kind;

struct OldDriver {
    std::string label;
    std::string driver;
    Kind server;
};

std::string DriverLabel(const ::testing::TestParamInfo<OldDriver>& info) {
    return info.param.label;
}

void PrintTo(const OldDriver& driver, std::ostream* out) {
    *out << driver.driver;
}

// The servers of this program, each started when a test first needs it and all stopped at the
// end: starting one takes seconds.
class OldSystemServers : public ::testing::Environment {
public:
    static OldSystemServer& Get(Kind kind) {
        auto& server = All()[kind];
        if (!server)
            server = std::make_unique<OldSystemServer>(kind);
        return *server;
    }
    void TearDown() override { All().clear(); }

private:
    static std::map<Kind, std::unique_ptr<OldSystemServer>>& All() {
        static std::map<Kind, std::unique_ptr<OldSystemServer>> servers;
        return servers;
    }
};

const auto* const g_servers = ::testing::AddGlobalTestEnvironment(new OldSystemServers);

struct Company {
    int number;
    std::string name;
    std::string fileDsn;
};

// The first `count` characters of a text that repeats `pattern`.
std::string RepeatedTo(const std::string& pattern, int count) {
    CString text;
    while (text.GetLength() < count)
        text += CString::FromUtf8(pattern);
    return text.Left(count).ToUtf8();
}

constexpr int kNameWidth = 128;
constexpr int kFileDsnWidth = 255;

// In the order they are inserted, which is the order a plain select returns them in.
const std::vector<Company> kCompanies{
    {1, "Acme AB", "tq0001.dsn"},
    {7, "Björk & Söner  ", "tq0007.dsn"},
    {12, "Åkeriet Älvdalen Östra AB", "tq0012.dsn"},
    {20, "", "tq0020.dsn"},
    {33, RepeatedTo("Förvaltning Åre Ängelholm Östersund ", kNameWidth), ""},
    {40, "O'Brien & Co", "tq0040.dsn"},
};

struct Parameter {
    std::string column;
    std::optional<std::string> value;
    bool text;
};

// The parameter row, in the old table's column order (OldSystemTables), one field NULL.
const std::vector<Parameter> kParameters{
    {"Licensnr", "4711", false},
    {"Licensagare", "Varnik Lön Åäö AB", true},
    {"Max_lontagare", "250", false},
    {"Max_foretag", "10", false},
    {"Kontrollsumma", "918273", false},
    {"Nyckel", "NYCKEL-ÅÄÖ", true},
    {"Major", "3", false},
    {"Minor", "2", false},
    {"Sokvag", "C:\\Program Files\\Varnik", true},
    {"Password", std::nullopt, true},
    {"MultiplaPerioder", "1", false},
};

std::string Literal(const std::optional<std::string>& value, bool text = true) {
    if (!value)
        return "NULL";
    if (!text)
        return *value;
    CString quoted = CString::FromUtf8(*value);
    quoted.Replace(u"'", u"''");
    return "'" + quoted.ToUtf8() + "'";
}

std::vector<std::string> OldSystemScript() {
    std::vector<std::string> sql{"DROP TABLE IF EXISTS TQ_FORETAG", "DROP TABLE IF EXISTS TQ_PARAMETRAR"};
    for (auto& table : OldSystemTables(OldColumns::Typed))
        sql.push_back(std::move(table));
    for (const auto& c : kCompanies)
        sql.push_back("INSERT INTO TQ_FORETAG VALUES(" + std::to_string(c.number) + ", " + Literal(c.name) + ", " +
                      Literal(c.fileDsn) + ")");
    std::string values;
    for (const auto& p : kParameters)
        values += (values.empty() ? "" : ", ") + Literal(p.value, p.text);
    sql.push_back("INSERT INTO TQ_PARAMETRAR VALUES(" + values + ")");
    return sql;
}

std::string PaddedTo(const std::string& text, int width) {
    std::u16string wide = CString::FromUtf8(text).Str();
    if (wide.size() < static_cast<size_t>(width))
        wide.resize(static_cast<size_t>(width), u' ');
    return CString(wide).ToUtf8();
}

std::string WithoutTrailingBlanks(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string Trimmed(const std::string& text) {
    return CString::FromUtf8(text).Trim().ToUtf8();
}

// The texts of the stop-icon message boxes, which show a database error that left a handler.
std::vector<std::string> StopMessages() {
    std::vector<std::string> texts;
    for (const auto& message : headless::TheScreen().stopMessages)
        texts.push_back(message.ToUtf8());
    return texts;
}

class OldSystemOnServer : public ConversionBed, public ::testing::WithParamInterface<OldDriver> {
protected:
    void SetUp() override {
        ConversionBed::SetUp();
        old = &OldSystemServers::Get(GetParam().server);
        old->Run(OldSystemScript());
        old->WriteSystemDsn(program / "tqsys.dsn", GetParam().driver);
    }

    // A char(n) value as this server's driver hands it over.
    std::string AsFetched(const std::string& stored, int width) const {
        return old->ReadsCharPadded() ? PaddedTo(stored, width) : WithoutTrailingBlanks(stored);
    }

    std::vector<Fields> ListedCompanies() const {
        std::vector<Fields> rows;
        for (int row = 0; row < f.dlg->m_companyList.GetItemCount(); ++row)
            rows.push_back({f.dlg->m_companyList.GetItemText(row, 0).ToUtf8(),
                            f.dlg->m_companyList.GetItemText(row, 1).ToUtf8(),
                            f.dlg->m_companyList.GetItemText(row, 2).ToUtf8()});
        return rows;
    }

    const OldSystemServer* old = nullptr;
};

TEST_P(OldSystemOnServer, StartaListsEveryCompanyExactlyAsTheDriverFetchesIt) {
    headless::Click(*f.dlg, IDC_START);
    ASSERT_EQ(f.LogFrom(3),
              (std::vector<std::string>{"004 Hittade en tqsys.dsn som " + WinPath(program / "tqsys.dsn").ToUtf8(),
                                        "005 Dubbelklicka på ett företags nummer nedan för att välja "
                                        "databasserver för Varnik_tqsys"}))
        << ::testing::PrintToString(StopMessages());

    // Each row goes on top, so the list shows the last one fetched first.
    std::vector<Fields> expected;
    for (auto c = kCompanies.rbegin(); c != kCompanies.rend(); ++c)
        expected.push_back(
            {std::to_string(c->number), AsFetched(c->name, kNameWidth), AsFetched(c->fileDsn, kFileDsnWidth)});
    const auto listed = ListedCompanies();
    ASSERT_EQ(listed.size(), expected.size());
    for (size_t row = 0; row < listed.size(); ++row)
        EXPECT_EQ(listed[row], expected[row]) << "row " << row;
}

TEST_P(OldSystemOnServer, AWholeConversionCopiesEveryCompanyAndTheParameterRowWithItsNull) {
    const LRESULT converted = StartAndConvert("7");
    EXPECT_EQ(StopMessages(), std::vector<std::string>{});
    EXPECT_EQ(f.Log(), CompleteRunOfCompany7(static_cast<int>(kCompanies.size())));
    ASSERT_EQ(converted, 0);

    std::map<std::string, Fields> copied;
    for (auto& row : ServerFields("select Nummer, Namn, FileDSN from TQ_FORETAG"))
        copied[row.at(0).value_or("<NULL>")] = std::move(row);
    ASSERT_EQ(copied.size(), kCompanies.size());
    for (const auto& c : kCompanies) {
        const Fields expected{std::to_string(c.number), Trimmed(c.name), Trimmed(c.fileDsn)};
        EXPECT_EQ(copied[std::to_string(c.number)], expected) << "company " << c.number;
    }

    std::string columns;
    for (const auto& p : kParameters)
        columns += (columns.empty() ? "" : ", ") + p.column;
    const auto parameters = ServerFields("select " + columns + " from TQ_PARAMETRAR");
    ASSERT_EQ(parameters.size(), 1u);
    ASSERT_EQ(parameters[0].size(), kParameters.size());
    for (size_t i = 0; i < kParameters.size(); ++i)
        EXPECT_EQ(parameters[0][i], kParameters[i].value) << kParameters[i].column;
}

INSTANTIATE_TEST_SUITE_P(PostgreSql, OldSystemOnServer,
                         ::testing::Values(OldDriver{"Ansi", kPostgreSqlAnsiDriver, Kind::PostgreSql},
                                           OldDriver{"Unicode", kPostgreSqlUnicodeDriver, Kind::PostgreSql}),
                         DriverLabel);
INSTANTIATE_TEST_SUITE_P(MariaDb, OldSystemOnServer,
                         ::testing::Values(OldDriver{"Unicode", kMariaDbDriver, Kind::MariaDb}), DriverLabel);

}  // namespace
