// What a company's completed connect string tells about its server.
#pragma once

#include "platform/CString.h"

struct ConnectionFacts {
    bool trustedConnection = false;
    int driverKind = 0;  // 0 not recognised, 2 a SQL Server driver
    CString driver;
    CString server;
};

constexpr int kSqlServerDriver = 2;

// The connect string with its password item replaced by asterisks, or cut off when it is last.
CString MaskPassword(CString connect);

// Updates the facts from a completed connect string. Facts only ever grow: the flag and the
// kind are never lowered, and a driver or server is replaced only when the text names one.
void ReadConnectionFacts(const CString& completedConnect, ConnectionFacts& facts);
