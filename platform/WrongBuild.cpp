#include "WrongBuild.h"

#include "ConnectString.h"

CString WrongBuildHint(sys::DriverInstalled installed) {
    switch (installed) {
        case sys::DriverInstalled::For32BitOnly:
            return u" (drivrutinen finns bara för 32-bitarsprogram: använd Daltrix x86)";
        case sys::DriverInstalled::For64BitOnly:
            return u" (drivrutinen finns bara för 64-bitarsprogram: använd Daltrix x64)";
        default:
            return CString();
    }
}

bool IsDriverNotFound(const CDBException& error) {
    return error.m_strStateNativeOrigin.Find(u"State:IM002") >= 0 || error.m_strError.Find(u"Can't open lib") >= 0;
}

void AddWrongBuildHint(CDBException& error, const CString& connect) {
    if (!IsDriverNotFound(error))
        return;
    const CString driver = DriverName(connect);
    if (!driver.IsEmpty())
        error.m_strError += WrongBuildHint(sys::FindOdbcDriver(driver));
}
