#include "support/TestSupport.h"

#include <unistd.h>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <stdexcept>

#include "DemoBooks.h"
#include "bookimport/BookImport.h"
#include "data/Database.h"
#include "data/ServerBooks.h"

namespace testing_support {

TempBooks::TempBooks(int items) {
    if (!m_dir.isValid()) throw std::runtime_error("no temporary folder");
    demobooks::Options options;
    options.items = items;
    demobooks::makeBooks(m_dir.path(), options);
}

namespace {

// One statement on the server's maintenance connection, where databases are made and dropped.
void onServer(const QString& server, const QString& sql) {
    const auto a = data::parseServerPath(server);
    if (!a) throw std::runtime_error("not a server address: " + server.toStdString());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"test-server-admin"_s);
        db.setHostName(a->host);
        db.setPort(a->port);
        db.setDatabaseName(a->database);
        if (!db.open() || !QSqlQuery(db).exec(sql))
            throw std::runtime_error("test server: " + db.lastError().text().toStdString());
        db.close();
    }
    QSqlDatabase::removeDatabase(u"test-server-admin"_s);
}

}  // namespace

QString ServerBooks::testServer() {
    return qEnvironmentVariable("TERMINAL_TEST_SERVER");
}

ServerBooks::ServerBooks(const TempBooks& books) : ServerBooks(books, testServer()) {}

ServerBooks::ServerBooks(const TempBooks& books, const QString& server, bool import)
    : m_server(server) {
    if (server.isEmpty()) return;
    static std::atomic<int> counter{0};
    m_name = u"books_%1_%2"_s.arg(::getpid()).arg(++counter);
    onServer(server, u"CREATE DATABASE %1"_s.arg(m_name));
    m_url = server.left(server.lastIndexOf(u'/') + 1) + m_name;
    if (import) data::importBooks(books.dataDir(), m_url);
}

std::unique_ptr<ServerBooks> booksOn(Engine engine, const TempBooks& books) {
    if (engine != Engine::Server) return nullptr;
    return std::make_unique<ServerBooks>(books);
}

ServerBooks::~ServerBooks() {
    if (m_name.isEmpty()) return;
    try {
        onServer(m_server, u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(m_name));
    } catch (...) {
        // A database left behind goes with the throwaway cluster.
    }
}

QVariant scalar(const QString& file, const QString& sql, const QVariantList& params) {
    auto db = data::Database::open(file);  // keeps the connection while the query is read
    QSqlQuery q = db->query(sql, params);
    const QVariant v = q.next() ? q.value(0) : QVariant();
    q.finish();
    return v;
}

QStringList column(const QString& file, const QString& sql, const QVariantList& params) {
    auto db = data::Database::open(file);
    QSqlQuery q = db->query(sql, params);
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    q.finish();
    return out;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

}  // namespace testing_support
