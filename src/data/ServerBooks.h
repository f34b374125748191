#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>

struct pg_conn;
typedef struct pg_conn PGconn;

namespace data {

/// Books held by a PostgreSQL server: "postgresql://HOST[:PORT]/DATABASE/01Cari.mdb[?OPTIONS]".
/// Each company file is a schema named as the file without its extension, in lower case
/// ("01cari"). Credentials are never part of it: libpq finds them as it always does (PGUSER,
/// PGPASSWORD, a password or service file); OPTIONS such as sslmode=require are passed on.
struct ServerAddress {
    QString host;
    int port = 5432;
    QString database;
    QString file;     // what follows the database: "01Cari.mdb", "01", or empty
    QString options;  // libpq options, ";"-separated as the Qt driver takes them
    /// The schema of `file`, or empty when it names none.
    QString schema() const;
    /// "HOST:PORT/DATABASE", as the operator is told which server failed.
    QString serverText() const;
};

bool isServerPath(const QString& path);
/// Nothing for a path that is not a well-formed server path.
std::optional<ServerAddress> parseServerPath(const QString& path);

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
