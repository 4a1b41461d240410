#pragma once

#include <memory>

#include "app/controls/studio_control.h"
#include "app/studio/mac_studio_session.h"

namespace quillory {

// MacStudioSession as the session and the views see it: hands it the owner's hooks and publishes
// the session's three values. Main thread only.
class StudioSessionControl final : public StudioControl {
    Q_OBJECT

  public:
    explicit StudioSessionControl(std::shared_ptr<MacStudioSession> session,
                                  QObject* parent = nullptr);
    ~StudioSessionControl() override;

    void setHooks(StudioHooks hooks) override;
    void handle(const StudioSignal& signal) override;
    void reset(bool keepCatalog) override;
    void stop() override;

    const std::shared_ptr<MacStudioSession>& session() const { return session_; }

  private:
    void published(MacStudioSession::Published value);

    const std::shared_ptr<MacStudioSession> session_;
};

}  // namespace quillory
