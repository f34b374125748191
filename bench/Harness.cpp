#include "Harness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

double medianMs(int runs, const std::function<void()>& body, const std::function<void()>& prepare) {
    std::vector<double> times;
    times.reserve(static_cast<size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        QElapsedTimer t;
        t.start();
        body();
        times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::pair<double, double> pairedMedianMs(int runs, const std::function<void()>& first,
                                         const std::function<void()>& second,
                                         const std::function<void()>& prepare) {
    std::vector<double> a, b;
    a.reserve(static_cast<size_t>(runs));
    b.reserve(static_cast<size_t>(runs));
    const auto time = [](const std::function<void()>& body, std::vector<double>& into) {
        QElapsedTimer t;
        t.start();
        body();
        into.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    };
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        time(first, a);
        time(second, b);
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

void Report::ratio(const QString& name, double oursMs, double baselineMs) {
    const double r = baselineMs > 0 ? oursMs / baselineMs : 0;
    std::printf("%s ours_ms=%.3f baseline_ms=%.3f ratio=%.2f\n", qPrintable(name), oursMs,
                baselineMs, r);
    std::fflush(stdout);
    m_figures.append(QJsonObject{{QStringLiteral("name"), name},
                                 {QStringLiteral("ours_ms"), oursMs},
                                 {QStringLiteral("baseline_ms"), baselineMs},
                                 {QStringLiteral("ratio"), r}});
}

void Report::value(const QString& name, double value, const QString& unit) {
    std::printf("%s value=%.3f unit=%s\n", qPrintable(name), value, qPrintable(unit));
    std::fflush(stdout);
    m_figures.append(QJsonObject{{QStringLiteral("name"), name},
                                 {QStringLiteral("value"), value},
                                 {QStringLiteral("unit"), unit}});
}

bool Report::write(const QString& jsonPath) const {
    QFile f(jsonPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    f.write(QJsonDocument(m_figures).toJson());
    return true;
}

}  // namespace bench
