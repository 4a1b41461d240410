#pragma once

#include <functional>
#include <vector>

#include "app/session/testing/fake_session.h"
#include "platform/clock/clock.h"
#include "platform/clock/testing/fake_clock.h"

namespace quillory {

// What a panel scene sets before the shot: the session, the clock of the pairing second and the
// permission answers.
struct PanelSceneState {
    FakeSession& session;
    FakeClock& clock;
    bool inputAccess = true;
    bool screenCapture = true;
    bool codeOpening = false;  // shown as a pairing code opens it, without the keyboard
};

struct PanelScene {
    const char* name;
    std::function<void(PanelSceneState&)> setUp;
};

// The quick controls in each case the panel can show.
const std::vector<PanelScene>& panelScenes();

// The card header scenes: {name, height, art}.
struct HeaderScene {
    const char* name;
    int height;
    const char* art;
};

const std::vector<HeaderScene>& headerScenes();

}  // namespace quillory
