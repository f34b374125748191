#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <deque>

#include "core/Messages.h"

namespace testing_support {

/// Answers questions from a script and keeps every text the program said.
class RecordingMessages final : public core::Messages {
  public:
    void inform(const QString& text) override { said << text; }
    bool ask(const QString& text) override {
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
    QString dataDir() const { return m_dir.path() + QStringLiteral("/RezoruviZada"); }
    /// Server path of a company, e.g. ".../RezoruviZada/01".
    QString serverPath(const QString& company = QStringLiteral("01")) const {
        return dataDir() + u'/' + company;
    }

  private:
    QTemporaryDir m_dir;
};

/// The first value, or every first column, of a query on a books file.
QVariant scalar(const QString& file, const QString& sql, const QVariantList& params = {});
QStringList column(const QString& file, const QString& sql, const QVariantList& params = {});

/// Writes bytes to a file, creating it.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

}  // namespace testing_support
