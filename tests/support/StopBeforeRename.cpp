// Loaded into Wine's server with LD_PRELOAD. The server renames files for the programs it serves,
// so the rename that would give a file the name in DALTRIX_STOP_BEFORE_RENAME_TO never happens:
// the server writes DALTRIX_STOP_MARK and kills itself instead, and every program of the prefix
// dies with it, as at a power cut that comes just then.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

void StopBefore(const char* to) {
    const char* name = std::getenv("DALTRIX_STOP_BEFORE_RENAME_TO");
    if (!name || !*name || !to)
        return;
    const char* slash = std::strrchr(to, '/');
    if (std::strcmp(slash ? slash + 1 : to, name) != 0)
        return;
    if (const char* mark = std::getenv("DALTRIX_STOP_MARK"))
        ::close(::open(mark, O_CREAT | O_WRONLY, 0644));
    ::kill(::getpid(), SIGKILL);
}

template <typename Function>
Function Next(const char* symbol) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, symbol));
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    StopBefore(to);
    static const auto next = Next<int (*)(const char*, const char*)>("rename");
    return next(from, to);
}

extern "C" int renameat(int fromDir, const char* from, int toDir, const char* to) {
    StopBefore(to);
    static const auto next = Next<int (*)(int, const char*, int, const char*)>("renameat");
    return next(fromDir, from, toDir, to);
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    StopBefore(to);
    static const auto next = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return next(fromDir, from, toDir, to, flags);
}
