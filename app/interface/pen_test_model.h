#pragma once

#include <QtQml/qqmlregistration.h>

#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QSizeF>

#include "app/session/session_facade.h"

namespace quillory {

// The pen test window's logic: whether there is ink, the grid switch, the pressure readout,
// Clear, "Return to desktop", and the canvas box fitted to the screen. Main thread.
class PenTestModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(quillory::SessionFacade* session READ session WRITE setSession NOTIFY sessionChanged)
    Q_PROPERTY(bool hasInk READ hasInk NOTIFY hasInkChanged)
    Q_PROPERTY(bool grid READ grid WRITE setGrid NOTIFY gridChanged)
    Q_PROPERTY(double pressure READ pressure NOTIFY pressureChanged)
    // The level bar's share, 0 to 1.
    Q_PROPERTY(double pressureFraction READ pressureFraction NOTIFY pressureChanged)
    Q_PROPERTY(QString pressureText READ pressureText NOTIFY pressureChanged)
    Q_PROPERTY(QString clearToolTip READ clearToolTip CONSTANT)
    // The available geometry of the window's screen, logical pixels; empty: no limit.
    Q_PROPERTY(QSizeF available READ available WRITE setAvailable NOTIFY canvasSizeChanged)
    Q_PROPERTY(QSizeF canvasSize READ canvasSize NOTIFY canvasSizeChanged)

  public:
    static constexpr double canvasWidth = 760;
    static constexpr double fallbackAspect = 1.6;
    // What surrounds the canvas box vertically: the header, the content's paddings, the
    // spacing and the footer (as tall as its pill button), plus the card window's shadow margin
    // on both sides.
    static constexpr double headerHeight = 76;
    static constexpr double padding = 16;
    static constexpr double spacing = 12;
    static constexpr double footerHeight = 44;
    static constexpr double windowMargin = 24;
    static constexpr double chromeHeight =
        headerHeight + 2 * padding + spacing + footerHeight + 2 * windowMargin;
    static constexpr double chromeWidth = 2 * padding + 2 * windowMargin;
    // The key sequence of the application's "Clear Pen Test" command.
    static constexpr const char* clearShortcut = "Ctrl+Shift+K";

    explicit PenTestModel(QObject* parent = nullptr);

    // The box keeps the main display's aspect (1.6 without one): 760 wide unless the window
    // would not fit the available geometry, then narrower.
    static QSizeF canvasBox(QSize mainDisplay, QSizeF available);

    SessionFacade* session() const { return session_; }
    void setSession(SessionFacade* session);
    bool hasInk() const { return hasInk_; }
    bool grid() const { return grid_; }
    void setGrid(bool grid);
    double pressure() const;
    double pressureFraction() const;
    QString pressureText() const;
    QString clearToolTip() const;
    QSizeF available() const { return available_; }
    void setAvailable(QSizeF available);
    QSizeF canvasSize() const;
    void setLocale(const QLocale& locale) { locale_ = locale; }

    Q_INVOKABLE void toggleGrid() { setGrid(!grid_); }
    Q_INVOKABLE void clear();
    // Gives the pen back to the desktop (the tablet's desktop-control switch on, access asked
    // for) and asks for the window to close, with or without a tablet.
    Q_INVOKABLE void returnToDesktop();

  signals:
    void sessionChanged();
    void hasInkChanged();
    void gridChanged();
    void pressureChanged();
    void canvasSizeChanged();
    void closeRequested();

  private:
    void refreshInk();

    QPointer<SessionFacade> session_;
    bool hasInk_ = false;
    bool grid_ = true;
    QSizeF available_;
    QLocale locale_;
};

}  // namespace quillory
