#include "app/controls/latency_value.h"

namespace quillory {

QString LatencyValue::kind() const {
    switch (latency_.kind()) {
        case LinkLatency::Case::measured:
            return QStringLiteral("measured");
        case LinkLatency::Case::measuring:
            return QStringLiteral("measuring");
        case LinkLatency::Case::timedOut:
            return QStringLiteral("timedOut");
        case LinkLatency::Case::unsupported:
            return QStringLiteral("unsupported");
    }
    return {};
}

QString LatencyValue::statusText() const {
    return QString::fromStdString(latency_.statusText());
}

}  // namespace quillory
