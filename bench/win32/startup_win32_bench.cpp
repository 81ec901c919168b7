// Start-up under Wine: the time from CreateProcess to the first line in the dialog's list view,
// for Daltrix.exe and for the bare dialog program built the same way. The two start in turn in
// the same prefix and wineserver, after one untimed start each; each figure is the median of its
// starts. The dialog is found by its class and caption and must belong to the new process; its
// list is asked for its item count every millisecond.
//   startup_win32_bench.exe DALTRIX.exe BARE_DIALOG.exe [RUNS]   (default 11)
#include "BareDialog.h"
#include "BenchFigures.h"
#include "tests/windows/DialogDriver.h"

#include "res/resource.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace dialog_driver;

namespace {

constexpr double kTargetRatio = 1.2;
constexpr auto kStartPatience = std::chrono::seconds(60);
constexpr DWORD kEndPatienceMs = 15000;
constexpr UINT kAskPatienceMs = 5000;

struct Program {
    std::string name;
    std::wstring path;
    std::wstring caption;
    int listId;
    std::vector<double> milliseconds;
};

std::wstring Widened(const char* text) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(units, 1)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), units);
    wide.resize(wide.size() - 1);
    return wide;
}

// The process's dialog once its list holds a line; null while it does not yet.
HWND DialogWithFirstLine(const Program& program, DWORD processId) {
    const HWND dialog = FindWindowW(L"#32770", program.caption.c_str());
    DWORD owner = 0;
    if (!dialog || (GetWindowThreadProcessId(dialog, &owner), owner != processId))
        return nullptr;
    const HWND list = GetDlgItem(dialog, program.listId);
    DWORD_PTR count = 0;
    if (!list || !SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kAskPatienceMs, &count))
        return nullptr;
    return count > 0 ? dialog : nullptr;
}

// Closes the dialog as its close box does and waits for the process to end, so that the next
// start finds no window of this one.
void EndProgram(HWND dialog, const PROCESS_INFORMATION& process) {
    if (dialog)
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, kEndPatienceMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kEndPatienceMs);
    }
}

// One start; nothing when the program did not show its first line in time.
std::optional<double> TimeStart(const Program& program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program.path + L"\"";
    const auto started = bench::Clock::now();
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        bench::Note(program.name + " did not start, error " + std::to_string(GetLastError()));
        return std::nullopt;
    }
    std::optional<double> milliseconds;
    HWND dialog = nullptr;
    while (bench::Clock::now() - started < kStartPatience) {
        if ((dialog = DialogWithFirstLine(program, process.dwProcessId)) != nullptr) {
            milliseconds = bench::Milliseconds(bench::Clock::now() - started);
            break;
        }
        // The wait is the pause between two looks, and notices a program that ended early.
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    if (!milliseconds)
        bench::Note(program.name + " showed no first line");
    EndProgram(dialog, process);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return milliseconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        bench::Note("usage: startup_win32_bench.exe DALTRIX.exe BARE_DIALOG.exe [RUNS]");
        return 2;
    }
    const int runs = std::max(1, argc > 3 ? std::atoi(argv[3]) : 11);
    std::vector<Program> programs{{"Daltrix.exe", Widened(argv[1]), kMainCaption, IDC_LOG_LIST, {}},
                                  {"bare dialog", Widened(argv[2]), L"" BARE_DIALOG_CAPTION, IDC_BARE_LIST, {}}};

    // The first start of each reads its files from disk and fills Wine's caches.
    for (const Program& program : programs)
        if (!TimeStart(program))
            return 1;
    for (int run = 0; run < runs; ++run) {
        // Taking turns, and swapping who goes first, spreads a busy moment of the machine over both.
        for (size_t turn = 0; turn < programs.size(); ++turn) {
            Program& program = programs[(turn + static_cast<size_t>(run)) % programs.size()];
            const auto milliseconds = TimeStart(program);
            if (!milliseconds)
                return 1;
            program.milliseconds.push_back(*milliseconds);
        }
    }

    std::vector<double> medians;
    for (const Program& program : programs) {
        std::string all;
        for (double value : program.milliseconds)
            all.append(" ").append(bench::Fixed(value, 0));
        bench::Note(program.name + " starts (ms):" + all);
        medians.push_back(bench::Median(program.milliseconds));
        bench::PrintValue(
            "Start-up to the first log line, " + program.name + " (median of " + std::to_string(runs) + ")",
            bench::Fixed(medians.back(), 0) + " ms");
    }
    const double ratio = medians[0] / medians[1];
    bench::PrintFigure("Start-up, Daltrix.exe / bare dialog", bench::Fixed(ratio, 2),
                       "<= " + bench::Fixed(kTargetRatio, 1), ratio <= kTargetRatio);
    return 0;
}
