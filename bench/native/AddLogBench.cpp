// The log's cost per line as it grows: AddLog on the headless list, the cost per line of the
// last lines before each mark, the median of several runs.
//   addlog_bench [lines=100000] [runs=5]
#include "BenchSupport.h"

#include "app/LogFormats.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace testing_support;

namespace {

constexpr int kMarks[] = {1000, 10000, 100000};
constexpr int kBand = 500;  // lines measured before each mark

// Microseconds per line of the band ending at each mark, for one dialog filled to `lines`.
std::vector<double> OneRun(int lines) {
    DialogFixture f;
    std::vector<double> perLine;
    int written = 0;
    for (const int mark : kMarks) {
        if (mark > lines)
            break;
        for (; written < mark - kBand; ++written)
            f.dlg->AddLog(logfmt::kCannotInsertCompany, {u"4711", u"Kund AB", u"tq4711.dsn", u"Dubblett"});
        const double seconds = bench::Seconds(bench::Timed([&] {
            for (; written < mark; ++written)
                f.dlg->AddLog(logfmt::kCannotInsertCompany, {u"4711", u"Kund AB", u"tq4711.dsn", u"Dubblett"});
        }));
        perLine.push_back(seconds * 1e6 / kBand);
    }
    return perLine;
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::vector<std::vector<double>> byMark;
    for (int r = 0; r < runs; ++r) {
        const auto perLine = OneRun(lines);
        byMark.resize(perLine.size());
        for (size_t m = 0; m < perLine.size(); ++m)
            byMark[m].push_back(perLine[m]);
    }
    std::string measured;
    std::vector<double> medians;
    for (size_t m = 0; m < byMark.size(); ++m) {
        medians.push_back(bench::Median(byMark[m]));
        measured += (m ? ", " : "") + bench::Fixed(medians.back(), 2) + " µs at " + std::to_string(kMarks[m]);
    }
    const double ratio = medians.back() / medians.front();
    bench::PrintFigure(
        "AddLog per line, headless list, " + std::to_string(lines) + " lines (median of " + std::to_string(runs) + ")",
        measured + "; ratio " + bench::Fixed(ratio, 2), "ratio <= 1.3", ratio <= 1.3);
    return 0;
}
