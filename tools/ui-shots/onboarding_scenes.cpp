#include "tools/ui-shots/onboarding_scenes.h"

namespace quillory {

const std::vector<OnboardingScene>& onboardingScenes() {
    static const std::vector<OnboardingScene> scenes = {
        {"welcome-intro"},
        {"welcome-permissions-none", 1},
        {"welcome-permissions-one", 1, true},
        {"welcome-permissions-both", 1, true, true},
        {"welcome-connect", 2},
        {"welcome-connect-updates", 2, true, true, false, true},
        {"welcome-connected", 2, true, true, true},
        {"welcome-connected-updates", 2, true, true, true, true},
        {"welcome-reduce-motion", 1, true, false, false, false, true},
    };
    return scenes;
}

const QStringList& onboardingPlacementNames() {
    static const QStringList names = {"welcomeHero",         "welcomeTitle",  "welcomeSubtitle",
                                      "stepMarker0",         "stepMarker1",   "stepMarker2",
                                      "openAtLoginChip",     "updatesChip",   "accessibilityChip",
                                      "screenRecordingChip", "primaryButton", "skipButton"};
    return names;
}

}  // namespace quillory
