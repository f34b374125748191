#pragma once

#include <QString>
#include <memory>

struct pg_conn;
typedef struct pg_conn PGconn;

namespace data {

/// Why a server connection was shut under the call that waited on it.
enum class Cut { None, Silence, GivenUp };

/// Keeps one open server connection under watch. A call in progress on it while nothing has
/// passed the link either way for serverLimits().answerTimeoutMs has its socket shut down, so
/// libpq returns at once with an error instead of blocking for good:
/// keepalives and tcp_user_timeout see nothing wrong on a link that goes silent while something
/// on the way still acknowledges. The watch is made by the connection's owner and stopped before
/// the connection closes, so no socket is ever touched after.
class AnswerWatch {
  public:
    AnswerWatch() = default;
    ~AnswerWatch();
    AnswerWatch(const AnswerWatch&) = delete;
    AnswerWatch& operator=(const AnswerWatch&) = delete;

    /// Watches `conn` (replacing what was watched); connections opened on a thread inside a
    /// GiveUpScope are cut when it is given up.
    void start(PGconn* conn);
    void stop();
    /// Whether, and why, the watched connection was shut.
    Cut cut() const;

  private:
    std::shared_ptr<struct WatchedSocket> m_socket;
};

/// The cause the operator reads for a connection shut by its watch.
QString cutCause(Cut cut);

/// Server work the operator may give up while waiting for it: giveUp(), from any thread, shuts
/// every server connection opened under a GiveUpScope of it at once, and any opened after.
class GiveUp {
  public:
    GiveUp();
    void giveUp();

  private:
    friend class GiveUpScope;
    std::shared_ptr<struct GiveUpState> m_state;
};

/// Puts the connections the current thread opens while in scope under `giveUp`.
class GiveUpScope {
  public:
    explicit GiveUpScope(const GiveUp& giveUp);
    ~GiveUpScope();
    GiveUpScope(const GiveUpScope&) = delete;
    GiveUpScope& operator=(const GiveUpScope&) = delete;

  private:
    std::shared_ptr<struct GiveUpState> m_previous;
};

}  // namespace data
