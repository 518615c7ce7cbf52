// The rows of the benchmark table that bench/run prints: each figure with its value, its goal
// and whether the value meets the goal. Every bench program writes its rows to standard output
// as Markdown table rows; everything else it has to say goes to standard error.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::bench {

// A figure without a goal, shown for context.
void PrintRow(const std::string& figure, const std::string& value);
// A figure with its goal and the verdict.
void PrintRow(const std::string& figure, const std::string& value, const std::string& goal,
              bool met);

// The median and the nearest-rank percentile (0 < p <= 100) of `samples`; 0 when empty.
double Median(std::vector<double> samples);
double Percentile(std::vector<double> samples, double p);

// Milliseconds between two instants.
double Milliseconds(std::chrono::steady_clock::duration duration);

// "12.34 ms", "1.07x", "123 B": the value with a fixed number of decimals and its unit.
std::string Fixed(double value, int decimals, const std::string& unit);

// A bench program's main: SIGPIPE ignored, then `run` with argv[1] when it is a positive number,
// else with `default_count`; an exception it throws is said on standard error after `name`,
// with status 1.
int BenchMain(const char* name, int argc, char* argv[], int default_count,
              const std::function<int(int)>& run);
// The same for a program with a Qt application: Qt's platform is offscreen unless
// QT_QPA_PLATFORM names one, and `run` gets, with the count, the argument count and vector
// for the application (the program's name only).
int QtBenchMain(const char* name, int argc, char* argv[], int default_count,
                const std::function<int(int& qt_argc, char* qt_argv[], int count)>& run);

}  // namespace quillet::bench
