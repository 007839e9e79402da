#include "app/startup.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(ApplicationTitle, DropsTheLastWordAndMoreOnlyWhileOverForty) {
    // 45 characters whose last word has 6 letters: only that word goes, leaving 38.
    const QString name45 = QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta Et Omegas");
    ASSERT_EQ(name45.size(), 45);
    const QString t45 = Main::deriveApplicationTitle(name45);
    EXPECT_EQ(t45, QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta Et"));
    EXPECT_EQ(t45.size(), 38);

    // 50 characters ending in two 4-letter words: 50, then 45, then 40.
    const QString name50 = QStringLiteral("Abcdefghij Klmnopqrst Uvwxyzabcd Efghijk Nopq Rstu");
    ASSERT_EQ(name50.size(), 50);
    const QString t50 = Main::deriveApplicationTitle(name50);
    EXPECT_EQ(t50.size(), 40);
    EXPECT_EQ(t50, name50.left(40));

    // Short names still lose their last word.
    EXPECT_EQ(Main::deriveApplicationTitle(QStringLiteral("Plan Gatherer Pro")), QStringLiteral("Plan Gatherer"));
    // A name without a space stays whole instead of becoming an empty title.
    EXPECT_EQ(Main::deriveApplicationTitle(QStringLiteral("Quorrix")), QStringLiteral("Quorrix"));
    // A long name without spaces after the first cut stops there too.
    EXPECT_EQ(Main::deriveApplicationTitle(QString(45, QLatin1Char('x')) + QStringLiteral(" end")),
              QString(45, QLatin1Char('x')));
}

TEST(HasFileDate, TrueForExistingPathsFalseOtherwise) {
    QTemporaryDir dir;
    EXPECT_TRUE(Main::HasFileDate(dir.path()));
    EXPECT_FALSE(Main::HasFileDate(dir.path() + QStringLiteral("/missing.cur")));
    EXPECT_FALSE(Main::HasFileDate(QString()));
}

TEST(WaitSeconds, ProcessesEventsWhileWaiting) {
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    Main::WaitSeconds(0.1);
    EXPECT_TRUE(fired);
}

}  // namespace
