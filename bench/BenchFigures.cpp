#include "BenchFigures.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace bench {

double Seconds(Clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

double Milliseconds(Clock::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

double Microseconds(Clock::duration elapsed) {
    return std::chrono::duration<double, std::micro>(elapsed).count();
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Mean(const std::vector<double>& values) {
    return values.empty() ? 0 : std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

namespace {

void PrintRow(const std::string& figure, const std::string& measured, const std::string& target,
              const std::string& met) {
    std::printf("| %s | %s | %s | %s |\n", figure.c_str(), measured.c_str(), target.c_str(), met.c_str());
    std::fflush(stdout);
}

}  // namespace

void PrintFigure(const std::string& figure, const std::string& measured, const std::string& target, bool met) {
    PrintRow(figure, measured, target, met ? "yes" : "no");
}

void PrintValue(const std::string& figure, const std::string& measured) {
    PrintRow(figure, measured, "-", "-");
}

void Note(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace bench
