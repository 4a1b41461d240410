#pragma once

#include <QMetaType>
#include <QString>

#include "protocol/link_latency.h"

namespace quillory {

// A LinkLatency as QML reads it: `session.latency.statusText`, `.kind`, `.milliseconds`.
class LatencyValue {
    Q_GADGET
    Q_PROPERTY(QString kind READ kind CONSTANT)
    Q_PROPERTY(double milliseconds READ milliseconds CONSTANT)
    Q_PROPERTY(QString statusText READ statusText CONSTANT)

  public:
    LatencyValue() : latency_(LinkLatency::measuring()) {}
    explicit LatencyValue(LinkLatency latency) : latency_(latency) {}

    const LinkLatency& latency() const { return latency_; }
    // "measured", "measuring", "timedOut" or "unsupported".
    QString kind() const;
    double milliseconds() const { return latency_.milliseconds(); }
    QString statusText() const;

    friend bool operator==(const LatencyValue&, const LatencyValue&) = default;

  private:
    LinkLatency latency_;
};

}  // namespace quillory

Q_DECLARE_METATYPE(quillory::LatencyValue)
