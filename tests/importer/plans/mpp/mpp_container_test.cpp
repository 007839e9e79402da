#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <atomic>
#include <thread>

#include "importer/plans/mpp/mpp_container.h"
#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/plan_reader.h"
#include "mpp_test_files.h"

using namespace quorrix::importer::plans;
using mpp::CompoundFile;
using mpp_test::compoundFile;

TEST(CompoundFile, StoragesLeftOutAreEmptyAndTheOthersWhole) {
    const QString data = QStringLiteral("   114"), views = QStringLiteral("   214");
    const QByteArray bytes =
        compoundFile({{{data, QStringLiteral("Props")}, "props"},
                      {{data, QStringLiteral("TBkndTask"), QStringLiteral("VarMeta")}, QByteArray(5000, 'v')},
                      {{views, QStringLiteral("CEdl"), QStringLiteral("FixedData")}, "view"},
                      {{views, QStringLiteral("Props")}, "view props"},
                      {{QStringLiteral("Props14")}, "root props"}});
    const CompoundFile whole(bytes);
    EXPECT_EQ(whole.stream({QStringLiteral("   214"), QStringLiteral("Props")}), QByteArray("view props"));
    EXPECT_EQ(whole.stream({QStringLiteral("   214"), QStringLiteral("CEdl"), QStringLiteral("FixedData")}),
              QByteArray("view"));

    const auto keep = [](const QString& storage) { return storage.startsWith(QLatin1String("   1")); };
    const CompoundFile pruned(bytes, keep);
    EXPECT_EQ(pruned.stream({QStringLiteral("   114"), QStringLiteral("Props")}), QByteArray("props"));
    EXPECT_EQ(pruned.stream({QStringLiteral("   114"), QStringLiteral("TBkndTask"), QStringLiteral("VarMeta")}),
              QByteArray(5000, 'v'));
    EXPECT_EQ(pruned.stream({QStringLiteral("Props14")}), QByteArray("root props"));
    EXPECT_FALSE(pruned.stream({QStringLiteral("   214"), QStringLiteral("Props")}));
    EXPECT_FALSE(pruned.stream({QStringLiteral("   214"), QStringLiteral("CEdl"), QStringLiteral("FixedData")}));
    EXPECT_FALSE(pruned.stream({QStringLiteral("   214")}));  // still a storage, not a stream
}

TEST(CompoundFile, PlansReadOnTwoThreadsAtOnceReadAsOnOne) {
    const QString root = QStringLiteral(QUORRIX_TESTDATA "/plans");
    if (!QFileInfo::exists(root)) GTEST_SKIP() << "no test data";
    QStringList paths;
    QDirIterator it(root, {QStringLiteral("*.mpp")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) paths << it.next();
    paths.sort();
    ASSERT_GE(paths.size(), 8);
    paths = paths.mid(0, 8);
    std::vector<QStringList> expected;
    for (const QString& path : paths) {
        QStringList names;
        try {
            for (const auto& task : readPlanFile(path).positions) names << (task ? task->name : QStringLiteral("-"));
        } catch (const std::exception& e) {
            names << QString::fromUtf8(e.what());
        }
        expected.push_back(names);
    }
    std::atomic<int> differences{0};
    const auto reader = [&](int offset) {
        for (int round = 0; round < 4; ++round)
            for (int k = 0; k < paths.size(); ++k) {
                const int i = (k + offset) % int(paths.size());
                QStringList names;
                try {
                    for (const auto& task : readPlanFile(paths[i]).positions)
                        names << (task ? task->name : QStringLiteral("-"));
                } catch (const std::exception& e) {
                    names << QString::fromUtf8(e.what());
                }
                if (names != expected[size_t(i)]) ++differences;
            }
    };
    std::thread first(reader, 0), second(reader, 3);
    first.join();
    second.join();
    EXPECT_EQ(differences.load(), 0);
}
