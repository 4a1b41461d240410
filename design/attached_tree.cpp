#include "design/attached_tree.h"

namespace quillory {

AncestorWatch::AncestorWatch(QObject* context, std::function<bool(QQuickItem*)> hasAttached,
                             std::function<void()> moved)
    : context_(context), hasAttached_(std::move(hasAttached)), moved_(std::move(moved)) {}

AncestorWatch::~AncestorWatch() {
    for (const auto& connection : connections_) {
        QObject::disconnect(connection);
    }
}

void AncestorWatch::watch(QQuickItem* owner) {
    for (const auto& connection : connections_) {
        QObject::disconnect(connection);
    }
    connections_.clear();
    owner_ = owner;
    for (QQuickItem* item = owner; item; item = item->parentItem()) {
        if (item != owner && hasAttached_(item)) {
            break;
        }
        connections_.push_back(QObject::connect(item, &QQuickItem::parentChanged, context_,
                                                [this] { ancestorMoved(); }));
    }
}

void AncestorWatch::ancestorMoved() {
    watch(owner_);
    moved_();
}

}  // namespace quillory
