#include "support/TestSupport.h"

#include <QFile>
#include <QSqlQuery>
#include <stdexcept>

#include "DemoBooks.h"
#include "data/Database.h"

namespace testing_support {

TempBooks::TempBooks(int items) {
    if (!m_dir.isValid()) throw std::runtime_error("no temporary folder");
    demobooks::Options options;
    options.items = items;
    demobooks::makeBooks(m_dir.path(), options);
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
