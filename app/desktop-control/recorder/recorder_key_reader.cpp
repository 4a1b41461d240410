#include "app/desktop-control/recorder/recorder_key_reader.h"

#include <QKeyEvent>
#include <optional>

namespace quillory {

namespace {

// X keycodes are evdev codes shifted by 8.
constexpr quint32 evdevOffset = 8;

ModifierSet modifierSet(Qt::KeyboardModifiers modifiers) {
    return {.control = modifiers.testFlag(Qt::ControlModifier),
            .option = modifiers.testFlag(Qt::AltModifier),
            .shift = modifiers.testFlag(Qt::ShiftModifier),
            .command = modifiers.testFlag(Qt::MetaModifier)};
}

enum class KeyRole { other, modifier, ignored };

KeyRole role(int key, std::optional<DesktopKey>& modifier) {
    switch (key) {
        case Qt::Key_Control:
            modifier = DesktopKey::control;
            return KeyRole::modifier;
        case Qt::Key_Alt:
            modifier = DesktopKey::option;
            return KeyRole::modifier;
        case Qt::Key_Shift:
            modifier = DesktopKey::shift;
            return KeyRole::modifier;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
            modifier = DesktopKey::command;
            return KeyRole::modifier;
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_Mode_switch:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
            return KeyRole::ignored;
        default:
            return KeyRole::other;
    }
}

}  // namespace

RecorderKeyEvent RecorderKeyReader::read(const QKeyEvent& event) {
    const bool pressed = event.type() == QEvent::KeyPress;
    if ((!pressed && event.type() != QEvent::KeyRelease) || event.nativeScanCode() <= evdevOffset ||
        event.nativeScanCode() - evdevOffset > 0xffff) {
        return {};
    }
    RecorderKeyEvent result;
    result.evdevCode = static_cast<std::uint16_t>(event.nativeScanCode() - evdevOffset);
    result.isRepeat = event.isAutoRepeat();
    std::optional<DesktopKey> modifier;
    switch (role(event.key(), modifier)) {
        case KeyRole::ignored:
            return {};
        case KeyRole::modifier:
            result.kind = RecorderKeyEvent::Kind::modifiersChanged;
            result.held =
                held_.update(modifierSet(event.modifiers()), *modifier, result.evdevCode, pressed)
                    .keys();
            return result;
        case KeyRole::other:
            if (!pressed) {
                return {};
            }
            result.kind = event.modifiers().testFlag(Qt::GroupSwitchModifier)
                              ? RecorderKeyEvent::Kind::refused
                              : RecorderKeyEvent::Kind::keyDown;
            result.held = modifierSet(event.modifiers()).keys();
            return result;
    }
    return {};
}

}  // namespace quillory
