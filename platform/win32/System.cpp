// Operating-system services on Windows: the Win32 and C runtime calls themselves, so that the
// error numbers the logic reports are the ones the system gives.
#include "platform/win32/Win32Api.h"

#include "platform/System.h"

#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <memory>
#include <set>
#include <type_traits>

namespace sys {

namespace {

struct SidDeleter {
    void operator()(void* sid) const { FreeSid(sid); }
};

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

FileHandle OpenForReading(const CString& path) {
    HANDLE handle = CreateFileW(win32::Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct FindCloser {
    void operator()(HANDLE handle) const { FindClose(handle); }
};

bool EndsWithSeparator(const std::wstring& path) {
    return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed)
        return path;
    full.resize(written);
    return full;
}

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

RegistryKey OpenKey(HKEY parent, const wchar_t* path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return nullptr;
    return RegistryKey(key);
}

// Installed in one registry view: named in its "ODBC Drivers" list, which the ODBC
// administrator shows, or with a key of its own, which the driver manager loads it from.
bool ViewHasDriver(REGSAM view, const CString& name) {
    const RegistryKey drivers = OpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ODBC\\ODBCINST.INI", view);
    if (!drivers)
        return false;
    const RegistryKey list = OpenKey(drivers.get(), L"ODBC Drivers", view);
    if (list && RegQueryValueExW(list.get(), win32::Wide(name), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return true;
    return OpenKey(drivers.get(), win32::Wide(name), view) != nullptr;
}

}  // namespace

bool IsAdministrator() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID group = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &group))
        return false;
    const std::unique_ptr<void, SidDeleter> administrators(group);
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators.get(), &member))
        return false;
    return member != FALSE;
}

CString ModuleFileName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A path longer than the buffer comes back cut off; older systems then leave out the zero.
    return win32::FromWide(path, wcsnlen(path, length));
}

std::vector<CString> CommandLineArguments() {
    int count = 0;
    std::unique_ptr<LPWSTR, decltype(&LocalFree)> arguments(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    std::vector<CString> result;
    for (int i = 1; arguments && i < count; ++i)
        result.push_back(win32::FromWide(arguments.get()[i], wcslen(arguments.get()[i])));
    return result;
}

bool PathIsMissing(const CString& path) {
    return GetFileAttributesW(win32::Wide(path)) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool PathExists(const CString& path) {
    return GetFileAttributesW(win32::Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const CString& path) {
    const DWORD attributes = GetFileAttributesW(win32::Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int UnlinkNarrow(const std::string& narrowPath) {
    return _unlink(narrowPath.c_str()) == 0 ? 0 : errno;
}

namespace {

// The system's own words for an error, in the language of the operator's Windows.
CString SystemText(DWORD error) {
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, static_cast<DWORD>(std::size(text)), nullptr);
    if (length == 0)
        return CString::Format(u"Systemfel %d", {static_cast<int>(error)});
    return win32::FromWide(text, length).TrimRight();
}

// The runtime library's error number for what MoveFileExW reports, as _wrename would give it.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        default:
            return EINVAL;
    }
}

int Move(const CString& from, const CString& to, DWORD flags) {
    // Write-through: the call returns once the new name is on the disk.
    if (MoveFileExW(win32::Wide(from), win32::Wide(to), flags | MOVEFILE_WRITE_THROUGH))
        return 0;
    return ErrnoOf(GetLastError());
}

struct DescriptorCloser {
    void operator()(int* fd) const { _close(*fd); }
};

// Opens with `flags`, writes every byte, and flushes it to the disk (_commit is FlushFileBuffers)
// before closing.
int WriteWhole(const std::string& narrowPath, int flags, const std::vector<unsigned char>& bytes) {
    int fd = _open(narrowPath.c_str(), flags | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return errno;
    // Closed by hand below, where its result counts; the guard covers only an early return.
    std::unique_ptr<int, DescriptorCloser> guard(&fd);
    for (size_t written = 0; written < bytes.size();) {
        const unsigned step = static_cast<unsigned>(std::min<size_t>(bytes.size() - written, 1u << 30));
        const int wrote = _write(fd, bytes.data() + written, step);
        if (wrote <= 0)
            return wrote < 0 ? errno : ENOSPC;
        written += static_cast<size_t>(wrote);
    }
    if (_commit(fd) != 0)
        return errno;
    guard.release();
    return _close(fd) == 0 ? 0 : errno;
}

}  // namespace

int Rename(const CString& from, const CString& to) {
    return Move(from, to, 0);
}

int ReplaceFile(const CString& from, const CString& to) {
    return Move(from, to, MOVEFILE_REPLACE_EXISTING);
}

int WriteNewFile(const std::string& narrowPath, const std::vector<unsigned char>& bytes) {
    return WriteWhole(narrowPath, _O_CREAT | _O_TRUNC, bytes);
}

int CreateNewFile(const std::string& narrowPath, const std::vector<unsigned char>& bytes) {
    const int error = WriteWhole(narrowPath, _O_CREAT | _O_EXCL, bytes);
    if (error != 0 && error != EEXIST)
        _unlink(narrowPath.c_str());
    return error;
}

CString ErrorNumberText(int error) {
    return win32::FromWide(_wcserror(error), wcslen(_wcserror(error)));
}

std::optional<std::vector<unsigned char>> ReadWholeFile(const CString& path) {
    const FileHandle file = OpenForReading(path);
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x7FFFFFFF)
        return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    size_t filled = 0;
    while (filled < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &read, nullptr))
            return std::nullopt;
        if (read == 0)
            break;  // the file got shorter while we read it
        filled += read;
    }
    bytes.resize(filled);
    return bytes;
}

std::vector<DirectoryEntry> ListDirectory(const CString& folder) {
    std::wstring base(win32::Wide(folder));
    if (base.empty())
        base = L".";
    const std::wstring pattern = base + (EndsWithSeparator(base) ? L"*" : L"\\*");

    std::vector<DirectoryEntry> entries;
    WIN32_FIND_DATAW found{};
    HANDLE first = FindFirstFileW(pattern.c_str(), &found);
    if (first == INVALID_HANDLE_VALUE)
        return entries;
    const std::unique_ptr<void, FindCloser> search(first);

    std::wstring prefix = FullPath(base);
    if (!EndsWithSeparator(prefix))
        prefix += L'\\';
    do {
        const std::wstring name(found.cFileName);
        if (name == L"." || name == L"..")
            continue;
        const std::wstring full = prefix + name;
        entries.push_back({win32::FromWide(name.c_str(), name.size()), win32::FromWide(full.c_str(), full.size())});
    } while (FindNextFileW(search.get(), &found));
    return entries;
}

DriverInstalled FindOdbcDriver(const CString& name) {
    // A 32-bit Windows has one view and ignores the flags, so the other view is this one again.
    constexpr bool k64Bit = sizeof(void*) == 8;
    if (name.IsEmpty())
        return DriverInstalled::Nowhere;
    if (ViewHasDriver(k64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY, name))
        return DriverInstalled::ForThisBuild;
    if (ViewHasDriver(k64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, name))
        return k64Bit ? DriverInstalled::For32BitOnly : DriverInstalled::For64BitOnly;
    return DriverInstalled::Nowhere;
}

namespace {

// GetPrivateProfileStringW's whole answer, the buffer grown while the answer may have been cut: a
// value is cut one character short of the buffer, a list of keys two.
std::wstring ProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* file) {
    std::wstring buffer(1024, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetPrivateProfileStringW(section, key, L"", buffer.data(), size, file);
        if (length < size - (key ? 1 : 2)) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::optional<std::vector<std::pair<CString, CString>>> ReadProfileSection(const CString& path,
                                                                           const CString& section) {
    // A bare file name would be looked for in the Windows folder.
    const std::wstring file = FullPath(win32::Wide(path));
    const std::wstring name(win32::Wide(section));
    const std::wstring keys = ProfileString(name.c_str(), nullptr, file.c_str());
    std::vector<std::pair<CString, CString>> items;
    std::set<std::u16string> listed;  // in capitals, as keys compare
    // The list is zero-terminated keys and ends at an empty one.
    for (size_t at = 0; at < keys.size() && keys[at] != L'\0'; at += wcslen(keys.c_str() + at) + 1) {
        const CString key = win32::FromWide(keys.c_str() + at);
        if (!listed.insert(CString(key).MakeUpper().Str()).second)
            continue;
        const std::wstring value = ProfileString(name.c_str(), win32::Wide(key), file.c_str());
        items.emplace_back(key, win32::FromWide(value.c_str()));
    }
    return items;
}

int WideToNarrow(unsigned codePage, const char16_t* text, int length, char* buffer, int size, unsigned& error) {
    const int written = WideCharToMultiByte(codePage, 0, reinterpret_cast<const wchar_t*>(text), length, buffer, size,
                                            nullptr, nullptr);
    error = written == 0 ? GetLastError() : 0;
    return written;
}

struct AppendFile::Impl {
    FileHandle file;
};

AppendFile::AppendFile() : m_impl(std::make_unique<Impl>()) {
}
AppendFile::~AppendFile() = default;

bool AppendFile::Open(const CString& path, CString& error) {
    // Appending access alone: every write lands at the end, also when another program appends too.
    HANDLE handle = CreateFileW(win32::Wide(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = SystemText(GetLastError());
        return false;
    }
    m_impl->file.reset(handle);
    return true;
}

bool AppendFile::IsEmpty() const {
    LARGE_INTEGER size{};
    return m_impl->file && GetFileSizeEx(m_impl->file.get(), &size) && size.QuadPart == 0;
}

bool AppendFile::Append(const std::vector<unsigned char>& bytes, CString& error) {
    DWORD written = 0;
    if (!WriteFile(m_impl->file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        error = SystemText(GetLastError());
        return false;
    }
    if (written != bytes.size()) {
        error = SystemText(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

CString ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = static_cast<DWORD>(std::size(name));
    return GetComputerNameW(name, &length) ? win32::FromWide(name, length) : CString();
}

LocalTime Now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace sys
