// The hint that names the other build when a connect fails for want of a driver that only the
// other build's programs see.
#include "platform/WrongBuild.h"

#include <gtest/gtest.h>

namespace {

using sys::DriverInstalled;

CDBException Refused(const char16_t* text, const char16_t* states) {
    return CDBException(text, states, -1);
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
    EXPECT_TRUE(IsDriverNotFound(Refused(u"Data source name not found and no default driver specified",
                                         u"State:IM002,Native:0,Origin:[Microsoft][ODBC Driver Manager]\n")));
    EXPECT_TRUE(IsDriverNotFound(Refused(u"Can't open lib 'libtdsodbc.so' : file not found",
                                         u"State:01000,Native:0,Origin:[unixODBC][Driver Manager]\n")));
    // A later record may carry the state: every record counts.
    EXPECT_TRUE(IsDriverNotFound(Refused(u"Warning Data source name not found",
                                         u"State:01000,Native:0,Origin:[x]\nState:IM002,Native:0,Origin:[y]\n")));
    EXPECT_FALSE(IsDriverNotFound(
        Refused(u"Login failed for user 'varnik'.", u"State:28000,Native:18456,Origin:[FreeTDS][SQL Server]\n")));
    EXPECT_FALSE(IsDriverNotFound(Refused(u"Unable to connect to data source", u"State:08001,Native:0,Origin:[x]\n")));
}

TEST(WrongBuildHint, IsNotAddedWhereTheSystemKeepsOneDriverList) {
    // Linux's driver manager has one list for every program: the posix system cannot tell.
    EXPECT_EQ(sys::FindOdbcDriver(u"SQL Server"), DriverInstalled::NotKnown);
    CDBException error = Refused(u"Data source name not found", u"State:IM002,Native:0,Origin:[x]\n");
    AddWrongBuildHint(error, u"DRIVER={SQL Server};SERVER=x;");
    EXPECT_EQ(error.m_strError, CString(u"Data source name not found"));
}

}  // namespace
