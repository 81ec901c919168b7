// Operating-system services the logic needs. Paths are Windows-shaped ("\" separators); the
// posix back end reads each "\" as "/", so the same logic runs on Linux.
#pragma once

#include "CString.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sys {

// True when the process runs with the built-in Administrators group enabled in its token.
bool IsAdministrator();

// The running program's full path, as a buffer of 260 characters holds it.
CString ModuleFileName();

// The arguments the program was started with, without its own name, split as Windows splits a
// command line (quotes group, backslashes before a quote escape it).
std::vector<CString> CommandLineArguments();

// Missing only when the query fails with "file not found": a folder, a file, and any other
// failure (path not found, access denied) count as present.
bool PathIsMissing(const CString& path);
bool IsDirectory(const CString& path);
// True only when the query finds the path: a missing folder on the way makes it false.
bool PathExists(const CString& path);

// The runtime library's file calls: 0 on success, else the error number.
int UnlinkNarrow(const std::string& narrowPath);
// Never replaces a file: EEXIST when `to` is taken. The new name is on the disk before it returns.
int Rename(const CString& from, const CString& to);
// Moves the file over `to` in one step, replacing a file of that name: `to` is either the old
// file or the moved one, never neither, and the new name is on the disk before it returns. 0 on
// success, else an error number as errno gives it.
int ReplaceFile(const CString& from, const CString& to);

// Creates or empties the file and writes the bytes through to the disk; 0 on success, else the
// error number of the first step that failed (open, write, flush or close).
int WriteNewFile(const std::string& narrowPath, const std::vector<unsigned char>& bytes);
// The same for a file that must not be there yet: EEXIST, and nothing touched, when the name is
// taken; a file it created but could not fill is removed again.
int CreateNewFile(const std::string& narrowPath, const std::vector<unsigned char>& bytes);

// The system's text for an error number of the runtime library (errno).
CString ErrorNumberText(int error);

std::optional<std::vector<unsigned char>> ReadWholeFile(const CString& path);

struct DirectoryEntry {
    CString name;  // as stored on disk
    CString fullPath;
};
// The entries of a folder (no "." or ".."), with the folder resolved to its full form. Empty
// when the folder cannot be read.
std::vector<DirectoryEntry> ListDirectory(const CString& folder);

// A file that lines are added to at its end. Each Append is one write call with nothing held
// back in the process, so whatever was appended survives the process being killed. Others may
// read the file, and append to it, while it is open here.
class AppendFile {
public:
    AppendFile();
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens the file, creating it when it is missing; false with the system's text in `error`.
    bool Open(const CString& path, CString& error);
    // True when the file that is open holds no byte yet.
    bool IsEmpty() const;
    // False with the system's text in `error` when not every byte was written.
    bool Append(const std::vector<unsigned char>& bytes, CString& error);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// The computer's name as the network knows it.
CString ComputerName();

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime Now();

// The running program's version ("1.0.0.1") and the processor it was built for ("x86", "x64").
CString ProgramVersion();
CString ProgramArchitecture();

// Where an ODBC driver is installed. Windows keeps one list of drivers for 32-bit programs and
// one for 64-bit programs, and a program sees only its own.
enum class DriverInstalled {
    NotKnown,      // the system keeps no such lists
    ForThisBuild,  // this program's list has it
    For32BitOnly,  // only 32-bit programs see it
    For64BitOnly,  // only 64-bit programs see it
    Nowhere,
};
DriverInstalled FindOdbcDriver(const CString& name);

// The keys of a section of an initialization file, each once, with their values, as the profile
// functions give them (GetPrivateProfileStringW): the list of the section's keys, then each key's
// value. Nothing where the system has no profile functions.
std::optional<std::vector<std::pair<CString, CString>>> ReadProfileSection(const CString& path, const CString& section);

// WideCharToMultiByte's contract: bytes written, or 0 with the system error in `error`
// (122 when the buffer is too small; a size of 0 asks for the size needed).
int WideToNarrow(unsigned codePage, const char16_t* text, int length, char* buffer, int size, unsigned& error);
constexpr unsigned kThreadAnsiCodePage = 3;  // CP_THREAD_ACP
constexpr unsigned kErrorInsufficientBuffer = 122;
}  // namespace sys
