#pragma once

#include <QDateTime>

namespace core {

/// Where the terminal takes the current time from, so tests can fix it.
class Clock {
  public:
    virtual ~Clock();
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
  public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock final : public Clock {
  public:
    explicit FixedClock(QDateTime at) : m_at(std::move(at)) {}
    QDateTime now() const override { return m_at; }
    void set(QDateTime at) { m_at = std::move(at); }

  private:
    QDateTime m_at;
};

}  // namespace core
