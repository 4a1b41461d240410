#include "app/desktop-control/keyboard_injector.h"

#include <algorithm>

#include "app/desktop-control/named_keys.h"

namespace quillory {

std::uint64_t modifierFlag(DesktopKey key) {
    switch (key) {
        case DesktopKey::command:
            return ModifierFlags::command;
        case DesktopKey::control:
            return ModifierFlags::control;
        case DesktopKey::option:
            return ModifierFlags::option;
        case DesktopKey::shift:
            return ModifierFlags::shift;
        default:
            return 0;
    }
}

KeyboardInjector::KeyboardInjector(std::shared_ptr<InputEventSink> sink,
                                   std::shared_ptr<KeyboardLayout> layout,
                                   std::shared_ptr<const Clock> clock)
    : sink_(std::move(sink)), layout_(std::move(layout)), clock_(std::move(clock)) {}

std::uint64_t KeyboardInjector::modifierFlags() const {
    std::uint64_t flags = 0;
    for (const auto& [key, code] : pressed_) {
        flags |= modifierFlag(key);
    }
    return flags;
}

void KeyboardInjector::perform(const DesktopAction& action) {
    switch (action.kind) {
        case DesktopAction::Kind::tap: {
            const Uuid token = Uuid::random();
            if (press(action.keys, token)) {
                release(token);
            }
            break;
        }
        case DesktopAction::Kind::begin:
            if (action.token) {
                press(action.keys, *action.token);
            }
            break;
        case DesktopAction::Kind::end:
            if (action.token) {
                release(*action.token);
            }
            break;
        case DesktopAction::Kind::releaseAll:
            releaseAll();
            break;
        case DesktopAction::Kind::keepAlive:
            break;
    }
}

std::optional<KeyboardInjector::Resolution> KeyboardInjector::keyCode(DesktopKey key) const {
    if (const auto code = fixedKeyCode(key)) {
        return Resolution{*code, {}, false};
    }
    const auto character = typedCharacter(key);
    const auto keymap = layout_ ? layout_->current() : nullptr;
    if (!character || !keymap) {
        return std::nullopt;
    }
    const auto stroke = keymap->stroke(*character);
    if (!stroke || (stroke->altGr && !keymap->altGrKeyCode())) {
        return std::nullopt;
    }
    Resolution resolution{stroke->keyCode, {}, stroke->altGr};
    if (stroke->shift) {
        resolution.modifiers.push_back(DesktopKey::shift);
    }
    return resolution;
}

bool KeyboardInjector::press(std::vector<DesktopKey> keys, const Uuid& token) {
    std::map<DesktopKey, Resolution> codes;
    const auto appendModifiers = [&keys](const std::vector<DesktopKey>& modifiers) {
        for (DesktopKey modifier : modifiers) {
            if (std::find(keys.begin(), keys.end(), modifier) == keys.end()) {
                keys.push_back(modifier);
            }
        }
    };
    // Appended modifiers are resolved in turn as the loop reaches them.
    for (std::size_t index = 0; index < keys.size(); ++index) {
        const DesktopKey key = keys[index];
        if (const auto down = pressed_.find(key); down != pressed_.end()) {
            codes[key] = {down->second, {}, altGrKeys_.contains(key)};
            if (const auto needs = layoutModifiers_.find(key); needs != layoutModifiers_.end()) {
                appendModifiers(needs->second);
            }
            continue;
        }
        auto resolution = keyCode(key);
        if (!resolution) {
            return false;
        }
        appendModifiers(resolution->modifiers);
        codes[key] = std::move(*resolution);
    }
    const auto toPress = holds_.begin(token, keys);
    const auto& holds = holds_.holds();
    if (std::none_of(holds.begin(), holds.end(),
                     [&](const auto& hold) { return hold.token == token; })) {
        return false;  // the token is held already, or 16 holds are
    }
    for (DesktopKey key : toPress) {
        const Resolution& resolution = codes[key];
        if (!pressed_.contains(key)) {
            layoutModifiers_[key] = resolution.modifiers;
        }
        if (resolution.altGr) {
            if (altGrKeys_.empty()) {
                postAltGr(true);
            }
            altGrKeys_.insert(key);
        }
        pressed_[key] = resolution.code;
        postKey(key, resolution.code, true);
    }
    return true;
}

void KeyboardInjector::release(const Uuid& token) {
    releaseKeys(holds_.end(token));
}

void KeyboardInjector::releaseAll() {
    releaseKeys(holds_.releaseAll());
}

void KeyboardInjector::releaseKeys(const std::vector<DesktopKey>& keys) {
    for (DesktopKey key : keys) {
        const auto down = pressed_.find(key);
        if (down == pressed_.end()) {
            continue;
        }
        const std::uint16_t code = down->second;
        pressed_.erase(down);
        layoutModifiers_.erase(key);
        postKey(key, code, false);
        if (altGrKeys_.erase(key) > 0 && altGrKeys_.empty()) {
            postAltGr(false);
        }
    }
}

void KeyboardInjector::postKey(DesktopKey key, std::uint16_t code, bool down) {
    InputEvent event;
    event.type = isModifier(key) ? InputEventType::flagsChanged
                 : down          ? InputEventType::keyDown
                                 : InputEventType::keyUp;
    event.keyCode = code;
    event.keyIsDown = down;
    event.flags = modifierFlags();
    event.timestamp = clock_->nowNanoseconds();
    sink_->post(event);
}

void KeyboardInjector::postAltGr(bool down) {
    if (down) {
        // Released with the code it went down with, whatever the layout does meanwhile.
        const auto keymap = layout_ ? layout_->current() : nullptr;
        altGrCode_ = keymap ? keymap->altGrKeyCode() : std::nullopt;
    }
    if (!altGrCode_) {
        return;
    }
    InputEvent event;
    event.type = InputEventType::flagsChanged;
    event.keyCode = *altGrCode_;
    event.keyIsDown = down;
    event.flags = modifierFlags();
    event.timestamp = clock_->nowNanoseconds();
    sink_->post(event);
}

}  // namespace quillory
