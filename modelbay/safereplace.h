// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SAFEREPLACE_H
#define MODELBAY_SAFEREPLACE_H

#include <QObject>
#include <QString>
#include <QUrl>

// Replacing a file the user agreed to replace, without ever leaving it half
// written: the new content is first written whole under a fresh name in the
// same folder, then renamed over the old file in one step. Until that step
// the old file is untouched, and if anything fails it stays as it was.
namespace SafeReplace {

// A path in the folder of `target` that names no file now, hidden and
// keeping the target's suffix ("/a/.job.k3x9q2.sl1" for "/a/job.sl1").
QString freshPathBeside(const QString& target);

// Renames `fresh` over `target`. Returns an empty text on success; otherwise
// removes `fresh` and returns a sentence for the user naming `target`.
QString replace(const QString& fresh, const QString& target);

}

// The same for QML, which speaks in file URLs.
class FileReplacer : public QObject {
    Q_OBJECT

public:
    explicit FileReplacer(QObject* parent = nullptr);

    Q_INVOKABLE bool exists(const QUrl& file) const;
    Q_INVOKABLE QUrl freshUrlBeside(const QUrl& target) const;
    Q_INVOKABLE QString replace(const QUrl& fresh, const QUrl& target) const;
    // Removes a fresh file that is no longer wanted (a cancelled export).
    Q_INVOKABLE void discard(const QUrl& fresh) const;
};

#endif
