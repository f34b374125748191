#pragma once

#include <QJsonArray>
#include <QString>
#include <functional>
#include <utility>

namespace bench {

/// Median wall time of `runs` calls, in milliseconds. `prepare` runs untimed before each call.
double medianMs(int runs, const std::function<void()>& body,
                const std::function<void()>& prepare = {});

/// Medians of `runs` calls of each of two bodies, the calls taken in turn: both meet the same
/// moments of a busy machine (another program's writes, a slow disk flush). `prepare` runs
/// untimed before each call of `first`.
std::pair<double, double> pairedMedianMs(int runs, const std::function<void()>& first,
                                         const std::function<void()>& second,
                                         const std::function<void()>& prepare = {});

/// Collects figures, prints one line each and writes them as JSON at the end.
class Report {
  public:
    void ratio(const QString& name, double oursMs, double baselineMs);
    void value(const QString& name, double value, const QString& unit);
    bool write(const QString& jsonPath) const;

  private:
    QJsonArray m_figures;
};

}  // namespace bench
