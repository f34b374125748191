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

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// A client's connection and its way to the server; the client's messages are cut apart (untyped
// ones first: SSL or GSS request, start-up; then a type byte and a length) to go silent at one.
struct Connection {
    int fd[2] = {-1, -1};  // the client's, the server's (none for one accepted while silent)
    QByteArray pending;
    bool startingUp = true;
    bool swallowed = false;  // open while the link was silent: ends when it is back
    void close() {
        closeFd(fd[0]);
        closeFd(fd[1]);
    }
};

void sendAll(int fd, const char* data, qsizetype size) {
    while (fd >= 0 && size > 0) {
        const ssize_t sent = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (sent <= 0) return;
        data += sent;
        size -= sent;
    }
}

// The length of the first whole message in `bytes`, or 0 while it is incomplete.
qsizetype firstMessage(const QByteArray& bytes, bool startingUp) {
    const qsizetype head = startingUp ? 0 : 1;
    quint32 length = 0;
    if (bytes.size() < head + 4) return 0;
    std::memcpy(&length, bytes.constData() + head, 4);
    const qsizetype size = head + ntohl(length);
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
    std::unique_lock lock(m_mutex);
    m_stop = true;
    lock.unlock();
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
        for (const auto& c : connections)
            for (const int fd : c->fd)
                fds.push_back({fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), -1);
        std::unique_lock lock(m_mutex);
        if (m_stop) break;
        if (fds[0].revents) {
            (void)!::read(m_wake[0], buffer, sizeof buffer);
            if (m_restore) {
                // Swallowed connections end on both sides; the server's session with them.
                std::erase_if(connections, [](const auto& c) {
                    if (c->swallowed) c->close();
                    return c->swallowed;
                });
                m_silent = false;
                m_restore = false;
                m_done.notify_all();
            }
            continue;
        }
        if (fds[1].revents & POLLIN) {
            auto c = std::make_unique<Connection>();
            c->fd[0] = ::accept(m_listen, nullptr, nullptr);
            c->swallowed = m_silent;
            if (!m_silent) c->fd[1] = connectTo(m_serverPort);
            if (c->fd[0] >= 0) connections.push_back(std::move(c));
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Connection& c = *connections[(i - 2) / 2];
            int& from = c.fd[i % 2];
            if (from < 0 || fds[i].fd != from) continue;
            const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
            if (got <= 0) {
                // While silent the other side hears nothing of it either.
                closeFd(from);
                if (!m_silent) closeFd(c.fd[1 - i % 2]);
                continue;
            }
            c.swallowed |= m_silent;
            if (!m_silent && i % 2) sendAll(c.fd[0], buffer, got);  // the server's answer
            if (m_silent || i % 2) continue;
            c.pending.append(buffer, got);
            while (const qsizetype size = firstMessage(c.pending, c.startingUp)) {
                const QByteArray message = c.pending.left(size);
                c.pending.remove(0, size);
                if (size != 8) c.startingUp = false;  // 8 while starting up: SSL or GSS request
                const bool silence = !m_trigger.isEmpty() && message.toLower().contains(m_trigger);
                if (!silence || m_passIt) sendAll(c.fd[1], message.constData(), message.size());
                if (!silence) continue;
                m_trigger.clear();
                m_silent = true;
                for (const auto& other : connections)
                    other->swallowed = true;
                if (m_onSilence) m_onSilence();
                break;
            }
        }
        std::erase_if(connections, [](const auto& c) { return c->fd[0] < 0 && c->fd[1] < 0; });
    }
    for (auto& c : connections)
        c->close();
}

}  // namespace testing_support
