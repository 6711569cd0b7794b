#pragma once

#include "message.h"

#include <QPointer>
#include <QWidget>

namespace rt {

// A runtime window. Sizes and positions are layout units (dw::units). Subclasses build
// their controls in their constructor, in creation order, then the runtime raises each
// data window control's constructor event (createControls), open() when shown, and
// resize(sizetype, w, h) whenever the size changes.
class Window : public QWidget
{
    Q_OBJECT
public:
    explicit Window(QWidget *parent = nullptr);

    void setTitle(const QString &title);
    // Outer size in layout units; the window is centred on the screen when `center`.
    void setUnitsSize(int width, int height, bool center);
    // "AppIcon!" names the program's icon.
    void setIconName(const QString &name);
    void setBackColor(qint64 layoutColor);
    // "maximized", "normal", "minimized".
    void setWindowStateName(const QString &state);

    // The window comes back where the user left it: the size, position and maximised
    // state stored under `name` for the present screens replace the default placement,
    // unless the place cannot be reached on them (windowplacement.h) or the stored text is
    // not one. They are stored again when the window closes.
    void rememberPlacement(const QString &name);

    virtual void open() {}
    using QWidget::resize; // the event below must not hide QWidget::resize(w, h)
    virtual long resize(quint32 sizetype, int newwidth, int newheight);

    // Raises the constructor event of every data window control child, in creation
    // order, and lets the window say when one of them is reading (showReading).
    void createControls();

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Closing while a control reads stops the reading and closes once it has returned.
    void closeEvent(QCloseEvent *event) override;
    // Esc stops every reading of the window; the rows read so far stay.
    void keyPressEvent(QKeyEvent *event) override;
    // A data window control of this window has been reading for a while (true) or is
    // done (false). The title says "Leyendo…" meanwhile; a window with a better place
    // for it (a count label) overrides this.
    virtual void showReading(bool reading);

private:
    // Asks every control of the window that is retrieving to stop; true when one was.
    bool stopReadings();
    void retrieveFinished();

    void storePlacement() const;

    QString m_placementName; // empty: the window is not remembered
    QString m_titleBeforeReading;
    bool m_closeAfterReading = false;
};

// Makes the program's icon the application's (once): every window and dialog without an
// icon of its own then shows it, and the window system receives it with each window.
void useProgramIcon();

// Places a child control in layout units (x, y, width, height).
void placeControl(QWidget &control, int x, int y, int width, int height);

// Opens a window of class W through its one global reference: creates it when the
// reference is null (a closed window clears it), stores the parameter in Message(),
// shows it and raises open(). An open window raises open() again with the new parameter
// (so it shows the new value) and is brought to the front. Returns the window.
template <class W> W *OpenWithParm(QPointer<W> &reference, double parameter);
template <class W> W *OpenWithParm(QPointer<W> &reference, const QString &parameter);
template <class W> W *Open(QPointer<W> &reference);

// Closes a window (it is deleted once closed).
void Close(QWidget &window);

} // namespace rt

#include "window_impl.h"
