// The framework's exception family. Exceptions are thrown and caught by value (reference), so
// nothing needs to be released after a catch.
#pragma once

#include "CString.h"

class CException {
public:
    virtual ~CException() = default;
    // The text an operator sees for this failure.
    virtual CString GetErrorMessage() const = 0;
};

// A failed database call; m_strError holds the driver's message texts.
class CDBException : public CException {
public:
    CDBException(CString error, CString stateNativeOrigin, int retCode)
        : m_strError(std::move(error)), m_strStateNativeOrigin(std::move(stateNativeOrigin)), m_nRetCode(retCode) {}
    CString GetErrorMessage() const override { return m_strError; }

    CString m_strError;
    CString m_strStateNativeOrigin;  // "State:23000,Native:2601,Origin:[FreeTDS][SQL Server]" per record
    int m_nRetCode;
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
