// What a company's completed connect string tells about its server.
#pragma once

#include "platform/ConnectString.h"
#include "platform/CString.h"

struct ConnectionFacts {
    bool trustedConnection = false;
    int driverKind = 0;  // 0 not recognised, 2 a SQL Server driver
    CString driver;
    CString server;
    // The connection's items about encryption and the server's certificate, as it names them:
    // without them ODBC Driver 18 refuses a server whose certificate it cannot check.
    ConnectItems encryptionItems;
};

constexpr int kSqlServerDriver = 2;
inline constexpr const char16_t* kUnknownServer = u"Okänd";

// The facts of one completed connect string, read item by item: keys are found whatever their
// letter case, and a password item is one item however its braced value reads, so no fact is
// ever taken from inside a password.
ConnectionFacts ReadConnectionFacts(const CString& completedConnect);

// The items about encryption and the server's certificate (Encrypt, TrustServerCertificate,
// HostNameInCertificate, ServerCertificate) that the new system DSN carries over.
bool IsEncryptionKey(const CString& key);

// The operator's reason, for the log, why the tool does not use a file DSN.
CString FileDsnRefusalText(const FileDsnRefusal& refusal);

// True when a system DSN with this driver and server can reach a server.
bool NamesKnownServer(const CString& driver, const CString& server);
