#include "bench_table.h"

#include <signal.h>

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

namespace quillet::bench {

void PrintRow(const std::string& figure, const std::string& value) {
    std::cout << "| " << figure << " | " << value << " | | |" << std::endl;
}

void PrintRow(const std::string& figure, const std::string& value, const std::string& goal,
              bool met) {
    std::cout << "| " << figure << " | " << value << " | " << goal << " | "
              << (met ? "yes" : "**NO**") << " |" << std::endl;
}

double Median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

double Percentile(std::vector<double> samples, double p) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const auto rank =
        static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
    return samples[std::clamp<size_t>(rank, 1, samples.size()) - 1];
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

std::string Fixed(double value, int decimals, const std::string& unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return unit.empty() ? std::string(text) : std::string(text) + " " + unit;
}

int BenchMain(const char* name, int argc, char* argv[], int default_count,
              const std::function<int(int)>& run) {
    ::signal(SIGPIPE, SIG_IGN);
    const int given = argc > 1 ? std::atoi(argv[1]) : 0;
    try {
        return run(given > 0 ? given : default_count);
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << '\n';
        return 1;
    }
}

int QtBenchMain(const char* name, int argc, char* argv[], int default_count,
                const std::function<int(int& qt_argc, char* qt_argv[], int count)>& run) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return BenchMain(name, argc, argv, default_count, [argv, &run](int count) {
        int qt_argc = 1;
        return run(qt_argc, argv, count);
    });
}

}  // namespace quillet::bench
