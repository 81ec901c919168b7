// A conversion and a restore killed just before each of their file operations in the installation
// folder, one stop per run: after every stop the product finds a whole tqsys.dsn, every file it
// had and no company file cut short, and running the same verb again ends byte for byte where an
// uninterrupted run ends.
#include "support/ConversionBed.h"

#include "platform/posix/PosixHost.h"

#include <functional>
#include <map>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// The installation folder's files by name, with their bytes.
using Folder = std::map<std::string, std::string>;

struct Site {
    const char* name;
    Folder extra;  // beside the product's tqsys.dsn
};

void PrintTo(const Site& site, std::ostream* out) {
    *out << site.name;
}

class CrashSweep : public ConversionBed, public ::testing::WithParamInterface<Site> {
protected:
    Folder Snapshot() const {
        Folder files;
        for (const auto& entry : fs::directory_iterator(install))
            files[entry.path().filename().string()] = ReadFile(entry.path());
        return files;
    }

    void Lay(const Folder& files) const {
        fs::remove_all(install);
        fs::create_directories(install);
        for (const auto& [name, bytes] : files)
            WriteFile(install / name, bytes);
    }

public:
    void Convert() {
        StartToolAgain();
        StartAndConvert("7");
    }

    void Restore() {
        StartToolAgain();
        headless::TheScreen().answers = {true};
        headless::SysCommand(*f.dlg, IDM_RESTORE);
    }

protected:
    // The verb run here, its file operations in the installation folder counted.
    int Counted(const std::function<void()>& verb) const {
        posix_host::WatchFileOperations(WinPath(install));
        verb();
        const int seen = posix_host::FileOperationsSeen();
        posix_host::EndWatch();
        return seen;
    }

    // The verb run in a process of its own that dies just before file operation `stopAt`, as a
    // process killed there does: nothing after it runs, no error path, no destructor.
    void KilledBefore(int stopAt, const std::function<void()>& verb) const {
        const pid_t child = ::fork();
        if (child == 0) {
            posix_host::WatchFileOperations(WinPath(install), stopAt);
            verb();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), posix_host::kStoppedExitCode) << "no file operation " << stopAt;
    }

    // The folder as the product finds it after a stop: a whole tqsys.dsn, its own or the new one;
    // every file it had, under some name; each company file its own or the tool's, never a part.
    void ExpectAWorkingProduct() const {
        const Folder& product = m_product;
        const Folder& converted = m_converted;
        const Folder now = Snapshot();
        ASSERT_TRUE(now.contains("tqsys.dsn"));
        EXPECT_TRUE(now.at("tqsys.dsn") == product.at("tqsys.dsn") || now.at("tqsys.dsn") == converted.at("tqsys.dsn"));
        std::multiset<std::string> contents;
        for (const auto& [name, bytes] : now)
            contents.insert(bytes);
        for (const auto& [name, bytes] : product)
            EXPECT_TRUE(contents.contains(bytes)) << name << " is lost";
        for (const char* company : {"tq0001.dsn", "tq0007.dsn"}) {
            if (now.contains(company)) {
                EXPECT_TRUE(now.at(company) == ReadFile(program / company) ||
                            (product.contains(company) && now.at(company) == product.at(company)))
                    << company << " is cut short";
            }
        }
    }

    using Verb = void (CrashSweep::*)();

    // `verb`, in a folder laid out as `start`, stopped before each of its `steps` file operations
    // in turn: after each stop the product works, and the verbs of `then`, run one after the other,
    // each end in the folder the uninterrupted run left.
    void EveryStop(const Folder& start, int steps, Verb verb, const std::vector<std::pair<Verb, Folder>>& then) {
        for (int stopAt = 1; stopAt <= steps; ++stopAt) {
            SCOPED_TRACE("stopped before file operation " + std::to_string(stopAt));
            Lay(start);
            KilledBefore(stopAt, [this, verb] { (this->*verb)(); });
            ExpectAWorkingProduct();
            for (const auto& [again, uninterrupted] : then) {
                (this->*again)();
                EXPECT_EQ(Snapshot(), uninterrupted);
            }
        }
    }

    Folder m_product;
    Folder m_converted;
};

TEST_P(CrashSweep, EveryStopLeavesAWorkingProductAndRunningAgainFinishesTheJob) {
    m_product = Snapshot();
    m_product.insert(GetParam().extra.begin(), GetParam().extra.end());
    Lay(m_product);
    const int conversionSteps = Counted([this] { Convert(); });
    ASSERT_EQ(f.Log().back().substr(4), "Klart! Klicka Avsluta");
    m_converted = Snapshot();
    const int restoreSteps = Counted([this] { Restore(); });
    const Folder restored = Snapshot();
    for (const auto& [name, bytes] : m_product)
        EXPECT_EQ(restored.at(name), bytes) << name << " did not come back";
    RecordProperty("conversion_file_operations", conversionSteps);
    RecordProperty("restore_file_operations", restoreSteps);

    EveryStop(m_product, conversionSteps, &CrashSweep::Convert,
              {{&CrashSweep::Convert, m_converted}, {&CrashSweep::Restore, restored}});
    EveryStop(m_converted, restoreSteps, &CrashSweep::Restore, {{&CrashSweep::Restore, restored}});
}

INSTANTIATE_TEST_SUITE_P(Sites, CrashSweep,
                         ::testing::Values(Site{"Fresh", {}}, Site{"LivedIn",
                                                                   {{"tqsys.bak", "[ODBC]\r\nDRIVER=Äldre\r\n"},
                                                                    {"tq0007.dsn", "the installation's own"}}}),
                         [](const ::testing::TestParamInfo<Site>& info) { return std::string(info.param.name); });

}  // namespace
