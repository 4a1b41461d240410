// One full read of a GTK application whose menus hold 600 commands.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/desktop-control/menu/menu_command_reader.h"
#include "app/desktop-control/menu/tests/test_application.h"
#include "platform/accessibility/accessibility_connection.h"
#include "platform/input/desktop_control_access.h"

namespace quillory {
namespace {

void readSixHundredItems(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr || !AccessibilityConnection::shared()->isAvailable()) {
        state.SkipWithError("needs DISPLAY and the accessibility bus (scripts/with-test-services)");
        return;
    }
    const DesktopControlAccess granted({.uinputWritable = [] { return true; },
                                        .uinputAvailable = [] { return true; },
                                        .xtestPresent = [] { return true; }});
    TestApplication application(MENU_TEST_GTK, {"--items", "600"});
    if (!application.isReady()) {
        state.SkipWithError("the GTK test program did not start");
        return;
    }
    std::size_t count = 0;
    for (int attempt = 0; attempt < 50 && count == 0; ++attempt) {
        count = MenuCommandReader::collectMenuCommands(application.processID, granted).size();
    }
    for (auto _ : state) {
        count = MenuCommandReader::collectMenuCommands(application.processID, granted).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["commands"] = static_cast<double>(count);
}
BENCHMARK(readSixHundredItems)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillory
