#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <atomic>
#include <optional>
#include <utility>

struct pg_conn;
typedef struct pg_conn PGconn;

namespace data {

/// Books held by a PostgreSQL server:
/// "postgresql://[USER@]HOST[:PORT]/DATABASE/01Cari.mdb[?OPTIONS]". Each company file is a schema
/// named as the file without its extension, in lower case ("01cari"). No password is ever part
/// of it: libpq finds it as it always does (PGPASSWORD, a password or service file). OPTIONS are
/// the few connection settings of ServerOptions, "&"-separated.
struct ServerAddress {
    QString host;
    int port = 5432;
    QString user;  // empty: libpq's own (PGUSER, the login name)
    QString database;
    QString file;  // what follows the database: "01Cari.mdb", "01", or empty
    QList<std::pair<QString, QString>> options;
    /// The Qt driver's connect options: our timeouts, then each option as one quoted keyword.
    QString connectOptions() const;
    /// The schema of `file`, or empty when it names none.
    QString schema() const;
    /// "HOST:PORT/DATABASE", as the operator is told which server failed.
    QString serverText() const;
};

/// The connection settings a server path may carry; any other is refused.
inline constexpr const char* ServerOptions[] = {
    "sslmode",          "sslrootcert",         "sslcert", "sslkey", "connect_timeout",
    "application_name", "target_session_attrs"};

/// How long a server connection waits for another session's lock, and for one statement
/// (milliseconds); taken by connections opened after a change (tests make them short). The
/// longest a call waits for any answer at all before its connection is shut (AnswerWatch), taken
/// at once by every connection.
struct ServerLimits {
    int lockTimeoutMs = 500;
    int statementTimeoutMs = 25000;
    std::atomic<int> answerTimeoutMs{30000};
};
ServerLimits& serverLimits();

/// Whether `path` names books on a server; only the factory of dialects (dialectOf) asks, and
/// everything else asks the dialect what differs.
bool isServerPath(const QString& path);
/// Nothing for a path that is not a well-formed server path; DatabaseError for an option that
/// is not one of ServerOptions. A file name appended behind the options, as callers append
/// "Cari.mdb" to a server path, is taken as part of the path.
std::optional<ServerAddress> parseServerPath(const QString& path);

/// A path split before its options: ("postgresql://h/db/01", "?sslmode=require"); a path
/// without options (every file path) is all base.
std::pair<QString, QString> splitPathOptions(const QString& path);
/// A server path split before its options; a file name appended behind them is part of the path.
std::pair<QString, QString> splitServerPath(const QString& path);
/// `path` with `name` appended to it, before a server path's options: what "path + name" means.
QString bookFile(const QString& path, const QString& name);

/// A schema name as PostgreSQL takes it: "01cari" must be quoted since it starts with a digit.
QString quotedSchema(const QString& schema);

/// A statement written for the embedded engine, as PostgreSQL runs it: quoted names in lower
/// case (the books' names are stored unquoted), the Turkish text fold spelled out in SQL (the
/// server gets no functions of ours), and LIKE compared the same way.
QString toPostgresSql(const QString& sql);

/// The server's words for its failures, in Turkish, with the server's own text after them.
QString serverCause(const QString& engineText);

/// An open connection of the Qt driver to the server's database (no schema chosen), named
/// `connectionName`. Throws DatabaseError naming the server and the cause.
QSqlDatabase openServerConnection(const ServerAddress& server, const QString& connectionName);

/// libpq's own connection under the Qt driver, for COPY and the connection's state; null when
/// the connection is not a server's.
PGconn* libpqHandle(const QSqlDatabase& db);

/// Ends a COPY: reads its results; empty when it succeeded, else the server's reason.
QString finishCopy(PGconn* conn);

}  // namespace data
