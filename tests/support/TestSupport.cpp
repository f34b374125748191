#include "support/TestSupport.h"

#include <QFile>
#include <stdexcept>

#include "DemoBooks.h"

namespace testing_support {

TempBooks::TempBooks(int items) {
    if (!m_dir.isValid()) throw std::runtime_error("no temporary folder");
    demobooks::Options options;
    options.items = items;
    demobooks::makeBooks(m_dir.path(), options);
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
