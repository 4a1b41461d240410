#pragma once

#include <QObject>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/pen_sample.h"

namespace quillory {

class DesktopInputController;

// What the views use of desktop input: whether the pen really drives the desktop, the pen test's
// samples, pointer and pressure, and the pen test's two controls.
class InputControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool controlDesktop READ controlDesktop NOTIFY controlDesktopChanged)
    Q_PROPERTY(double pressure READ pressure NOTIFY pressureChanged)
    Q_PROPERTY(int sampleCount READ sampleCount NOTIFY samplesChanged)
    // {x, y, pressure, phase} of the last sample, or null.
    Q_PROPERTY(QVariant pointer READ pointerValue NOTIFY pointerChanged)

  public:
    using QObject::QObject;

    virtual bool controlDesktop() const = 0;
    virtual double pressure() const = 0;
    // Read by reference, never copied per frame.
    virtual const std::vector<PenSample>& samples() const = 0;
    // Samples ever appended to `samples`; with its size it tells how many left the front.
    virtual std::uint64_t samplesAppended() const = 0;
    // Changes whenever `samples` was emptied rather than appended to or trimmed at the front.
    virtual std::uint64_t sampleGeneration() const = 0;
    virtual std::optional<PenSample> pointer() const = 0;

    Q_INVOKABLE virtual void clearSamples() = 0;
    Q_INVOKABLE virtual void setRecording(bool recording) = 0;

    int sampleCount() const { return static_cast<int>(samples().size()); }
    QVariant pointerValue() const;

  signals:
    void controlDesktopChanged();
    void pressureChanged();
    void samplesChanged();
    void pointerChanged();
};

// The views' face of the application's DesktopInputController.
class DesktopInputControl final : public InputControl {
    Q_OBJECT

  public:
    explicit DesktopInputControl(DesktopInputController* controller, QObject* parent = nullptr);

    bool controlDesktop() const override;
    double pressure() const override;
    const std::vector<PenSample>& samples() const override;
    std::uint64_t samplesAppended() const override;
    std::uint64_t sampleGeneration() const override;
    std::optional<PenSample> pointer() const override;
    void clearSamples() override;
    void setRecording(bool recording) override;

  private:
    DesktopInputController* controller_;
};

}  // namespace quillory
