#pragma once

#include <QString>

namespace app {

/// The two per-user stores the terminal keeps: the application settings (addressed by application
/// name, section and key) and the registry key "RarovUv\Properties1". On Windows they are the
/// native registry; elsewhere INI files under the user's configuration folder, or under `root`
/// when one is given (tests).
class Settings {
  public:
    enum class Root { CurrentUser };

    Settings(QString applicationName, QString root = QString());

    /// Missing or unreadable settings give the default.
    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    bool SaveSetting(const QString& section, const QString& key, const QString& value);

    /// A string value, or empty when the key or value is missing or not a string.
    QString ReadRegistryText(Root root, const QString& subkey, const QString& name) const;
    bool WriteRegistryText(Root root, const QString& subkey, const QString& name,
                           const QString& text);

    const QString& applicationName() const { return m_applicationName; }

  private:
    QString applicationFile() const;
    QString registryFile(const QString& subkey) const;

    QString m_applicationName;
    QString m_root;
};

/// Application settings section and keys.
inline const QString SettingsSection = QStringLiteral("Zarvo");
inline const QString KeyServerPath = QStringLiteral("ip");
inline const QString KeyWorkKind = QStringLiteral("SbCr");
/// Registry key of the window placement (and the invoice number copies).
inline const QString PropertiesKey = QStringLiteral("RarovUv\\Properties1");

}  // namespace app
