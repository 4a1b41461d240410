#include "design/cursor_claim.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <memory>
#include <thread>

namespace quillory {
namespace {

int depth() {
    return PointerCursor::shared()->depth();
}

TEST(CursorClaim, PushesOnceWhileWantedAndPopsOnce) {
    CursorClaim claim;
    const int pushes = PointerCursor::shared()->pushes();
    claim.want(true);
    claim.want(true);
    EXPECT_EQ(PointerCursor::shared()->pushes(), pushes + 1);
    EXPECT_EQ(depth(), 1);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);

    claim.release();
    claim.release();
    EXPECT_EQ(depth(), 0);
    EXPECT_FALSE(claim.claimed());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(CursorClaim, ClaimDestroyedOffTheMainThreadPopsLaterOnTheMainThread) {
    auto claim = std::make_unique<CursorClaim>();
    claim->want(true);
    claim->moveToThread(nullptr);
    std::thread([held = std::move(claim)]() mutable { held.reset(); }).join();
    EXPECT_EQ(depth(), 1) << "the pop waits for the main thread";

    QCoreApplication::processEvents();
    EXPECT_EQ(depth(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(depth(), 0) << "exactly one pop";
}

TEST(CursorClaim, NeverPopsACursorItDidNotPush) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::IBeamCursor));
    { CursorClaim unheld; }
    QCoreApplication::processEvents();
    PointerCursor::shared()->pop();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::IBeamCursor);
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace
}  // namespace quillory
