// One table of file DSNs read by Windows' profile functions (the driver manager's reading) and by
// the reader the tool uses where there are none: every key the tool uses reads the same, and so do
// the items passed on to the driver. The rows the tool refuses say why.
#include "platform/win32/Win32Api.h"

#include "platform/ConnectString.h"
#include "platform/System.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <random>
#include <string>

namespace fs = std::filesystem;
using namespace std::string_literals;
using Kind = FileDsnRefusal::Kind;

void PrintTo(const CString& text, std::ostream* out) {
    *out << '"' << text.ToUtf8() << '"';
}

namespace {

std::string Utf16(const std::u16string& text, bool bigEndian = false) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t ch : text) {
        const char low = static_cast<char>(ch & 0xFF), high = static_cast<char>(ch >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

struct Row {
    const char* name;
    std::string bytes;
    std::optional<Kind> refused = std::nullopt;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

const std::string kLong(40000, 'w');

const Row kRows[] = {
    {"CrLf",
     "[ODBC]\r\nDRIVER={ODBC Driver 18 for SQL Server}\r\nSERVER=sql01\r\nUID=anna\r\nPWD=Hemligt\r\n"
     "DATABASE=Lon7\r\nEncrypt=yes\r\nTrustServerCertificate=no\r\nHostNameInCertificate=sql01.ab.se\r\n"},
    {"LfOnly", "[ODBC]\nDRIVER=SQL Server\nSERVER=sql01\nTrusted_Connection=Yes\n"},
    {"CrAloneEndsALine", "[ODBC]\rDRIVER=SQL Server\rDescription=Sju AB\rSERVER=127.0.0.2\r"},
    {"CrInsideALineHoldsAnEarlierServer", "[ODBC]\r\nDescription=Sju AB\rSERVER=127.0.0.2\r\nSERVER=sql01\r\n"},
    {"NoLineEndAtTheEnd", "[ODBC]\r\nSERVER=sql01"},
    {"OnlyTheFirstOdbcSectionCounts", "[ODBC]\r\nDRIVER=A\r\n[ODBC]\r\nSERVER=b\r\nDRIVER=B\r\n"},
    {"OtherSectionsAround", "SERVER=before\r\n[Other]\r\nSERVER=x\r\n[odbc]\r\nserver=y\r\n[Third]\r\nPWD=z\r\n"},
    {"HeaderWithBlanksAndTextAfterIt", "  [ ODBC ] rest\r\nSERVER=a\r\n"},
    {"HeaderClosedByItsLastBracket", "[ODBC]]\r\nSERVER=a\r\n[ODBC]\r\nSERVER=b\r\n"},
    {"UnclosedHeaderIsAKeysLine", "[ODBC]\r\nSERVER=a\r\n[Other\r\nUID=u\r\n[x=y\r\n"},
    {"DuplicateKeysFirstWins", "[ODBC]\r\nSERVER=a\r\nserver=b\r\nPWD=x\r\nPwd=y\r\n"},
    {"KeyWithoutEqualsAndNoValue", "[ODBC]\r\nSERVER=s\r\nTrusted_Connection\r\n"},
    {"KeyWithoutEqualsHidesALaterValue", "[ODBC]\r\nSERVER=s\r\nEncrypt\r\nEncrypt=yes\r\n", Kind::HiddenValue},
    {"LineWithoutAKeyEndsTheKeys", "[ODBC]\r\nDRIVER=X\r\n=value\r\nSERVER=s\r\n", Kind::LineWithoutKey},
    {"KeyWithSemicolon", "[ODBC]\r\nSERVER=good\r\nApp;SERVER=evil\r\n", Kind::KeyWithSemicolon},
    {"Blanks", "\t[ODBC]\x1A\r\n \tSERVER \t=\v sql01 \f\r\n\x1AUID = anna\x1A\r\n   \r\n\x1A"},
    {"NoBreakSpaceIsNoBlank", "[ODBC]\r\nSERVER=\xA0sql01\xA0\r\n"},
    {"Quotes",
     "[ODBC]\r\nPWD=\"Hem;ligt\"\r\nUID='anna'\r\nDATABASE=\"a\"b\"\r\nSERVER=\"x\r\nDescription=\"\r\n"
     "HostNameInCertificate=\"\"\r\nServerCertificate=' C:\\cert.cer '\r\nWSID='x\"\r\n"},
    {"Comments", "[ODBC]\r\n;SERVER=commented\r\n  ; UID=x\r\n#PWD=y\r\nSERVER=real\r\n"},
    {"ZeroEndsAValue", "[ODBC]\r\nSERVER=sql01\0-test\r\nPWD=\"abc\0def\"\r\nUID=a \0b\r\n"s},
    {"ZeroEndsAKey", "[ODBC]\r\nSERV\0ER=a\r\nUID \0x=u\r\n"s},
    {"CodePage1252", "[ODBC]\r\nUID=J\xF6rgen\r\nPWD=Pa\x80s\x96ord\x92s\x81\r\n"},
    {"Utf8WithoutMarkIsReadAsAnsi", "[ODBC]\r\nDATABASE=L\xC3\xB6n\r\n"},
    {"Utf16WithMark", Utf16(u"[ODBC]\r\nDATABASE=L\u00F6n\r\nSERVER=sql\u20AC\rUID=\u0100\r\n")},
    {"Utf16WithoutMark", Utf16(u"[ODBC]\r\nSERVER=s\r\n").substr(2)},
    {"Utf8Mark", "\xEF\xBB\xBF[ODBC]\r\nSERVER=a\r\n", Kind::ByteOrderMark},
    {"Utf8MarkBeforeAComment", "\xEF\xBB\xBF; Varnik\r\n[ODBC]\r\nDATABASE=L\xC3\xB6n\r\n", Kind::ByteOrderMark},
    {"Utf16BigEndianMark", Utf16(u"[ODBC]\r\nSERVER=a\r\n", true), Kind::ByteOrderMark},
    {"LongLines", "[ODBC]\r\nWSID=" + kLong + "\r\nPWD=" + kLong.substr(0, 5000) + "\r\nSERVER=after\r\n"},
    {"Empty", ""},
};

// The keys the tool reads itself or passes on to the driver.
const char16_t* const kToolKeys[] = {u"DRIVER",
                                     u"SERVER",
                                     u"TRUSTED_CONNECTION",
                                     u"Encrypt",
                                     u"TrustServerCertificate",
                                     u"HostNameInCertificate",
                                     u"ServerCertificate",
                                     u"DATABASE",
                                     u"UID",
                                     u"PWD"};

CString Profile(const CString& key, const fs::path& file) {
    std::wstring value(1 << 17, L'\0');
    const DWORD length = GetPrivateProfileStringW(L"ODBC", win32::Wide(key), L"", value.data(),
                                                  static_cast<DWORD>(value.size()), file.c_str());
    return win32::FromWide(value.c_str(), length);
}

class FileDsnReading : public ::testing::TestWithParam<Row> {
protected:
    void SetUp() override {
        std::random_device random;
        dir = fs::temp_directory_path() / ("daltrix-dsn-" + std::to_string(random()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_P(FileDsnReading, WindowsAndTheToolReadTheSame) {
    const Row& row = GetParam();
    const fs::path file = dir / "tq0001.dsn";
    std::ofstream(file, std::ios::binary) << row.bytes;
    const std::vector<unsigned char> bytes(row.bytes.begin(), row.bytes.end());
    const CString path(file.u16string());

    const auto refusal = RefuseFileDsn(bytes);
    EXPECT_EQ(refusal ? std::optional<Kind>(refusal->kind) : std::nullopt, row.refused);
    if (row.refused) {
        EXPECT_THROW(ExpandFileDsn(CString(u"FILEDSN=") + ConnectValue(path)), CFileDsnRefused);
    }

    const ConnectItems own = ParseFileDsn(bytes);
    const auto windows = sys::ReadProfileSection(path, u"ODBC");
    ASSERT_TRUE(windows.has_value());
    if (row.refused == Kind::ByteOrderMark) {
        // The reader follows Windows, which reads such a mark as text; Wine reads it as a mark.
        EXPECT_NE(*windows, own);
        return;
    }
    EXPECT_EQ(*windows, own);
    // A key after a line without a key is still found when asked for by name, though missing from
    // the list of keys: which of the two the driver manager sees is not known.
    if (row.refused == Kind::LineWithoutKey)
        return;
    for (const char16_t* key : kToolKeys)
        EXPECT_EQ(Profile(key, file), ItemValue(own, key).value_or(CString())) << CString(key).ToUtf8();
}

INSTANTIATE_TEST_SUITE_P(Rows, FileDsnReading, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
