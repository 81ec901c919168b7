// A connect that fails because its driver is installed only for the other build of this program
// (32-bit and 64-bit programs see separate driver lists on Windows) says which build to take.
#pragma once

#include "CString.h"
#include "Exceptions.h"
#include "System.h"

// The words that end the error when the driver is installed only for the other build; empty
// for every other answer.
CString WrongBuildHint(sys::DriverInstalled installed);

// True when a driver manager refused the connect for want of its driver: Windows answers IM002;
// unixODBC answers IM002 for an unknown name and 01000 "Can't open lib" for a missing library.
bool IsDriverNotFound(const CDBException& error);

// Ends the error of a failed connect with the hint for the DRIVER that `connect` names.
void AddWrongBuildHint(CDBException& error, const CString& connect);
