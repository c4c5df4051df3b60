#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

// Timing and memory readings of the benchmarks. Every run is timed by two clocks at once: the
// wall clock (what the user waits, the waits for the disk included) and the CPU time of the
// process (steadier on a machine shared with others), both in milliseconds. Memory is read from
// the kernel's accounting of this process.
namespace bench {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);
// The CPU time this process has used so far, and that of its children already waited for.
double cpuMs();
double childrenCpuMs();

// One run by both clocks.
struct Timing {
    double wall = 0;
    double cpu = 0;
};
// Times fn in this process.
Timing timed(const std::function<void()>& fn);
// Times fn that runs other processes and waits for them: the CPU time is theirs.
Timing timedChildren(const std::function<void()>& fn);
double median(std::vector<double> v);

// The process's resident set now, and the highest it reached since the last resetPeak(), in
// bytes.
std::size_t rssNow();
std::size_t rssPeak();
// Starts a new peak: the kernel forgets the highest resident set so far.
void resetPeak();

struct Sample {
    std::vector<double> ours; // wall clock
    std::vector<double> base;
    std::vector<double> oursCpu; // CPU time of the same runs
    std::vector<double> baseCpu;
    std::size_t peak = 0;   // highest resident set during any run of ours
    std::size_t growth = 0; // largest growth of the resident set during a run of ours

    void add(Timing o, Timing b);
    void add(Timing o);
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

// One line of the result table, as the child process sends it to the driver.
struct Row {
    QString operation;
    double ours = 0;    // median by the wall clock, ms
    double base = -1;   // median by the wall clock, ms; negative when there is no baseline
    double oursCpu = 0; // medians of the CPU times of the same runs
    double baseCpu = -1;
    QString target;
    bool met = false; // by both clocks
    std::size_t peak = 0;
    QString notes;

    // The medians of both clocks.
    void take(const Sample& s);
    // Whether holds(ours, base) by the wall clock and by the CPU time.
    template <class F> bool both(F holds) const {
        return holds(ours, base) && holds(oursCpu, baseCpu);
    }

    QString encode() const;
    static bool decode(const QString& line, Row* row);
};

// A row met when ours takes at most limitMs by both clocks.
Row withinRow(const QString& operation, const Sample& s, double limitMs, const QString& notes);

QString fmtMs(double ms);
QString fmtMB(std::size_t bytes);

} // namespace bench
