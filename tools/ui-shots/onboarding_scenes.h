#pragma once

#include <QStringList>
#include <vector>

namespace quillory {

// The welcome window in the states a new user meets: each step, the grants on the permissions
// step, the last step with and without a tablet and an updater.
struct OnboardingScene {
    const char* name;
    int step = 0;
    bool accessibility = false;
    bool screenRecording = false;
    bool connected = false;
    bool updates = false;
    bool reduceMotion = false;
};

const std::vector<OnboardingScene>& onboardingScenes();

// The welcome window's items whose places the probes read.
const QStringList& onboardingPlacementNames();

}  // namespace quillory
