// AddLog on the real log list view of the shown main dialog under Wine: one handler writes
// 20,000 lines, as a long run does, and every AddLog call is timed on its own. The cost at a
// count is the median of the calls that wrote the last 1,000 lines up to it (lines 2-1,000,
// 9,001-10,000, 19,001-20,000): a cost that grows with the list moves every call in the band,
// while the list's paints, which come now and then by time, not by count, do not. The time of
// all lines, paints included, is printed beside. Several dialogs, one after the other. A band's
// median is not the same from dialog to dialog: on a shared machine it takes one of two levels
// (here 9 or 15 us) for the whole band, whatever the count, so the cost at a count is the least
// of the dialogs' medians, the list's own cost; the total is the median of the dialogs'.
//   addlog_win32_bench.exe [DIALOGS]   (default 1; a dialog takes a second or two)
#include "BenchFigures.h"
#include "tests/windows/DialogDriver.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"
#include "res/resource.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

using namespace dialog_driver;

namespace {

constexpr int kLines = 20000;
constexpr int kBandLines = 1000;
constexpr std::array<int, 3> kBandEnds{1000, 10000, 20000};
constexpr double kTargetRatio = 1.3;
// A command id that no control of the dialog has.
constexpr int kWriteLinesCommand = 0xBE01;
constexpr auto kWritePatience = std::chrono::minutes(30);

// The main dialog with one command more: write the lines on the dialog's own thread, inside a
// handler, where the conversion writes its lines.
class TimedLogDialog : public CDaltrixDlg {
public:
    TimedLogDialog(std::vector<double>& microseconds, std::atomic<bool>& written)
        : m_microseconds(microseconds), m_written(written) {}

protected:
    const MessageMap& GetMessageMap() const override {
        static const MessageMap map = WithWriteCommand(CDaltrixDlg::GetMessageMap());
        return map;
    }

private:
    static MessageMap WithWriteCommand(MessageMap map) {
        map.push_back({wnd::kWmCommand, kWriteLinesCommand, 0, [](CDialogEx& dialog, const MessageArgs&) {
                           static_cast<TimedLogDialog&>(dialog).WriteLines();
                       }});
        return map;
    }

    // Lines like the ones a repeated run writes for every company; the time of line n goes to
    // index n - 1 (the first line is OnInitDialog's and stays untimed).
    void WriteLines() {
        m_microseconds.assign(kLines, 0);
        for (int line = m_logList.GetItemCount() + 1; line <= kLines; ++line) {
            const CString number = CString::Format(u"%d", {line});
            const std::vector<CString::FormatArg> args{
                number, CString::Format(u"F\u00f6retag %d L\u00f6n & Ekonomi AB", {line}),
                CString::Format(u"tq%04d.dsn", {line}),
                CString(u"Cannot insert duplicate key row in object 'dbo.TQ_FORETAG' with unique index "
                        u"'PrimaryKey'. The duplicate key value is (") +
                    number + u").\nThe statement has been terminated."};
            const auto started = bench::Clock::now();
            AddLog(logfmt::kCannotInsertCompany, args);
            m_microseconds[static_cast<size_t>(line - 1)] = bench::Microseconds(bench::Clock::now() - started);
        }
        m_written = true;
    }

    std::vector<double>& m_microseconds;
    std::atomic<bool>& m_written;
};

// The time of every line in one dialog; empty when the dialog did not write them all.
std::vector<double> TimeOneDialog() {
    std::vector<double> microseconds;
    std::atomic<bool> written{false};
    ModalRun run(kMainCaption, [&] {
        wnd::InitCommonControls();
        TimedLogDialog dialog(microseconds, written);
        dialog.m_installDir = CString(kInstallDir);
        return dialog.DoModal();
    });
    const HWND log = run.Item(IDC_LOG_LIST);
    if (!run.Window() || !IsWindowVisible(log)) {
        bench::Note("the main dialog did not show");
        return {};
    }
    // Whatever the first showing still has to paint is done before the first timed line.
    Settle(run.Window());
    Sleep(500);
    PostMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(kWriteLinesCommand, 0), 0);
    if (!WaitUntil([&] { return written.load(); }, kWritePatience)) {
        bench::Note("the dialog did not write its lines in time");
        return {};
    }
    const std::u16string last = ItemText(log, ItemCount(log) - 1);
    if (ItemCount(log) != kLines || last.rfind(Utf16(std::to_wstring(kLines) + L" "), 0) != 0) {
        bench::Note("the log holds " + std::to_string(ItemCount(log)) + " lines, not " + std::to_string(kLines));
        return {};
    }
    return microseconds;
}

// The first line is OnInitDialog's and untimed: the first band starts after it.
std::vector<double> Band(const std::vector<double>& microseconds, int end) {
    return {microseconds.begin() + std::max(1, end - kBandLines), microseconds.begin() + end};
}

// A count with its thousands separated, as the figures name them: 20,000.
std::string Count(int value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0)
            grouped += ',';
        grouped += digits[at];
    }
    return grouped;
}

}  // namespace

int main(int argc, char** argv) {
    const int dialogs = std::max(1, argc > 1 ? std::atoi(argv[1]) : 1);
    std::array<std::vector<double>, kBandEnds.size()> bandMedians;
    std::vector<double> totals;
    for (int round = 1; round <= dialogs; ++round) {
        const auto started = bench::Clock::now();
        const std::vector<double> microseconds = TimeOneDialog();
        if (microseconds.empty())
            return 1;
        double total = 0;
        for (const double line : microseconds)
            total += line;
        totals.push_back(total / 1e6);
        std::string detail = "dialog " + std::to_string(round) + ": " +
                             bench::Fixed(bench::Seconds(bench::Clock::now() - started), 1) + " s;";
        for (size_t band = 0; band < kBandEnds.size(); ++band) {
            const auto times = Band(microseconds, kBandEnds[band]);
            bandMedians[band].push_back(bench::Median(times));
            detail += " at " + Count(kBandEnds[band]) + " median " + bench::Fixed(bench::Median(times), 0) +
                      " us, mean " + bench::Fixed(bench::Mean(times), 0) + " us;";
        }
        bench::Note(detail);
    }

    std::vector<double> costs;
    for (size_t band = 0; band < kBandEnds.size(); ++band) {
        costs.push_back(*std::min_element(bandMedians[band].begin(), bandMedians[band].end()));
        const int end = kBandEnds[band];
        bench::PrintValue("AddLog per line at " + Count(end) + " lines, shown dialog (median of lines " +
                              Count(std::max(2, end - kBandLines + 1)) + "-" + Count(end) + ", least of " +
                              std::to_string(dialogs) + " dialogs)",
                          bench::Fixed(costs.back(), 1) + " us");
    }
    bench::PrintValue("AddLog, all " + Count(kLines) + " lines with their paints, shown dialog (median of " +
                          std::to_string(dialogs) + " dialogs)",
                      bench::Fixed(bench::Median(totals), 2) + " s");
    const double ratio = *std::max_element(costs.begin(), costs.end()) / *std::min_element(costs.begin(), costs.end());
    bench::PrintFigure("AddLog per-line cost, largest / smallest of the three", bench::Fixed(ratio, 2),
                       "<= " + bench::Fixed(kTargetRatio, 1), ratio <= kTargetRatio);
    return 0;
}
