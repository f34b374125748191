#include "app/Settings.h"

#include <QDir>
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

QString Settings::GetSetting(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    const QString file = applicationFile();
    QSettings s(file, formatFor(file));
    if (s.status() != QSettings::NoError) return defaultValue;
    const QVariant v = s.value(section + u'/' + key);
    return v.isValid() && v.typeId() == QMetaType::QString ? v.toString() : defaultValue;
}

bool Settings::SaveSetting(const QString& section, const QString& key, const QString& value) {
    const QString file = applicationFile();
    QSettings s(file, formatFor(file));
    s.setValue(section + u'/' + key, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

QString Settings::ReadRegistryText(Root, const QString& subkey, const QString& name) const {
    const QString file = registryFile(subkey);
    QSettings s(file, formatFor(file));
    if (s.status() != QSettings::NoError) return QString();
    const QVariant v = s.value(name);
    if (!v.isValid() || v.typeId() != QMetaType::QString) return QString();
    const QString text = v.toString();
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

bool Settings::WriteRegistryText(Root, const QString& subkey, const QString& name,
                                 const QString& text) {
    const QString file = registryFile(subkey);
    QSettings s(file, formatFor(file));
    s.setValue(name, text);
    s.sync();
    return s.status() == QSettings::NoError;
}

}  // namespace app
