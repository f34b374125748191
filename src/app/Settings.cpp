#include "app/Settings.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

namespace app {

namespace {

#ifdef Q_OS_WIN
constexpr bool NativeRegistry = true;
#else
constexpr bool NativeRegistry = false;
#endif

const QString ApplicationSettingsFolder = QStringLiteral("VB and VBA Program Settings");

}  // namespace

Settings::Settings(QString applicationName, QString root)
    : m_applicationName(std::move(applicationName)), m_root(std::move(root)) {}

QString Settings::applicationFile() const {
    if (NativeRegistry && m_root.isEmpty()) {
        return QStringLiteral("HKEY_CURRENT_USER\\Software\\") + ApplicationSettingsFolder + u'\\' +
               m_applicationName;
    }
    const QString base =
        m_root.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         : m_root;
    return QDir(base).filePath(ApplicationSettingsFolder + u'/' + m_applicationName +
                               QStringLiteral(".ini"));
}

QString Settings::registryFile(const QString& subkey) const {
    if (NativeRegistry && m_root.isEmpty()) return QStringLiteral("HKEY_CURRENT_USER\\") + subkey;
    const QString base =
        m_root.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         : m_root;
    QString relative = subkey;
    relative.replace(u'\\', u'/');
    return QDir(base).filePath(relative + QStringLiteral(".ini"));
}

static QSettings::Format formatFor(const QString& file) {
    return file.startsWith(QStringLiteral("HKEY_")) ? QSettings::NativeFormat
                                                    : QSettings::IniFormat;
}

// Every value that can be read is read, even from a file with lines that cannot be parsed.
static QVariant readValue(const QString& file, const QString& key) {
    QSettings s(file, formatFor(file));
    if (s.status() == QSettings::AccessError) return {};
    const QVariant v = s.value(key);
    return v.isValid() && v.typeId() == QMetaType::QString ? v : QVariant();
}

// A file with unreadable lines is not written over as it stands (the settings layer refuses to);
// its readable values are kept, the file itself is set aside beside it, and the store is
// rewritten.
static bool writeValue(const QString& file, const QString& key, const QString& value) {
    QHash<QString, QVariant> kept;
    {
        QSettings old(file, formatFor(file));
        const QStringList keys = old.allKeys();  // the file is parsed, and its status known, here
        if (old.status() == QSettings::FormatError) {
            for (const QString& k : keys)
                kept.insert(k, old.value(k));
            QFile::remove(file + QStringLiteral(".bad"));
            if (!QFile::rename(file, file + QStringLiteral(".bad"))) return false;
        }
    }
    QSettings s(file, formatFor(file));
    for (auto it = kept.constBegin(); it != kept.constEnd(); ++it)
        s.setValue(it.key(), it.value());
    s.setValue(key, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

QString Settings::GetSetting(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    const QVariant v = readValue(applicationFile(), section + u'/' + key);
    return v.isValid() ? v.toString() : defaultValue;
}

bool Settings::SaveSetting(const QString& section, const QString& key, const QString& value) {
    return writeValue(applicationFile(), section + u'/' + key, value);
}

QString Settings::ReadRegistryText(Root, const QString& subkey, const QString& name) const {
    const QVariant v = readValue(registryFile(subkey), name);
    if (!v.isValid()) return QString();
    const QString text = v.toString();
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

bool Settings::WriteRegistryText(Root, const QString& subkey, const QString& name,
                                 const QString& text) {
    return writeValue(registryFile(subkey), name, text);
}

}  // namespace app
