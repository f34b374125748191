#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace app {

/// Keeps a second start of the same executable from running. The lock is per executable path, so
/// "terminal" and "terminal2" run side by side; a crashed instance's lock is taken over.
class SingleInstance {
  public:
    /// `lockFolder` defaults to the system's temporary folder.
    explicit SingleInstance(const QString& executablePath, const QString& lockFolder = QString());
    /// True when no other instance of this executable holds the lock (and we now hold it).
    bool acquire();

  private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace app
