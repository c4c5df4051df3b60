#include "Measure.h"

#include <QFile>

#include <algorithm>

#include <sys/resource.h>
#include <time.h>

namespace bench {
namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), in bytes.
std::size_t statusField(const char* name) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return std::size_t(line.mid(key.size()).trimmed().split(' ').value(0).toULongLong()) *
                   1024;
    return 0;
}

double wallMs() {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

} // namespace

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double childrenCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

Timing timed(const std::function<void()>& fn) {
    const double w = wallMs();
    const double c = cpuMs();
    fn();
    const double cpu = cpuMs() - c;
    return {wallMs() - w, cpu};
}

Timing timedChildren(const std::function<void()>& fn) {
    const double w = wallMs();
    const double c = childrenCpuMs();
    fn();
    const double cpu = childrenCpuMs() - c;
    return {wallMs() - w, cpu};
}

void Sample::add(Timing o, Timing b) {
    ours.push_back(o.wall);
    oursCpu.push_back(o.cpu);
    base.push_back(b.wall);
    baseCpu.push_back(b.cpu);
}

void Sample::add(Timing o) {
    ours.push_back(o.wall);
    oursCpu.push_back(o.cpu);
}

double median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::size_t rssNow() {
    return statusField("VmRSS");
}

std::size_t rssPeak() {
    return statusField("VmHWM");
}

void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

namespace {

Timing timeOurs(const std::function<void()>& ours, Sample& s, bool record) {
    resetPeak();
    const std::size_t before = rssNow();
    const Timing t = timed(ours);
    const std::size_t peak = rssPeak();
    if (record) {
        s.peak = std::max(s.peak, peak);
        s.growth = std::max(s.growth, peak > before ? peak - before : 0);
    }
    return t;
}

} // namespace

Sample compare(int warmups, int runs, const std::function<void()>& ours,
               const std::function<void()>& base, const std::function<void()>& prepare) {
    Sample s;
    for (int i = 0; i < warmups + runs; ++i) {
        const bool record = i >= warmups;
        Timing o, b;
        // Each timed run, ours and the baseline alike, starts from what prepare leaves.
        auto runBase = [&] {
            if (prepare)
                prepare();
            b = timed(base);
        };
        if (i % 2 == 0) {
            if (prepare)
                prepare();
            o = timeOurs(ours, s, record);
            runBase();
        } else {
            runBase();
            if (prepare)
                prepare();
            o = timeOurs(ours, s, record);
        }
        if (record)
            s.add(o, b);
    }
    return s;
}

Sample alone(int warmups, int runs, const std::function<void()>& ours,
             const std::function<void()>& prepare) {
    Sample s;
    for (int i = 0; i < warmups + runs; ++i) {
        if (prepare)
            prepare();
        const Timing o = timeOurs(ours, s, i >= warmups);
        if (i >= warmups)
            s.add(o);
    }
    return s;
}

void Row::take(const Sample& s) {
    ours = median(s.ours);
    base = s.base.empty() ? -1 : median(s.base);
    oursCpu = median(s.oursCpu);
    baseCpu = s.baseCpu.empty() ? -1 : median(s.baseCpu);
}

QString Row::encode() const {
    QStringList f{QStringLiteral("RIGA"),
                  operation,
                  QString::number(ours, 'g', 10),
                  QString::number(base, 'g', 10),
                  QString::number(oursCpu, 'g', 10),
                  QString::number(baseCpu, 'g', 10),
                  target,
                  met ? QStringLiteral("1") : QStringLiteral("0"),
                  QString::number(qulonglong(peak)),
                  notes};
    for (QString& x : f)
        x.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return f.join(QLatin1Char('\t'));
}

bool Row::decode(const QString& line, Row* row) {
    const QStringList f = line.split(QLatin1Char('\t'));
    if (f.size() != 10 || f[0] != QLatin1String("RIGA"))
        return false;
    row->operation = f[1];
    row->ours = f[2].toDouble();
    row->base = f[3].toDouble();
    row->oursCpu = f[4].toDouble();
    row->baseCpu = f[5].toDouble();
    row->target = f[6];
    row->met = f[7] == QLatin1String("1");
    row->peak = std::size_t(f[8].toULongLong());
    row->notes = f[9];
    return true;
}

QString fmtMs(double ms) {
    if (ms < 0)
        return QStringLiteral("—");
    if (ms < 1)
        return QStringLiteral("%1 µs").arg(ms * 1000, 0, 'f', 0);
    if (ms < 10)
        return QStringLiteral("%1 ms").arg(ms, 0, 'f', 2);
    if (ms < 1000)
        return QStringLiteral("%1 ms").arg(ms, 0, 'f', 1);
    return QStringLiteral("%1 s").arg(ms / 1000, 0, 'f', 2);
}

QString fmtMB(std::size_t bytes) {
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

Row withinRow(const QString& operation, const Sample& s, double limitMs, const QString& notes) {
    Row r;
    r.operation = operation;
    r.take(s);
    r.target = QStringLiteral("≤ %1").arg(fmtMs(limitMs));
    r.met = r.both([&](double ours, double) { return ours <= limitMs; });
    r.peak = s.peak;
    r.notes = notes;
    return r;
}

} // namespace bench
