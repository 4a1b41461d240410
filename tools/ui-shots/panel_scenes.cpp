#include "tools/ui-shots/panel_scenes.h"

#include <QVariantMap>
#include <algorithm>
#include <iterator>

namespace quillory {

namespace {

void connected(PanelSceneState& state) {
    state.session.setDesktopControlEnabled(QStringLiteral("ab12"), false);
    state.session.set({{"connectionState", "connected"},
                       {"connected", true},
                       {"listening", true},
                       {"peerName", "Ada's iPad"},
                       {"activePeer", "ab12"},
                       {"latency", 12.34}});
}

void pairing(PanelSceneState& state) {
    state.session.set({{"connectionState", "pairing"},
                       {"listening", true},
                       {"canApprove", true},
                       {"peerName", "iPad"},
                       {"pairingCode", "482916"}});
}

std::vector<PanelScene> waitingScenes() {
    return {
        {"waiting-offline", [](PanelSceneState&) {}},
        {"waiting-listening",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}});
         }},
        {"waiting-connecting",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}, {"connectionState", "pairing"}});
         }},
        {"waiting-recovering",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}, {"recovering", true}, {"peerName", "iPad"}});
         }},
        {"waiting-failed",
         [](PanelSceneState& s) {
             s.session.set({{"connectionState", "failed"},
                            {"failureMessage",
                             QStringLiteral("The apps couldn’t verify this connection. Make sure "
                                            "both devices have the same Quillory version.")}});
         }},
    };
}

std::vector<PanelScene> pairingScenes() {
    return {
        {"pairing-first-second",
         [](PanelSceneState& s) {
             s.codeOpening = true;
             pairing(s);
         }},
        {"pairing-ready",
         [](PanelSceneState& s) {
             pairing(s);
             s.clock.advance(1.0);
         }},
        {"pairing-confirmed-here",
         [](PanelSceneState& s) {
             pairing(s);
             s.clock.advance(1.0);
             s.session.set({{"pairingApproved", true}, {"canApprove", false}});
         }},
        {"pairing-confirmed-both",
         [](PanelSceneState& s) {
             pairing(s);
             s.clock.advance(1.0);
             s.session.set(
                 {{"pairingApproved", true}, {"peerApproved", true}, {"canApprove", false}});
         }},
    };
}

std::vector<PanelScene> connectedScenes() {
    return {
        {"connected", connected},
        {"connected-studio-active",
         [](PanelSceneState& s) {
             connected(s);
             s.session.setDesktopControlEnabled(QStringLiteral("ab12"), true);
             s.session.fakeInput()->setControlDesktop(true);
             s.session.fakeStudio()->publishActive(true);
         }},
        {"connected-studio-stopped",
         [](PanelSceneState& s) {
             connected(s);
             s.inputAccess = false;
             s.session.setDesktopControlEnabled(QStringLiteral("ab12"), true);
             s.session.set({{"latency", "timedOut"}});
             s.session.fakeStudio()->publishFailure(QStringLiteral("Screen capture ended."));
         }},
        {"connected-studio-reopen",
         [](PanelSceneState& s) {
             connected(s);
             s.session.setDesktopControlEnabled(QStringLiteral("ab12"), true);
             s.session.set({{"pencilTestActive", true}, {"latency", "unsupported"}});
             s.session.fakeShell()->setScreenCaptureAllowedAtLaunch(false);
             s.session.fakeStudio()->publishFailure(QStringLiteral("Screen capture ended."));
         }},
    };
}

std::vector<PanelScene> permissionAndUpdateScenes() {
    return {
        {"permissions-access",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}});
             s.inputAccess = false;
         }},
        {"permissions-screen",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}});
             s.screenCapture = false;
         }},
        {"permissions-relaunch",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}});
             s.session.fakeShell()->setScreenCaptureAllowedAtLaunch(false);
         }},
        {"update-banner",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}});
             s.session.fakeShell()->fakeUpdates()->publishAvailable(true);
             s.session.fakeShell()->fakeUpdates()->publishPendingVersion(QStringLiteral("2.1"));
         }},
        {"update-check",
         [](PanelSceneState& s) {
             s.session.set({{"listening", true}});
             s.session.fakeShell()->fakeUpdates()->publishAvailable(true);
         }},
    };
}

}  // namespace

const std::vector<PanelScene>& panelScenes() {
    static const std::vector<PanelScene> scenes = [] {
        std::vector<PanelScene> all;
        for (auto group :
             {waitingScenes, pairingScenes, connectedScenes, permissionAndUpdateScenes}) {
            std::ranges::move(group(), std::back_inserter(all));
        }
        return all;
    }();
    return scenes;
}

const std::vector<HeaderScene>& headerScenes() {
    static const std::vector<HeaderScene> scenes = {
        {"header-compact", 76, ""},
        {"header-compact-clay-pen", 76, "clay-pen"},
        {"header-regular-clay-vorel", 150, "clay-vorel"},
        {"header-regular-clay-tablet", 150, "clay-tablet"},
        {"header-regular-clay-pen", 150, "clay-pen"},
    };
    return scenes;
}

}  // namespace quillory
