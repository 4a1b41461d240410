#include "app/desktop-control/recorder/recorder_key_reader.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QKeyEvent>

namespace quillory {
namespace {

using K = DesktopKey;
using Kind = RecorderKeyEvent::Kind;

struct EventCase {
    QEvent::Type type;
    int qtKey;
    Qt::KeyboardModifiers before;  // as X reports it: the state before the event
    std::uint16_t evdevCode;
    Kind kind;
    std::vector<DesktopKey> held;
};

TEST(RecorderKeyReader, HeldModifiersAreTheBeforeStatePlusTheKeysOwnChange) {
    const auto press = QEvent::KeyPress;
    const auto release = QEvent::KeyRelease;
    const Qt::KeyboardModifiers none;
    const EventCase cases[] = {
        {press, Qt::Key_Control, none, KEY_LEFTCTRL, Kind::modifiersChanged, {K::control}},
        {press,
         Qt::Key_Shift,
         Qt::ControlModifier,
         KEY_LEFTSHIFT,
         Kind::modifiersChanged,
         {K::control, K::shift}},
        {press,
         Qt::Key_Shift,
         Qt::ControlModifier | Qt::ShiftModifier,
         KEY_RIGHTSHIFT,
         Kind::modifiersChanged,
         {K::control, K::shift}},
        // AltGr and Caps Lock count for nothing, and are not keys either.
        {press,
         Qt::Key_AltGr,
         Qt::ControlModifier | Qt::ShiftModifier,
         KEY_RIGHTALT,
         Kind::none,
         {}},
        {press,
         Qt::Key_CapsLock,
         Qt::ControlModifier | Qt::ShiftModifier,
         KEY_CAPSLOCK,
         Kind::none,
         {}},
        {press,
         Qt::Key_S,
         Qt::ControlModifier | Qt::ShiftModifier,
         KEY_S,
         Kind::keyDown,
         {K::control, K::shift}},
        {release, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, KEY_S, Kind::none, {}},
        // One Shift goes up while the other is still down.
        {release,
         Qt::Key_Shift,
         Qt::ControlModifier | Qt::ShiftModifier,
         KEY_LEFTSHIFT,
         Kind::modifiersChanged,
         {K::control, K::shift}},
        {release,
         Qt::Key_Shift,
         Qt::ControlModifier | Qt::ShiftModifier,
         KEY_RIGHTSHIFT,
         Kind::modifiersChanged,
         {K::control}},
        {press,
         Qt::Key_Super_L,
         Qt::ControlModifier,
         KEY_LEFTMETA,
         Kind::modifiersChanged,
         {K::control, K::command}},
        {press,
         Qt::Key_Alt,
         Qt::ControlModifier | Qt::MetaModifier,
         KEY_LEFTALT,
         Kind::modifiersChanged,
         {K::control, K::option, K::command}},
        {release,
         Qt::Key_Control,
         Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier,
         KEY_LEFTCTRL,
         Kind::modifiersChanged,
         {K::option, K::command}},
        {release,
         Qt::Key_Alt,
         Qt::AltModifier | Qt::MetaModifier,
         KEY_LEFTALT,
         Kind::modifiersChanged,
         {K::command}},
        {release, Qt::Key_Super_L, Qt::MetaModifier, KEY_LEFTMETA, Kind::modifiersChanged, {}},
        {press, Qt::Key_A, Qt::KeypadModifier, KEY_A, Kind::keyDown, {}},
    };
    RecorderKeyReader reader;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const EventCase& c = cases[i];
        const QKeyEvent event(c.type, c.qtKey, c.before, c.evdevCode + 8u, 0, 0);
        const RecorderKeyEvent read = reader.read(event);
        EXPECT_EQ(read.kind, c.kind) << "event " << i;
        EXPECT_EQ(read.held, c.held) << "event " << i;
        if (c.kind != Kind::none) {
            EXPECT_EQ(read.evdevCode, c.evdevCode) << "event " << i;
        }
    }
}

TEST(RecorderKeyReader, RepeatsAreMarkedAndEventsWithoutAScanCodeIgnored) {
    RecorderKeyReader reader;
    const QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, KEY_A + 8u, 0, 0,
                           QStringLiteral("a"), true);
    EXPECT_TRUE(reader.read(repeat).isRepeat);
    const QKeyEvent synthetic(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    EXPECT_EQ(reader.read(synthetic).kind, Kind::none);
}

}  // namespace
}  // namespace quillory
