#pragma once

#include <QString>
#include <chrono>

namespace core {

/// Told while the terminal waits for something another terminal or the server holds (a file's
/// write lock, the invoice-number lock, a server row lock), so the window can say what it waits
/// for and the operator can give the wait up.
class WaitObserver {
  public:
    virtual ~WaitObserver();
    /// Called every few hundred milliseconds of one wait; `what` says in Turkish what is awaited.
    /// False gives the wait up: the waiter then fails, writing nothing.
    virtual bool keepWaiting(const QString& what, std::chrono::milliseconds waited) = 0;
    /// Told while a long piece of the terminal's own work runs (making the cards' order), `what`
    /// saying how far it is. False stops it. An observer of waits only lets it run.
    virtual bool keepWorking(const QString& what, std::chrono::milliseconds running);
};

/// Installs an observer for the current thread while in scope (they nest).
class WaitObserverScope {
  public:
    explicit WaitObserverScope(WaitObserver* observer);
    ~WaitObserverScope();
    WaitObserverScope(const WaitObserverScope&) = delete;
    WaitObserverScope& operator=(const WaitObserverScope&) = delete;

  private:
    WaitObserver* m_previous;
};

/// How long a wait lasts where no observer is installed (tools, tests, benchmarks): then it fails
/// as a timeout would.
inline constexpr std::chrono::milliseconds UnobservedWaitLimit{60000};

/// Asked by every waiter between its tries: true to go on waiting. Asks the thread's observer, or
/// without one keeps waiting until UnobservedWaitLimit.
bool keepWaiting(const QString& what, std::chrono::milliseconds waited);

/// Asked by long work between its steps: true to go on. Asks the thread's observer; without one
/// the work runs to its end.
bool keepWorking(const QString& what, std::chrono::milliseconds running);

/// The text of a wait the operator gave up.
QString waitGivenUpText(const QString& what);

}  // namespace core
