#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

// Timing and memory readings of the benchmarks. Times are wall-clock, in milliseconds; memory
// is read from the kernel's accounting of this process.
namespace bench {

using Clock = std::chrono::steady_clock;

// What the runs are timed by: the wall clock (the default: what the user waits), or the CPU
// time of this process (steadier on a machine shared with others; the start-up, which
// launches processes, always uses the wall clock).
void useCpuTime(bool cpu);
bool cpuTime();

double msSince(Clock::time_point start);
double median(std::vector<double> v);

// The process's resident set now, and the highest it reached since the last resetPeak(), in
// bytes.
std::size_t rssNow();
std::size_t rssPeak();
// Starts a new peak: the kernel forgets the highest resident set so far.
void resetPeak();

struct Sample {
    std::vector<double> ours;
    std::vector<double> base;
    std::vector<double> cpu; // CPU times of ours, when timed by both clocks
    std::size_t peak = 0;    // highest resident set during any run of ours
    std::size_t growth = 0;  // largest growth of the resident set during a run of ours
};

// Runs ours and the baseline one after the other: `warmups` unmeasured rounds, then `runs`
// measured rounds, ours first in odd rounds and the baseline first in even ones, so that a
// passing load on the machine weighs on both alike. `prepare` (if any) runs before each run
// of ours, unmeasured.
Sample compare(int warmups, int runs, const std::function<void()>& ours,
               const std::function<void()>& base, const std::function<void()>& prepare = {});
// Times one function alone.
Sample alone(int warmups, int runs, const std::function<void()>& ours,
             const std::function<void()>& prepare = {});

// Times one function alone by the wall clock (ours) and by the process's CPU time (cpu) at once,
// whichever the other rows use.
Sample aloneBothClocks(int warmups, int runs, const std::function<void()>& ours,
                       const std::function<void()>& prepare = {});

// One line of the result table, as the child process sends it to the driver.
struct Row {
    QString operation;
    double ours = 0;  // median, ms
    double base = -1; // median, ms; negative when there is no baseline
    QString target;
    bool met = false;
    std::size_t peak = 0;
    QString notes;

    QString encode() const;
    static bool decode(const QString& line, Row* row);
};

QString fmtMs(double ms);
QString fmtMB(std::size_t bytes);

} // namespace bench
