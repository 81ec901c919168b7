// What the benchmarks share: a monotonic clock, medians, and the way a figure is printed
// as a row of the results table (| figure | measured | target | met |) that bench/run.sh collects.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// How long the work took.
template <typename Work>
Clock::duration Timed(Work&& work) {
    const auto started = Clock::now();
    work();
    return Clock::now() - started;
}

double Seconds(Clock::duration elapsed);
double Milliseconds(Clock::duration elapsed);
double Microseconds(Clock::duration elapsed);

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values);
double Mean(const std::vector<double>& values);

std::string Fixed(double value, int decimals);

// A figure row on stdout; `met` says whether the measured value reached the target.
void PrintFigure(const std::string& figure, const std::string& measured, const std::string& target, bool met);
// A row for a figure that has no target of its own, only the values a target figure comes from.
void PrintValue(const std::string& figure, const std::string& measured);

// Progress and details for the person running the benchmark, on stderr, flushed at once.
void Note(const std::string& text);

}  // namespace bench
