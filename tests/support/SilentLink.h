#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace testing_support {

/// A proxy on 127.0.0.1 to the test server that can go silent as a network does: once silent it
/// keeps every socket open and reading, and passes nothing either way.
class SilentLink {
  public:
    /// Forwards to the host and port of `serverUrl` (postgresql://HOST:PORT/DB).
    explicit SilentLink(const QString& serverUrl);
    ~SilentLink();
    QString url() const { return m_url; }  // `serverUrl` through the link
    /// Silent from the first client message containing `text` (any case): that message is lost,
    /// or with `passIt` only its answer. `onSilence` runs on the link's thread then.
    void silenceAt(const QByteArray& text, bool passIt, std::function<void()> onSilence = {});
    bool silent() const { return m_silent; }
    /// Back: new connections pass; those it swallowed end on both sides, as once a link returns.
    void restore();

  private:
    void run();

    QString m_url;
    int m_listen = -1, m_serverPort = 0, m_wake[2] = {-1, -1};
    std::mutex m_mutex;
    std::condition_variable m_done;
    QByteArray m_trigger;
    bool m_passIt = false;
    std::function<void()> m_onSilence;
    std::atomic<bool> m_silent{false};
    bool m_restore = false, m_stop = false;
    std::thread m_thread;
};

}  // namespace testing_support
