#include "support/SilentLink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QUrl>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace testing_support {

namespace {

// One client's connection and its way to the server. Messages from the client are cut apart so
// the link can go silent at one of them: untyped ones (SSL or GSS request, start-up) first,
// then a type byte and a length each.
struct Connection {
    int client = -1;
    int server = -1;  // none for one accepted while silent
    QByteArray pending;
    bool startingUp = true;
    bool swallowed = false;  // open while the link was silent: ends when it is back
};

void sendAll(int fd, const char* data, qsizetype size) {
    while (fd >= 0 && size > 0) {
        const ssize_t sent = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (sent <= 0) return;
        data += sent;
        size -= sent;
    }
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

quint32 bigEndian(const char* p) {
    quint32 v;
    std::memcpy(&v, p, 4);
    return ntohl(v);
}

// The length of the first whole message in `bytes`, or 0 while it is incomplete.
qsizetype firstMessage(const QByteArray& bytes, bool startingUp) {
    const qsizetype head = startingUp ? 0 : 1;
    if (bytes.size() < head + 4) return 0;
    const qsizetype size = head + bigEndian(bytes.constData() + head);
    return bytes.size() >= size ? size : 0;
}

int connectTo(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) closeFd(fd);
    return fd;
}

}  // namespace

SilentLink::SilentLink(const QString& serverUrl) {
    const QUrl server(serverUrl);
    m_serverPort = server.port(5432);
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
        ::listen(m_listen, 16) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &size) != 0 || ::pipe(m_wake))
        throw std::runtime_error("silent link: cannot listen");
    QUrl through(server);
    through.setHost(QStringLiteral("127.0.0.1"));
    through.setPort(ntohs(a.sin_port));
    m_url = through.toString();
    m_thread = std::thread([this] { run(); });
}

SilentLink::~SilentLink() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    (void)!::write(m_wake[1], "x", 1);
    m_thread.join();
    ::close(m_listen);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void SilentLink::silenceAt(const QByteArray& text, bool passIt, std::function<void()> onSilence) {
    std::lock_guard lock(m_mutex);
    m_trigger = text.toLower();
    m_passIt = passIt;
    m_onSilence = std::move(onSilence);
}

void SilentLink::restore() {
    std::unique_lock lock(m_mutex);
    m_trigger.clear();
    m_restore = true;
    (void)!::write(m_wake[1], "x", 1);
    m_done.wait(lock, [this] { return !m_restore; });
}

void SilentLink::run() {
    std::vector<std::unique_ptr<Connection>> connections;
    char buffer[65536];
    for (;;) {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (const auto& c : connections) {
            fds.push_back({c->client, POLLIN, 0});
            fds.push_back({c->server, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), -1);
        std::unique_lock lock(m_mutex);
        if (m_stop) break;
        if (fds[0].revents) {
            (void)!::read(m_wake[0], buffer, sizeof buffer);
            if (m_restore) {
                // Swallowed connections end on both sides; the server's session with them.
                std::erase_if(connections, [](const auto& c) {
                    if (!c->swallowed) return false;
                    closeFd(c->client);
                    closeFd(c->server);
                    return true;
                });
                m_silent = false;
                m_restore = false;
                m_done.notify_all();
            }
            continue;
        }
        if (fds[1].revents & POLLIN) {
            auto c = std::make_unique<Connection>();
            c->client = ::accept(m_listen, nullptr, nullptr);
            c->swallowed = m_silent;
            if (!m_silent) c->server = connectTo(m_serverPort);
            if (c->client >= 0) connections.push_back(std::move(c));
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Connection& c = *connections[(i - 2) / 2];
            const bool fromClient = (i % 2) == 0;
            int& from = fromClient ? c.client : c.server;
            if (from < 0 || fds[i].fd != from) continue;
            const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
            if (got <= 0) {
                // While silent the other side hears nothing of it either.
                closeFd(from);
                if (!m_silent) closeFd(fromClient ? c.server : c.client);
                continue;
            }
            if (m_silent) {
                c.swallowed = true;
                continue;
            }
            if (!fromClient) {
                sendAll(c.client, buffer, got);
                continue;
            }
            c.pending.append(buffer, got);
            while (const qsizetype size = firstMessage(c.pending, c.startingUp)) {
                const QByteArray message = c.pending.left(size);
                c.pending.remove(0, size);
                if (c.startingUp && size == 8) {
                    // An SSL or GSS request: the start-up message is still to come.
                } else {
                    c.startingUp = false;
                }
                const bool silence = !m_trigger.isEmpty() && message.toLower().contains(m_trigger);
                if (!silence || m_passIt) sendAll(c.server, message.constData(), message.size());
                if (!silence) continue;
                m_trigger.clear();
                m_silent = true;
                for (const auto& other : connections)
                    other->swallowed = true;
                if (m_onSilence) m_onSilence();
                break;
            }
        }
        std::erase_if(connections, [](const auto& c) { return c->client < 0 && c->server < 0; });
    }
    for (auto& c : connections) {
        closeFd(c->client);
        closeFd(c->server);
    }
}

}  // namespace testing_support
