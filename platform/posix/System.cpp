// The system services on Linux, with the Windows results the logic relies on.
#include "PosixHost.h"

#include "platform/System.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <limits.h>
#include <optional>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::optional<CString> g_programPath;
std::optional<bool> g_administrator;

// The watch a test of killed runs sets on one folder: the calls that change files there, counted.
struct FileOperationWatch {
    std::string folder;  // native, ending in "/"
    int seen = 0;
    int stopAt = 0;
};
std::optional<FileOperationWatch> g_watch;

// Called just before each call that changes a file: under the watch, the call numbered `stopAt`
// never happens, and neither does anything after it, as when the process is killed there.
void BeforeChanging(const std::string& native) {
    if (!g_watch || native.rfind(g_watch->folder, 0) != 0)
        return;
    if (++g_watch->seen == g_watch->stopAt)
        ::_exit(posix_host::kStoppedExitCode);
}

CString WindowsShaped(const std::string& native) {
    CString path = CString::FromUtf8(native);
    path.Replace(u"/", u"\\");
    return path;
}

bool IsExistingDirectory(const std::string& native) {
    struct stat info {};
    return ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ParentOf(const std::string& native) {
    std::string trimmed = native;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}

// A rename is on the disk once the folder that holds the name is.
int SyncFolderOf(const std::string& native) {
    const int fd = ::open(ParentOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    BeforeChanging(from);
#ifdef SYS_renameat2
    constexpr unsigned kRenameNoReplace = 1;
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kRenameNoReplace) == 0)
        return SyncFolderOf(to);
    if (errno != ENOSYS && errno != EINVAL)
        return errno;
#endif
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? SyncFolderOf(to) : errno;
}

// Opens with `flags`, writes every byte, and flushes it to the disk before closing.
int WriteWhole(const std::string& native, int flags, const std::vector<unsigned char>& bytes) {
    BeforeChanging(native);
    const int fd = ::open(native.c_str(), flags | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    int error = 0;
    for (size_t written = 0; written < bytes.size() && error == 0;) {
        BeforeChanging(native);
        const ssize_t step = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (step > 0)
            written += static_cast<size_t>(step);
        else if (step == 0 || errno != EINTR)
            error = step < 0 ? errno : EIO;
    }
    if (error == 0) {
        BeforeChanging(native);
        if (::fsync(fd) != 0)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

}  // namespace

namespace posix_host {

void SetProgramPath(const CString& windowsShapedPath) {
    g_programPath = windowsShapedPath;
}

void UseRunningProgramPath() {
    g_programPath.reset();
}

void SetAdministrator(bool administrator) {
    g_administrator = administrator;
}

std::string NativePath(const std::string& narrowPath) {
    std::string native = narrowPath;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string NativePath(const CString& path) {
    return NativePath(path.ToUtf8());
}

void WatchFileOperations(const CString& folder, int stopAt) {
    std::string native = NativePath(folder);
    if (native.empty() || native.back() != '/')
        native += '/';
    g_watch = FileOperationWatch{native, 0, stopAt};
}

int FileOperationsSeen() {
    return g_watch ? g_watch->seen : 0;
}

void EndWatch() {
    g_watch.reset();
}

}  // namespace posix_host

namespace sys {

using posix_host::NativePath;

bool IsAdministrator() {
    return g_administrator.value_or(::geteuid() == 0);
}

CString ModuleFileName() {
    if (g_programPath)
        return g_programPath->Left(259);
    char buffer[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return WindowsShaped(std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0)).Left(259);
}

std::vector<CString> CommandLineArguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::vector<CString> arguments;
    for (std::string argument; std::getline(in, argument, '\0');)
        arguments.push_back(CString::FromUtf8(argument));
    if (!arguments.empty())
        arguments.erase(arguments.begin());
    return arguments;
}

// Windows tells "file not found" (the last part is missing) from "path not found" (a folder
// on the way is missing); only the first counts as missing.
bool PathIsMissing(const CString& path) {
    const std::string native = NativePath(path);
    struct stat info {};
    if (::stat(native.c_str(), &info) == 0)
        return false;
    return errno == ENOENT && IsExistingDirectory(ParentOf(native));
}

bool IsDirectory(const CString& path) {
    return IsExistingDirectory(NativePath(path));
}

bool PathExists(const CString& path) {
    struct stat info {};
    return ::lstat(NativePath(path).c_str(), &info) == 0;
}

int UnlinkNarrow(const std::string& narrowPath) {
    const std::string native = NativePath(narrowPath);
    BeforeChanging(native);
    return ::unlink(native.c_str()) == 0 ? 0 : errno;
}

// Like _wrename, a rename never replaces an existing file.
int Rename(const CString& from, const CString& to) {
    return RenameNoReplace(NativePath(from), NativePath(to));
}

// Like MoveFileExW, a read-only file in the way is not replaced, whoever asks.
int ReplaceFile(const CString& from, const CString& to) {
    const std::string target = NativePath(to);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return EACCES;
    BeforeChanging(target);
    return ::rename(NativePath(from).c_str(), target.c_str()) == 0 ? SyncFolderOf(target) : errno;
}

int WriteNewFile(const std::string& narrowPath, const std::vector<unsigned char>& bytes) {
    return WriteWhole(NativePath(narrowPath), O_CREAT | O_TRUNC, bytes);
}

int CreateNewFile(const std::string& narrowPath, const std::vector<unsigned char>& bytes) {
    const std::string native = NativePath(narrowPath);
    const int error = WriteWhole(native, O_CREAT | O_EXCL, bytes);
    if (error != 0 && error != EEXIST)
        ::unlink(native.c_str());
    return error;
}

CString ErrorNumberText(int error) {
    return CString::FromUtf8(std::strerror(error));
}

std::optional<std::vector<unsigned char>> ReadWholeFile(const CString& path) {
    const std::string native = NativePath(path);
    if (IsExistingDirectory(native))
        return std::nullopt;
    std::ifstream in(native, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

std::vector<DirectoryEntry> ListDirectory(const CString& folder) {
    std::vector<DirectoryEntry> entries;
    const std::string native = NativePath(folder);
    char resolved[PATH_MAX] = {};
    DIR* dir = ::opendir(native.c_str());
    if (!dir || !::realpath(native.c_str(), resolved)) {
        if (dir)
            ::closedir(dir);
        return entries;
    }
    std::string base = resolved;
    if (base.back() != '/')
        base += '/';
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        entries.push_back({CString::FromUtf8(name), WindowsShaped(base + name)});
    }
    ::closedir(dir);
    // Sorted, as an NTFS folder lists its names.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return entries;
}

int WideToNarrow(unsigned /*codePage: UTF-8 is Linux's only one*/, const char16_t* text, int length, char* buffer,
                 int size, unsigned& error) {
    const std::string narrow = CString(text, length).ToUtf8();
    const int needed = static_cast<int>(narrow.size());
    if (size == 0)
        return needed;
    if (needed > size) {
        error = kErrorInsufficientBuffer;
        return 0;
    }
    std::copy(narrow.begin(), narrow.end(), buffer);
    return needed;
}

struct AppendFile::Impl {
    int fd = -1;
    ~Impl() {
        if (fd >= 0)
            ::close(fd);
    }
};

AppendFile::AppendFile() : m_impl(std::make_unique<Impl>()) {
}
AppendFile::~AppendFile() = default;

bool AppendFile::Open(const CString& path, CString& error) {
    const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = ErrorNumberText(errno);
        return false;
    }
    m_impl = std::make_unique<Impl>();
    m_impl->fd = fd;
    return true;
}

bool AppendFile::IsEmpty() const {
    struct stat info {};
    return m_impl->fd >= 0 && ::fstat(m_impl->fd, &info) == 0 && info.st_size == 0;
}

bool AppendFile::Append(const std::vector<unsigned char>& bytes, CString& error) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t step = ::write(m_impl->fd, bytes.data() + written, bytes.size() - written);
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0) {
            error = ErrorNumberText(step < 0 ? errno : EIO);
            return false;
        }
        written += static_cast<size_t>(step);
    }
    return true;
}

CString ComputerName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return CString();
    return CString::FromUtf8(name);
}

LocalTime Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

// unixODBC keeps one driver list for every program of the machine.
DriverInstalled FindOdbcDriver(const CString& /*name*/) {
    return DriverInstalled::NotKnown;
}

std::optional<std::vector<std::pair<CString, CString>>> ReadProfileSection(const CString& /*path*/,
                                                                           const CString& /*section*/) {
    return std::nullopt;
}

}  // namespace sys
