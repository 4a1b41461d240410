#pragma once

namespace quillory {

// Stores `value` and emits `changed` on `owner` only when it differs, so observers see each
// change once and never a repeat.
template <class Owner, class T, class Signal>
void publishChange(Owner* owner, T& field, const T& value, Signal changed) {
    if (field == value) {
        return;
    }
    field = value;
    emit(owner->*changed)();
}

}  // namespace quillory
