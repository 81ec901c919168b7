// The framework's exception family. Exceptions are thrown and caught by value (reference), so
// nothing needs to be released after a catch.
#pragma once

#include "CString.h"

#include <vector>

class CException {
public:
    virtual ~CException() = default;
    // The text an operator sees for this failure.
    virtual CString GetErrorMessage() const = 0;
};

// One diagnostic record of a failed database call: its SQLSTATE, the driver's text without its
// bracketed origin ("[FreeTDS][SQL Server]"), the native error code and that origin.
struct DiagnosticRecord {
    CString state;
    CString message;
    int native = 0;
    CString origin{};
};

class CDBException;

// Raises the database error of these records (the first is the main one) and the ODBC return
// code: the one way every database error is raised.
[[noreturn]] void ThrowDBException(std::vector<DiagnosticRecord> records, int retCode = -1);

// A failed database call; m_strError holds the driver's texts, every record's joined by a blank.
class CDBException : public CException {
public:
    CString GetErrorMessage() const override { return m_strError; }
    // The first record's SQLSTATE ("23000") and native error code (2601); empty and 0 without one.
    const CString& SqlState() const { return m_sqlState; }
    int NativeError() const { return m_nativeError; }

    CString m_strError;
    CString m_strStateNativeOrigin;  // "State:23000,Native:2601,Origin:[FreeTDS][SQL Server]" per record
    int m_nRetCode;

private:
    CDBException(const std::vector<DiagnosticRecord>& records, int retCode);
    friend void ThrowDBException(std::vector<DiagnosticRecord> records, int retCode);

    CString m_sqlState;
    int m_nativeError = 0;
};

// A system call that failed with a Windows error code (HRESULT form).
class COleException : public CException {
public:
    explicit COleException(long scode) : m_sc(scode) {}
    CString GetErrorMessage() const override;
    long m_sc;
};

class CMemoryException : public CException {
public:
    CString GetErrorMessage() const override { return u"Out of memory."; }
};
