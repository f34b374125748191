#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace testing_support {

/// A link to the test server that can go silent as a network does when something on the way
/// still acknowledges: a proxy on 127.0.0.1 that, once silent, keeps every socket open and keeps
/// reading, and passes nothing either way.
class SilentLink {
  public:
    /// Forwards to the host and port of `serverUrl` (postgresql://HOST:PORT/DB).
    explicit SilentLink(const QString& serverUrl);
    ~SilentLink();
    SilentLink(const SilentLink&) = delete;
    SilentLink& operator=(const SilentLink&) = delete;

    /// `serverUrl` through the link.
    QString url() const { return m_url; }
    /// Goes silent at the first message a client sends that contains `text` (any case): that
    /// message is lost, or with `passIt` reaches the server and only its answer is lost.
    /// `onSilence` runs on the link's thread as it goes silent.
    void silenceAt(const QByteArray& text, bool passIt, std::function<void()> onSilence = {});
    bool silent() const { return m_silent; }
    /// The link is back: new connections pass, and those it swallowed end on both sides, as
    /// the server learns once the link returns.
    void restore();

  private:
    void run();

    QString m_url;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_serverPort = 0;
    std::mutex m_mutex;
    std::condition_variable m_done;
    QByteArray m_trigger;
    bool m_passIt = false;
    std::function<void()> m_onSilence;
    std::atomic<bool> m_silent{false};
    bool m_restore = false;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace testing_support
