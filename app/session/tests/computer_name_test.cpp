#include "app/session/computer_name.h"

#include <gtest/gtest.h>

namespace quillory {
namespace {

TEST(ComputerName, PrefersACleanPrettyNameAndFallsBackToTheHostName) {
    const QString longName = QString(150, QChar(0x00E9));  // 300 UTF-8 bytes
    struct Case {
        std::optional<QString> pretty;
        std::optional<QString> host;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("Ada\u0007's \u200bdesk\n"), QStringLiteral("host"),
         QStringLiteral("Ada's desk")},
        {longName, QStringLiteral("host"), QString(64, QChar(0x00E9))},
        {QString(), QStringLiteral("workstation"), QStringLiteral("workstation")},
        {QStringLiteral("\u0001\u0002"), QStringLiteral("workstation"),
         QStringLiteral("workstation")},
        {std::nullopt, QStringLiteral("work\u0001station"), QStringLiteral("workstation")},
        {std::nullopt, std::nullopt, QString()},
        {QString(), QString(), QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(chooseComputerName(c.pretty, c.host), c.expected)
            << (c.pretty ? c.pretty->toStdString() : "(none)");
    }
    EXPECT_LE(chooseComputerName(longName, std::nullopt).toUtf8().size(), 128);
}

TEST(ComputerName, AlwaysAnswersWithSomethingUsable) {
    // Whatever the machine answers: clean, bounded, never blocking for long.
    const QString name = computerName();
    EXPECT_LE(name.toUtf8().size(), 128);
    for (QChar c : name) {
        EXPECT_NE(c.category(), QChar::Other_Control);
    }
}

}  // namespace
}  // namespace quillory
