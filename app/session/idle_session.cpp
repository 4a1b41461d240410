#include "app/session/idle_session.h"

namespace quillory {

namespace {

// Desktop input that never acts and records nothing.
class IdleInput final : public InputControl {
  public:
    using InputControl::InputControl;

    bool controlDesktop() const override { return false; }
    double pressure() const override { return 0; }
    const std::vector<PenSample>& samples() const override { return samples_; }
    std::optional<PenSample> pointer() const override { return std::nullopt; }
    void clearSamples() override {}
    void setRecording(bool) override {}

  private:
    std::vector<PenSample> samples_;
};

}  // namespace

IdleSession::IdleSession(QObject* parent)
    : SessionFacade(new IdleInput(), new InertStudio(), new InertShell(), parent) {}

}  // namespace quillory
