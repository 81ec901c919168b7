#include "OldSystemServer.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testing_support {

namespace {

using namespace std::chrono_literals;

// An initdb and a start are quick on an idle machine; a loaded one may take many times as long.
constexpr auto kStartPatience = 60s;
// The script's own stop waits up to 30 s before it kills.
constexpr auto kStopPatience = 35s;

const std::string kScript = std::string(DALTRIX_SOURCE_DIR) + "/tools/old-system-server.sh";

const char* KindName(OldSystemServer::Kind kind) {
    return kind == OldSystemServer::Kind::PostgreSql ? "postgresql" : "mariadb";
}

}  // namespace

OldSystemServer::OldSystemServer(Kind kind) : m_kind(kind) {
    // The server runs as its own user, which must get through the folder to its own.
    fs::permissions(m_dir.path(), fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
    std::vector<std::string> args{"/bin/bash", kScript, "run", KindName(kind), (m_dir / "server").string()};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + kScript);
    try {
        WaitUntilReady();
    } catch (...) {
        Stop();
        throw;
    }
}

OldSystemServer::~OldSystemServer() {
    Stop();
}

std::string OldSystemServer::Script(const std::string& action) const {
    return "/bin/bash '" + kScript + "' " + action + " " + KindName(m_kind) + " '" + (m_dir / "server").string() + "'";
}

bool OldSystemServer::Exited() {
    if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
        m_pid = -1;
    return m_pid <= 0;
}

void OldSystemServer::WaitUntilReady() {
    const auto deadline = std::chrono::steady_clock::now() + kStartPatience;
    const std::string ready = Script("ready");
    while (std::system(ready.c_str()) != 0) {
        if (Exited())
            throw std::runtime_error(std::string(KindName(m_kind)) +
                                     " ended at start: " + ReadFile(m_dir / "server" / "server.log"));
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error(std::string(KindName(m_kind)) + " was not ready within " +
                                     std::to_string(kStartPatience.count()) + " s");
        std::this_thread::sleep_for(100ms);
    }
}

void OldSystemServer::Stop() {
    if (Exited())
        return;
    std::system(Script("stop").c_str());
    const auto deadline = std::chrono::steady_clock::now() + kStopPatience;
    while (!Exited()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
}

void OldSystemServer::Run(const std::vector<std::string>& statements) const {
    std::string script;
    for (const auto& sql : statements)
        script += sql + ";\n";
    const fs::path file = m_dir / "script.sql";
    WriteFile(file, script);
    if (std::system((Script("sql") + " < '" + file.string() + "'").c_str()) != 0)
        throw std::runtime_error(std::string(KindName(m_kind)) + " refused the script:\n" + script);
}

void OldSystemServer::WriteSystemDsn(const fs::path& dsnFile, const std::string& driver) const {
    WriteFile(dsnFile, "[ODBC]\r\nDRIVER=" + driver + "\r\n" + ReadFile(m_dir / "server" / "dsn"));
}

}  // namespace testing_support
