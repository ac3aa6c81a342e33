// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_FRAMEGATE_H
#define MODELBAY_FRAMEGATE_H

#include <QObject>
#include <QPointer>

#include <atomic>

class QAbstractItemModel;
class QEvent;
class QQuickItem;
class QQuickWindow;
class QTimer;

// Lets the window of an idle 3D view stop drawing. Qt 3D's Scene3D item asks for a new frame
// from every frame it sees (the window's afterAnimating signal), whatever the render policy, so a
// window that shows a 3D view never stops rendering. The gate stays open while the user works
// (input, resizes) or what the view shows changes (the plate model, the scene, the camera, the
// view's own properties), and shuts once nothing happened for a while: frames asked for then are
// drawn with the window's signals held back, so the 3D view keeps its last picture and asks for
// no next frame, and the loop ends.
//
// Holding the signals back is safe only between two frames of Qt 3D. A frame the 3D view took
// part in has Qt 3D's aspects wait for its render: the render thread draws it when it emits
// beforeRendering, after the window's main thread has moved on. Held back then, that render
// never happens, and the next frame of the 3D view waits for it for ever. So a frame asked for
// while such a render is still owed waits for it before it is drawn.
class FrameGate : public QObject {
    Q_OBJECT
    Q_PROPERTY(QQuickItem* view READ view WRITE setView NOTIFY viewChanged)
    // A QAbstractItemModel: QML assigns it as an object.
    Q_PROPERTY(QObject* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QObject* scene READ scene WRITE setScene NOTIFY sceneChanged)
    Q_PROPERTY(QObject* camera READ camera WRITE setCamera NOTIFY cameraChanged)
    Q_PROPERTY(int settleMs READ settleMs WRITE setSettleMs NOTIFY settleMsChanged)
    Q_PROPERTY(bool open READ isOpen NOTIFY openChanged)

public:
    explicit FrameGate(QObject* parent = nullptr);
    ~FrameGate() override;

    // The item whose window is gated; its property changes wake the gate.
    QQuickItem* view() const;
    void setView(QQuickItem* view);
    // Row and data changes, and its property changes, wake the gate.
    QObject* model() const;
    void setModel(QObject* model);
    // The 3D scene and its camera: their property changes wake the gate.
    QObject* scene() const;
    void setScene(QObject* scene);
    QObject* camera() const;
    void setCamera(QObject* camera);
    // How long the gate stays open after the last wake.
    int settleMs() const;
    void setSettleMs(int settleMs);

    bool isOpen() const;

public slots:
    // Opens the gate (asking for a frame when it was shut) for another settling time.
    void wake();

signals:
    void viewChanged();
    void modelChanged();
    void sceneChanged();
    void cameraChanged();
    void settleMsChanged();
    void openChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QObject* source);
    void unfollow(QObject* source);
    void setWindow(QQuickWindow* window);
    void shut();
    void drawHeldBack(QEvent* event);
    void drawPostponed();
    void drawOpen();

    QPointer<QQuickItem> m_view;
    QPointer<QAbstractItemModel> m_model;
    QPointer<QObject> m_scene;
    QPointer<QObject> m_camera;
    QPointer<QQuickWindow> m_window;
    QTimer* m_settle;
    // Lets a postponed frame through open when its render never came (a render with nothing
    // to draw is skipped without a signal).
    QTimer* m_overdue;
    bool m_open = true;
    bool m_inFrame = false;
    bool m_passNext = false;
    // Written on the render thread: a frame was synchronised with signals on and its render
    // has not begun yet.
    std::atomic<bool> m_renderOwed { false };
    // A frame waits for that render; taken by whichever thread sees it first.
    std::atomic<bool> m_postponed { false };
};

#endif
