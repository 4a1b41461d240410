#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "platform/result/result.h"

struct xcb_connection_t;

namespace quillory {

// The X server repeats a held key, injected ones included: a chord held from the tablet must stay
// one key-down. Repeat is turned off key by key (XKB per-key repeat of the core keyboard, which
// the server passes to every keyboard) and only while we hold the key; the global repeat switch
// is never touched. The keys whose repeat is off are listed in `record` meanwhile, so that the
// next start undoes what a crash left. Confined to the input queue.
class KeyRepeatControl {
  public:
    // `display` nullptr means $DISPLAY. Restores what an earlier run's record lists. Fails when
    // no server with XKB answers.
    static Result<std::unique_ptr<KeyRepeatControl>, std::string> connect(
        const char* display, std::filesystem::path record);
    // Restores every key still held.
    ~KeyRepeatControl();
    KeyRepeatControl(const KeyRepeatControl&) = delete;
    KeyRepeatControl& operator=(const KeyRepeatControl&) = delete;

    // Before the key goes down: the server has applied the change when this returns.
    void hold(std::uint16_t evdevCode);
    // After the key came up: its earlier repeat bit again.
    void release(std::uint16_t evdevCode);
    void releaseAll();

    // The server's per-key repeat bit for the key.
    bool repeats(std::uint16_t evdevCode) const;
    // The default place of the record: $XDG_STATE_HOME/quillory/, else ~/.local/state/quillory/.
    static std::filesystem::path defaultRecord();

  private:
    KeyRepeatControl(xcb_connection_t* connection, std::string display,
                     std::filesystem::path record);
    void setRepeat(const std::set<std::uint8_t>& keys, bool on);
    // `current` holds the server's 32 bytes of per-key bits.
    void setRepeat(const std::uint8_t* current, const std::set<std::uint8_t>& keys, bool on);
    void writeRecord() const;
    void restoreRecord();

    xcb_connection_t* connection_;
    std::string display_;
    std::filesystem::path record_;
    std::set<std::uint8_t> held_;      // X key codes we hold
    std::set<std::uint8_t> silenced_;  // those whose repeat we turned off
};

}  // namespace quillory
