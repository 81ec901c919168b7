// Peak resident memory of a whole conversion of a large bureau on the headless dialog: "Starta",
// a double-click on company 1, the run to its end. The stand-in is a process of its own
// and not counted.
//   conversion_memory_bench [companies=10000]
#include "BenchSupport.h"

#include "platform/headless/HeadlessWindow.h"
#include "res/resource.h"

#include <sys/resource.h>

#include <cstdlib>

using namespace testing_support;

namespace {

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
    const int companies = argc > 1 ? std::atoi(argv[1]) : 10000;
    TestOdbcDrivers drivers;
    const bench::OldSite site(companies);
    StandIn server;
    server.WriteCompanyDsn(site.program / "tq0001.dsn");
    const double before = PeakResidentMegabytes();
    DialogFixture f{site.program};
    f.dlg->m_installDir = WinPath(site.install);
    headless::Click(*f.dlg, IDC_START);
    int first = 0;
    while (first < f.dlg->m_companyList.GetItemCount() && f.dlg->m_companyList.GetItemText(first, 0) != u"1")
        ++first;
    headless::DoubleClickRow(*f.dlg, IDC_COMPANY_LIST, f.dlg->m_companyList, first);
    const auto log = f.Log();
    if (log.empty() || log.back().find("Klart!") == std::string::npos) {
        std::fprintf(stderr, "conversion_memory_bench: the run did not finish: %s\n",
                     log.empty() ? "" : log.back().c_str());
        return 1;
    }
    const double peak = PeakResidentMegabytes();
    bench::PrintFigure("Peak resident memory, native conversion of " + std::to_string(companies) + " companies",
                       bench::Fixed(peak, 1) + " MB (" + bench::Fixed(before, 1) + " MB before the dialog)", "<= 32 MB",
                       peak <= 32.0);
    return 0;
}
