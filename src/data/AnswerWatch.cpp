#include "data/AnswerWatch.h"

#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "data/ServerBooks.h"

namespace data {

using namespace std::chrono;

struct GiveUpState {
    std::atomic<bool> givenUp{false};
};

struct WatchedSocket {
    PGconn* conn = nullptr;
    int fd = -1;
    ino_t inode = 0;
    dev_t device = 0;
    std::shared_ptr<GiveUpState> giveUp;
    std::atomic<Cut> cut{Cut::None};
};

namespace {

thread_local std::shared_ptr<GiveUpState> t_giveUp;

// Whether a call on the connection waits for the server: libpq has a command in progress, and
// nothing has passed the link either way for `limit`. Rows streaming in, or data going out, are
// no silence. Only a TCP link can go silent (a local socket tells nothing here).
bool silentFor(const WatchedSocket& socket, milliseconds limit) {
    // The connection is read only while its socket is still the one it was watched with: one
    // closed behind its owner's back is left alone.
    struct stat now {};
    if (::fstat(socket.fd, &now) != 0 || now.st_ino != socket.inode || now.st_dev != socket.device)
        return false;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(socket.fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0) return false;
    const milliseconds quiet(std::min(info.tcpi_last_data_sent, info.tcpi_last_data_recv));
    // Read while the owner's thread may be inside libpq: a state read a moment stale only
    // moves the cut to the next round.
    return quiet >= limit && PQtransactionStatus(socket.conn) == PQTRANS_ACTIVE;
}

// One thread watches every server connection of the process; it sleeps while there is none.
class Watcher {
  public:
    static Watcher& instance() {
        // Never destroyed: connections may still close while the process ends.
        static Watcher* watcher = new Watcher;
        return *watcher;
    }

    void add(const std::shared_ptr<WatchedSocket>& socket) {
        {
            std::lock_guard lock(m_mutex);
            m_sockets.push_back(socket);
            if (!m_started) {
                m_started = true;
                std::thread([this] { run(); }).detach();
            }
        }
        m_wake.notify_one();
    }

    // Under the lock: once this returns, the watcher never shuts that socket.
    void remove(const std::shared_ptr<WatchedSocket>& socket) {
        std::lock_guard lock(m_mutex);
        std::erase(m_sockets, socket);
    }

    void wake() { m_wake.notify_one(); }

  private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !m_sockets.empty(); });
            const milliseconds limit(serverLimits().answerTimeoutMs.load());
            for (const auto& socket : m_sockets) {
                if (socket->cut != Cut::None) continue;
                Cut why = Cut::None;
                if (socket->giveUp && socket->giveUp->givenUp)
                    why = Cut::GivenUp;
                else if (silentFor(*socket, limit))
                    why = Cut::Silence;
                if (why == Cut::None) continue;
                socket->cut = why;
                // The call blocked on it sees the connection end and returns with an error.
                ::shutdown(socket->fd, SHUT_RDWR);
            }
            // A silent call ends soon after the limit; a give-up wakes the watcher at once.
            m_wake.wait_for(lock, std::clamp(limit / 10, milliseconds(10), milliseconds(250)));
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::shared_ptr<WatchedSocket>> m_sockets;
    bool m_started = false;
};

}  // namespace

AnswerWatch::~AnswerWatch() {
    stop();
}

void AnswerWatch::start(PGconn* conn) {
    stop();
    const int fd = conn ? PQsocket(conn) : -1;
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return;
    m_socket = std::make_shared<WatchedSocket>();
    m_socket->conn = conn;
    m_socket->fd = fd;
    m_socket->inode = st.st_ino;
    m_socket->device = st.st_dev;
    m_socket->giveUp = t_giveUp;
    Watcher::instance().add(m_socket);
}

void AnswerWatch::stop() {
    if (!m_socket) return;
    Watcher::instance().remove(m_socket);
    m_socket.reset();
}

Cut AnswerWatch::cut() const {
    return m_socket ? m_socket->cut.load() : Cut::None;
}

QString cutCause(Cut cut) {
    switch (cut) {
        case Cut::None:
            break;
        case Cut::Silence:
            return QStringLiteral("sunucu %1 sn içinde yanıt vermedi, bağlantı bırakıldı")
                .arg((serverLimits().answerTimeoutMs.load() + 999) / 1000);
        case Cut::GivenUp:
            return QStringLiteral("sunucunun yanıtını beklemekten vazgeçildi");
    }
    return QString();
}

GiveUp::GiveUp() : m_state(std::make_shared<GiveUpState>()) {}

void GiveUp::giveUp() {
    m_state->givenUp = true;
    Watcher::instance().wake();
}

GiveUpScope::GiveUpScope(const GiveUp& giveUp)
    : m_previous(std::exchange(t_giveUp, giveUp.m_state)) {}

GiveUpScope::~GiveUpScope() {
    t_giveUp = m_previous;
}

}  // namespace data
