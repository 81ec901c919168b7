// A repeated conversion of a large old system through the real dialog under Wine, against the
// SQL Server stand-in: every company is on the server already, so each one writes one log line
// (its insert fails). Timed with the dialog shown, where each AddLog repaints the log, and with
// the dialog hidden, where UpdateWindow has nothing to paint; shown and hidden runs alternate, and
// each figure is the median of its runs. A run is timed from the double-click on the company to
// the end of its database and DSN work, when it disables "Starta" (see WaitForRunEnd); the copy
// of the company DSN files and the two lines after it are left out.
//   conversion_win32_bench.exe COMPANIES [PAIRS]   (default 1 pair)
// run.sh lays out an old system with COMPANIES companies beside this program in C:\Verktyg\ and
// a stand-in behind the company DSNs; a first run, untimed, puts every company on the server.
#include "BenchFigures.h"
#include "tests/windows/DialogDriver.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"
#include "res/resource.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dialog_driver;

namespace {

constexpr double kTargetRatio = 1.5;
// "Starta" lists every company; a run of ten thousand companies may take minutes under Wine.
constexpr auto kListPatience = std::chrono::minutes(5);
constexpr auto kRunPatience = std::chrono::minutes(20);
constexpr DWORD kSlowPollMs = 250;
constexpr DWORD kQueueEmptyMs = 500;
// WaitUntil looks every 10 ms: the log every 5 s.
constexpr int kLooksPerLogCheck = 500;

// The fixed text a log format starts with, after its line number and up to its first value.
std::u16string Lead(const char16_t* format) {
    std::u16string text(format);
    text = text.substr(text.find(u' ') + 1);
    return text.substr(0, text.find(u'%'));
}

// A log line without its number.
std::u16string Message(const std::u16string& line) {
    const size_t blank = line.find(u' ');
    return blank == std::u16string::npos ? line : line.substr(blank + 1);
}

bool StartsWith(const std::u16string& text, const std::u16string& lead) {
    return text.rfind(lead, 0) == 0;
}

// The last line of a run, complete or ended early by a stage that failed.
bool EndsRun(const std::u16string& message) {
    return message == Lead(logfmt::kAllDone) || message == Lead(logfmt::kNoServerAddress) ||
           StartsWith(message, Lead(logfmt::kCannotRename)) || StartsWith(message, Lead(logfmt::kCannotCreateFile));
}

struct TimedRun {
    bool complete = false;
    bool createdDatabase = false;
    int failedInserts = 0;
    double seconds = 0;
};

// "Starta" lists every company; false when the list did not fill. Untimed; asked about only
// every so often, since each question holds up the busy thread (see WaitForRunEnd).
bool ListCompanies(const ModalRun& run, int companies) {
    const HWND log = run.Item(IDC_LOG_LIST);
    PostMessageW(run.Item(IDC_START), BM_CLICK, 0, 0);
    const bool listed = WaitUntil(
        [&] {
            Sleep(kSlowPollMs);
            return ItemCount(run.Item(IDC_COMPANY_LIST)) == companies &&
                   Message(ItemText(log, ItemCount(log) - 1)) == Lead(logfmt::kDoubleClickCompany);
        },
        kListPatience);
    if (!listed)
        bench::Note("\"Starta\" listed " + std::to_string(ItemCount(run.Item(IDC_COMPANY_LIST))) + " companies, not " +
                    std::to_string(companies) + "; last line: " + CString(ItemText(log, ItemCount(log) - 1)).ToUtf8());
    Settle(run.Window());
    return listed;
}

bool LastLineEndsRun(HWND log) {
    const int count = ItemCount(log);
    return count > 0 && EndsRun(Message(ItemText(log, count - 1)));
}

// Waits until the run has done its database and DSN work: a complete run then disables
// "Starta". A window message to the dialog's thread would be answered in the middle of the run
// and under Wine costs that thread tens of milliseconds each time, so the wait reads only the
// button's style, which asks nothing of the thread; the log is looked at only every few seconds,
// for a run that ended early.
bool WaitForRunEnd(const ModalRun& run) {
    int looks = 0;
    return WaitUntil(
        [&] {
            return !IsWindowEnabled(run.Item(IDC_START)) ||
                   (++looks % kLooksPerLogCheck == 0 && LastLineEndsRun(run.Item(IDC_LOG_LIST)));
        },
        kRunPatience);
}

TimedRun Convert(int companies, bool shown) {
    TimedRun outcome;
    ModalRun run(kMainCaption);
    if (!run.Window())
        return outcome;
    // A list view that is not shown lists its companies without painting them. The dialog box
    // shows itself once its queue first runs empty: it is hidden after that.
    Settle(run.Window());
    Sleep(kQueueEmptyMs);
    ShowWindow(run.Window(), SW_HIDE);
    Settle(run.Window());
    if (!ListCompanies(run, companies))
        return outcome;
    if (shown) {
        ShowWindow(run.Window(), SW_SHOW);
        Settle(run.Window());
    }
    if (IsWindowVisible(run.Item(IDC_LOG_LIST)) != shown) {
        bench::Note(std::string("the log list is not ") + (shown ? "shown" : "hidden"));
        return outcome;
    }
    const HWND log = run.Item(IDC_LOG_LIST);
    const int before = ItemCount(log);

    // The top row is the company listed last; its DSN file is laid out like every other.
    const auto started = bench::Clock::now();
    DoubleClickRow(run.Item(IDC_COMPANY_LIST), 0);
    const bool ended = WaitForRunEnd(run);
    outcome.seconds = bench::Seconds(bench::Clock::now() - started);
    // What follows is copying the company DSN files, the same work shown or hidden.
    if (!ended || !WaitUntil([&] { return LastLineEndsRun(log); }, kRunPatience)) {
        bench::Note("the run did not end in time");
        return outcome;
    }
    const std::vector<std::u16string> lines = ColumnTexts(log);
    outcome.complete = Message(lines.back()) == Lead(logfmt::kAllDone);
    std::u16string firstFailure;
    for (auto line = lines.begin() + before; line != lines.end(); ++line) {
        const std::u16string message = Message(*line);
        if (StartsWith(message, Lead(logfmt::kCannotInsertCompany)) && outcome.failedInserts++ == 0)
            firstFailure = *line;
        outcome.createdDatabase = outcome.createdDatabase || message == Lead(logfmt::kDatabaseCreated);
    }
    if (!outcome.complete)
        bench::Note("the run ended early: " + CString(lines.back()).ToUtf8());
    else if (!firstFailure.empty())
        bench::Note("its first failed insert: " + CString(firstFailure).ToUtf8());
    return outcome;
}

// A timed run: complete, and one failed insert for every company.
bool Repeated(const TimedRun& outcome, int companies) {
    return outcome.complete && !outcome.createdDatabase && outcome.failedInserts == companies;
}

}  // namespace

int main(int argc, char** argv) {
    const int companies = argc > 1 ? std::atoi(argv[1]) : 0;
    const int pairs = std::max(1, argc > 2 ? std::atoi(argv[2]) : 1);
    if (companies <= 0) {
        bench::Note("usage: conversion_win32_bench.exe COMPANIES [PAIRS]");
        return 2;
    }

    const TimedRun first = Convert(companies, false);
    if (!first.complete)
        return 1;
    bench::Note(std::string(first.createdDatabase ? "first conversion" : "warm-up run") + ", " +
                std::to_string(companies) + " companies, hidden: " + bench::Fixed(first.seconds, 1) + " s");

    std::vector<double> shownSeconds, hiddenSeconds;
    for (int pair = 0; pair < pairs; ++pair) {
        // Alternating which goes first evens out a machine that gets busier or quieter.
        for (const bool shown : {pair % 2 == 0, pair % 2 != 0}) {
            const TimedRun outcome = Convert(companies, shown);
            if (!Repeated(outcome, companies)) {
                bench::Note("not a repeated run: " + std::to_string(outcome.failedInserts) + " failed inserts of " +
                            std::to_string(companies));
                return 1;
            }
            (shown ? shownSeconds : hiddenSeconds).push_back(outcome.seconds);
            bench::Note(std::string("repeated run, ") + (shown ? "shown" : "hidden") + ": " +
                        bench::Fixed(outcome.seconds, 2) + " s");
        }
    }

    const double shown = bench::Median(shownSeconds);
    const double hidden = bench::Median(hiddenSeconds);
    const std::string runs =
        " (" + std::to_string(companies) + " companies, median of " + std::to_string(pairs) + " runs)";
    bench::PrintValue("Repeated run, dialog shown" + runs, bench::Fixed(shown, 2) + " s");
    bench::PrintValue("Repeated run, dialog hidden" + runs, bench::Fixed(hidden, 2) + " s");
    const double ratio = shown / hidden;
    bench::PrintFigure("Repeated run, shown / hidden", bench::Fixed(ratio, 2), "<= " + bench::Fixed(kTargetRatio, 1),
                       ratio <= kTargetRatio);
    return 0;
}
