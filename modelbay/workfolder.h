// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_WORKFOLDER_H
#define MODELBAY_WORKFOLDER_H

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

// The folder where the window writes the plate for the slicer agent: one per
// window, made in the temporary folder when the window starts and removed with
// everything in it when the window goes. Each slicing run writes the same
// names again, so the folder never grows.
class WorkFolder : public QObject {
    Q_OBJECT
    Q_PROPERTY(QUrl url READ url CONSTANT)

public:
    explicit WorkFolder(QObject* parent = nullptr);

    // Empty when the folder could not be made.
    QUrl url() const;

private:
    QTemporaryDir m_dir;
};

#endif
