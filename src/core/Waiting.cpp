#include "core/Waiting.h"

namespace core {

namespace {
thread_local WaitObserver* t_observer = nullptr;
}

WaitObserver::~WaitObserver() = default;

WaitObserverScope::WaitObserverScope(WaitObserver* observer) : m_previous(t_observer) {
    t_observer = observer;
}

WaitObserverScope::~WaitObserverScope() {
    t_observer = m_previous;
}

bool keepWaiting(const QString& what, std::chrono::milliseconds waited) {
    if (t_observer) return t_observer->keepWaiting(what, waited);
    return waited < UnobservedWaitLimit;
}

bool WaitObserver::keepWorking(const QString&, std::chrono::milliseconds) {
    return true;
}

bool keepWorking(const QString& what, std::chrono::milliseconds running) {
    return t_observer ? t_observer->keepWorking(what, running) : true;
}

QString waitGivenUpText(const QString& what) {
    return QStringLiteral("Beklemekten vazgeçildi (%1); hiçbir şey yazılmadı.").arg(what);
}

}  // namespace core
