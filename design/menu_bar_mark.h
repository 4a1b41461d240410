#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

class QSvgRenderer;

namespace quillory::MenuBarMark {

// Connection states the status item shows, in this order.
enum class State { idle, pairing, connected, failed };
inline constexpr State allStates[] = {State::idle, State::pairing, State::connected, State::failed};

inline constexpr const char* markName = "quillory-vorel";
// Logical size of every status image.
inline constexpr QSize imageSize{22, 18};

// The status image of a state as a template: opaque black where the tray should draw its
// foreground, transparent elsewhere. The icon draws itself at whatever size is asked (22 × 18
// fitted into it, at the painter's or the caller's device pixel ratio), so it is sharp on every
// tray and screen scale; the same object is returned on every call. Call from the GUI thread.
const QIcon& icon(State state);
const QIcon& idleIcon();
// The image of a state at `scale` device pixels per point (22 × 18 points).
QImage image(State state, qreal scale);

// The status image of a state for system trays, which do not tint: the template drawn white
// with a dark halo of about 1 point (at least 1 px), the badge's glyph still cut out. Drawn on
// demand like the templates; call from the GUI thread.
const QIcon& trayIcon(State state);
QImage trayImage(State state, qreal scale);
QImage drawTray(State state, qreal scale, QSvgRenderer* mark);

// Draws one status image at `scale`: the mark (when there is one) fitted into 18 × 16 at the
// lower left, a transparent ring and the badge disc at the upper right with the state's glyph
// cut out of it.
QImage draw(State state, qreal scale, QSvgRenderer* mark);

}  // namespace quillory::MenuBarMark
