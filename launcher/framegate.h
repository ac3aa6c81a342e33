// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LAUNCHER_FRAMEGATE_H
#define LAUNCHER_FRAMEGATE_H

#include <QObject>

class QQuickWindow;
class QTimer;

// Lets an idle window stop drawing. Qt 3D's Scene3D item asks for a new frame
// from every frame it sees (the window's afterAnimating signal), whatever the
// render policy, so a window that shows a 3D view never stops rendering. The
// gate stays open while the user works (input, resizes) or the window's QML
// says the scene changed (its sceneChanged() signal), and shuts once nothing
// happened for a while: frames asked for then are drawn with the window's
// signals held back, so the 3D view keeps its last picture and asks for no
// next frame, and the loop ends.
class FrameGate : public QObject {
    Q_OBJECT

public:
    // Owned by the window; follows the root object's sceneChanged() signal
    // when the window has one.
    explicit FrameGate(QQuickWindow* window, int settleMs = 1500);

    bool isOpen() const;

public slots:
    // Opens the gate (asking for a frame when it was shut) for another
    // settling time.
    void wake();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void shut();

    QQuickWindow* m_window;
    QTimer* m_settle;
    bool m_open = true;
    bool m_inFrame = false;
};

#endif
