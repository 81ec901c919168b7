// The hint that names the other build when a connect fails for want of a driver that only the
// other build's programs see.
#include "platform/WrongBuild.h"

#include <gtest/gtest.h>

namespace {

using sys::DriverInstalled;

// The error a connect raised with these diagnostic records.
CDBException Refused(std::vector<DiagnosticRecord> records) {
    try {
        ThrowDBException(std::move(records));
    } catch (const CDBException& error) {
        return error;
    }
}

TEST(WrongBuildHint, NamesTheBuildThatSeesTheDriverAndNothingElse) {
    EXPECT_EQ(WrongBuildHint(DriverInstalled::For32BitOnly),
              CString(u" (drivrutinen finns bara för 32-bitarsprogram: använd Daltrix x86)"));
    EXPECT_EQ(WrongBuildHint(DriverInstalled::For64BitOnly),
              CString(u" (drivrutinen finns bara för 64-bitarsprogram: använd Daltrix x64)"));
    for (const auto installed : {DriverInstalled::NotKnown, DriverInstalled::ForThisBuild, DriverInstalled::Nowhere})
        EXPECT_TRUE(WrongBuildHint(installed).IsEmpty());
}

TEST(WrongBuildHint, OnlyAMissingDriverCountsAsNotFound) {
    EXPECT_TRUE(IsDriverNotFound(Refused({{u"IM002", u"Data source name not found and no default driver specified", 0,
                                           u"[Microsoft][ODBC Driver Manager]"}})));
    EXPECT_TRUE(IsDriverNotFound(
        Refused({{u"01000", u"Can't open lib 'libtdsodbc.so' : file not found", 0, u"[unixODBC][Driver Manager]"}})));
    // A later record may carry the state: every record counts.
    EXPECT_TRUE(IsDriverNotFound(
        Refused({{u"01000", u"Warning", 0, u"[x]"}, {u"IM002", u"Data source name not found", 0, u"[y]"}})));
    EXPECT_FALSE(
        IsDriverNotFound(Refused({{u"28000", u"Login failed for user 'varnik'.", 18456, u"[FreeTDS][SQL Server]"}})));
    EXPECT_FALSE(IsDriverNotFound(Refused({{u"08001", u"Unable to connect to data source", 0, u"[x]"}})));
}

TEST(WrongBuildHint, IsNotAddedWhereTheSystemKeepsOneDriverList) {
    // Linux's driver manager has one list for every program: the posix system cannot tell.
    EXPECT_EQ(sys::FindOdbcDriver(u"SQL Server"), DriverInstalled::NotKnown);
    CDBException error = Refused({{u"IM002", u"Data source name not found", 0, u"[x]"}});
    AddWrongBuildHint(error, u"DRIVER={SQL Server};SERVER=x;");
    EXPECT_EQ(error.m_strError, CString(u"Data source name not found"));
}

}  // namespace
