#include "app/shell/system_session_environment.h"

#include <unistd.h>

#include "app/desktop-control/menu/menu_command_reader.h"
#include "app/session/computer_name_cache.h"
#include "app/session/desktop_application_icons.h"
#include "app/session/shortcut_chord_recorder.h"
#include "app/session/x11_foreground_events.h"
#include "app/shell/logind_events.h"
#include "app/shell/mac_shell.h"
#include "platform/input/uinput_input_sink.h"

namespace quillory {

MacSession::Environment systemSessionEnvironment(QQmlEngine* recorderEngine) {
    MacSession::Environment env;
    env.listener = makeCompanionSessionListener();
    env.makeChannel = companionChannelFactory();
    env.openStore = [] { return DeviceTrustStore::open(hostTrustStoreLocation()); };
    env.input = DesktopInputEnvironment::system();
    env.controlPreferences = DesktopControlPreferences{UserDefaults::standard()};
    // The shell's probe answers for access; the session owns the shell, and with it the probe.
    MacShell* shell = MacShell::system();
    env.shell = shell;
    env.permissions = shell->probe();
    env.grant = shell->grant();
    env.hasInputPermission = [probe = shell->probe()] { return probe->desktopControlGranted(); };
    env.uinputWritable = [] { return ::access(UinputInputSink::path, W_OK) == 0; };
    env.desktop = env.input.desktop;
    env.readMenuCommands = [](std::int32_t processID) {
        return MenuCommandReader::collectMenuCommands(processID);
    };
    env.computerName = [] { return ComputerNameCache::shared().name(); };
    env.login = LogindEvents::system();
    env.foreground = std::make_shared<X11ForegroundEvents>();
    auto windowIcons = X11WindowIcons::connect(nullptr);
    env.icons = std::make_shared<DesktopApplicationIcons>(
        windowIcons ? std::move(windowIcons).value() : nullptr, DesktopEntries::shared());
    if (recorderEngine) {
        env.recorder = std::make_unique<ShortcutChordRecorder>(
            std::make_unique<ShortcutRecorder>(ShortcutRecorder::Environment{
                MainQueue::executor(), env.desktop, env.input.layout, recorderEngine}));
    }
    env.ownProcessID = static_cast<std::int32_t>(::getpid());
    return env;
}

}  // namespace quillory
