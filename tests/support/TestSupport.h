#pragma once

#include <gtest/gtest.h>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>

#include "core/Messages.h"
#include "core/Waiting.h"

// Failures print texts as text, not as dumps of their bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testing_support {

using namespace Qt::StringLiterals;

/// Answers questions from a script and keeps every text the program said.
class RecordingMessages final : public core::Messages {
  public:
    void inform(const QString& text) override {
        if (onMessage) onMessage();
        said << text;
    }
    bool ask(const QString& text) override {
        if (onMessage) onMessage();
        asked << text;
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString askText(const QString& title, const QString& prompt, const QString& proposed,
                    bool* accepted) override {
        asked << title + u'|' + prompt + u'|' + proposed;
        if (accepted) *accepted = textAccepted;
        return textAccepted ? textAnswer : QString();
    }

    std::function<void()> onMessage;  // looks at the screen as each message comes
    QStringList said;
    QStringList asked;
    std::deque<bool> answers;
    QString textAnswer;
    bool textAccepted = true;
};

/// Demo books in a temporary folder: dir()/RezoruviZada/01Cari.mdb and so on.
class TempBooks {
  public:
    explicit TempBooks(int items = 60);
    QString dir() const { return m_dir.path(); }
    QString dataDir() const { return m_dir.path() + u"/RezoruviZada"_s; }
    QString serverPath(const QString& company = u"01"_s) const {  // ".../RezoruviZada/01"
        return dataDir() + u'/' + company;
    }
    /// A company's books file, e.g. file("02", "Cari") for ".../RezoruviZada/02Cari.mdb".
    QString file(const char* company, const char* kind) const {
        return serverPath(QString::fromLatin1(company)) + QString::fromLatin1(kind) + u".mdb"_s;
    }

  private:
    QTemporaryDir m_dir;
};

/// Where the books of a test live: files of the embedded engine, or a PostgreSQL server.
enum class Engine { Files, Server };
inline const char* engineName(Engine e) {
    return e == Engine::Files ? "Files" : "Server";
}
// A failing case names its engine, not four bytes.
inline void PrintTo(Engine e, std::ostream* os) {
    *os << engineName(e);
}

/// `books` in a fresh database on TERMINAL_TEST_SERVER (if set), dropped at the end.
class ServerBooks {
  public:
    explicit ServerBooks(const TempBooks& books);
    /// The same on another server's maintenance database (postgresql://HOST:PORT/DB).
    ServerBooks(const TempBooks& books, const QString& server, bool import = true);
    ~ServerBooks();
    ServerBooks(const ServerBooks&) = delete;
    ServerBooks& operator=(const ServerBooks&) = delete;
    static QString testServer();
    QString url() const { return m_url; }
    /// The server path of a company ("postgresql://…/01"), as the terminal takes it.
    QString serverPath(const QString& company = u"01"_s) const { return m_url + u'/' + company; }

  private:
    QString m_server;
    QString m_url;
    QString m_name;
};

inline constexpr const char* NoTestServer =
    "TERMINAL_TEST_SERVER is not set (scripts/test sets it)";
/// An engine test's books: none for files, else `books` on the test server (the caller skips).
std::unique_ptr<ServerBooks> booksOn(Engine engine, const TempBooks& books);
/// Fixture `Base` (with `books` and `server`) once on files and once on the test server, which is
/// skipped where none is set.
template <typename Base>
class OnEachEngine : public Base, public ::testing::WithParamInterface<Engine> {
  protected:
    void SetUp() override {
        if (this->GetParam() == Engine::Server && ServerBooks::testServer().isEmpty())
            GTEST_SKIP() << NoTestServer;
        this->server = booksOn(this->GetParam(), this->books);
    }
};
/// Runs the TEST_Ps of `Fixture` on both engines, each case named by its engine.
#define INSTANTIATE_ON_BOTH_ENGINES(Fixture)                                                     \
    INSTANTIATE_TEST_SUITE_P(Engines, Fixture, ::testing::Values(Engine::Files, Engine::Server), \
                             [](const auto& info) { return engineName(info.param); })
/// A company's server path on the engine: the server's when there is one, else the files'.
inline QString companyPath(const std::unique_ptr<ServerBooks>& server, const TempBooks& books,
                           const QString& company) {
    return server ? server->serverPath(company) : books.serverPath(company);
}

/// The first value, or the first column, of a query on a books file.
QVariant scalar(const QString& file, const QString& sql, const QVariantList& params = {});
QStringList column(const QString& file, const QString& sql, const QVariantList& params = {});
inline QString text(const QString& file, const QString& sql, const QVariantList& params = {}) {
    return scalar(file, sql, params).toString();
}
inline double number(const QString& file, const QString& sql, const QVariantList& params = {}) {
    return scalar(file, sql, params).toDouble();
}
inline int count(const QString& file, const QString& sql, const QVariantList& params = {}) {
    return scalar(file, sql, params).toInt();
}
/// An amount in ten-thousandths, so figures compare exactly: `expression` over `from`.
inline qint64 units(const QString& file, const QString& expression, const QString& from) {
    return scalar(file, u"SELECT CAST(round(coalesce(%1, 0)*10000) AS BIGINT) FROM %2"_s.arg(
                            expression, from))
        .toLongLong();
}

void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

/// The operator at a wait: gives it up at the `limit`-th question, keeping what it waited for.
struct GiveUpAfter final : core::WaitObserver {
    explicit GiveUpAfter(int limit) : limit(limit) {}
    bool keepWaiting(const QString& what, std::chrono::milliseconds) override {
        asked << what;
        return asked.size() < limit;
    }
    int limit;
    QStringList asked;
};

}  // namespace testing_support
