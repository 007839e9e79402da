// The further task fields of the .mpp reader: notes from rich text, the derived outline fields,
// resource names from the resource and assignment tables, and whole crafted plans read with
// details, including hostile values.
#include "importer/plans/mpp/mpp_details.h"

#include <gtest/gtest.h>

#include <cmath>

#include "importer/plans/mpp/mpp_notes_rtf.h"
#include "importer/plans/mpp/mpp_reader.h"
#include "mpp_test_files.h"
#include "platform/failure.h"

namespace quorrix::importer::plans {
namespace {

using namespace mpp;
using namespace mpp_test;

QString notes(const QByteArray& stored) { return notesText(Bytes(stored)); }

TEST(MppNotes, TurnsRichTextIntoPlainText) {
    // Plain text stays as it is (CR LF becomes LF), up to the first NUL.
    EXPECT_EQ(notes(QByteArray("Call Anna\r\nthen Ben\0ignored", 27)), QStringLiteral("Call Anna\nthen Ben"));
    EXPECT_EQ(notes("Caf\xe9 \x80"), QStringLiteral(u"Café €"));
    EXPECT_EQ(notes(""), QString());

    // Destinations, paragraphs, tabs, escapes; the last paragraph's break is dropped.
    EXPECT_EQ(notes("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil Calibri;}}{\\colortbl "
                    ";\\red0\\green0\\blue0;}"
                    "{\\*\\generator Riched20 14.0;}\\viewkind4\\uc1\\pard\\f0\\fs22 First line\\par\r\n"
                    "Second\\tab column \\{braces\\} and \\\\ back\\line next\\par\r\n}"),
              QStringLiteral("First line\nSecond\tcolumn {braces} and \\ back\nnext"));
    // Code page bytes and Unicode escapes with their fallback characters skipped.
    EXPECT_EQ(notes("{\\rtf1 em fun\\'e7\\'e3o de n\\'e3o\\par}"), QStringLiteral(u"em função de não"));
    EXPECT_EQ(notes("{\\rtf1 \\u8364?x \\uc2\\u-3913\\'aa\\'bby\\uc0\\u8482 z}"),
              QStringLiteral(u"€x \uF0B7y™z"));
    EXPECT_EQ(notes("{\\rtf1 a\\~b\\-c\\\nd}"), QStringLiteral(u"a\u00A0bc\nd"));
    // A skipped group ends at its own brace; text after it counts again.
    EXPECT_EQ(notes("{\\rtf1 {\\*\\unknown {nested} text}kept{\\header gone}}"), QStringLiteral("kept"));
    // Only one trailing break goes.
    EXPECT_EQ(notes("{\\rtf1 a\\par\\par}"), QStringLiteral("a\n"));
}

TEST(MppNotes, HostileRichTextGivesBoundedText) {
    // Nesting far deeper than any note: the deep part produces nothing, the rest is read.
    QByteArray deep = "{\\rtf1 before";
    deep += QByteArray(100000, '{') + "lost" + QByteArray(100000, '}') + "after}";
    EXPECT_EQ(notes(deep), QStringLiteral("beforeafter"));
    // More closing braces than opening ones, a cut escape, a huge skip count and parameter.
    EXPECT_EQ(notes("{\\rtf1 a}}}}b\\'"), QStringLiteral("ab"));
    EXPECT_EQ(notes("{\\rtf1 \\uc999999999999\\u65\\'41\\'42xyz}"), QStringLiteral("A"));  // skips at most 16
    EXPECT_EQ(notes("{\\rtf1 \\u99999999999999999999 ok\\u-99999 \\'zz}"), QStringLiteral("okzz"));
    // A control word of any length matches nothing and ends at its delimiter.
    EXPECT_EQ(notes("{\\rtf1 \\" + QByteArray(5000, 'p') + " x\\par" + "}"), QStringLiteral("x"));
    // A long note gives at most one character per byte.
    const QByteArray many = "{\\rtf1 " + QByteArray(200000, 'x') + "}";
    EXPECT_EQ(notes(many).size(), 200000);
}

TEST(MppDetails, ResourceNamesByUniqueId) {
    std::vector<TaskDetails> tasks(3);
    tasks[0].uniqueId = 7;
    tasks[2].uniqueId = 9;
    std::vector<TaskDetails*> positions = {&tasks[0], nullptr, &tasks[1], &tasks[2]};
    attachResourceNames(positions, {{7, QStringLiteral("Anna")}, {8, QStringLiteral("Ben")}});
    EXPECT_EQ(tasks[0].resourceNames, QStringLiteral("Anna"));
    EXPECT_EQ(tasks[1].resourceNames, QString());  // no unique ID
    EXPECT_EQ(tasks[2].resourceNames, QString());  // nobody assigned
}

TEST(MppDetails, ReadsAProject98TaskRecord) {
    QByteArray record(316, '\0');
    put32(record, 0, 12);
    put16(record, 48, 2);
    put16(record, 130, 75);
    record[12] = 0x01;                             // milestone
    put32(record, 112, stamp(at(2024, 3, 1, 8)));  // baseline start
    put32(record, 116, 0xFFFFFFFF);                // baseline finish: NA
    put32(record, 82, 9600);                       // baseline duration, tenths of a minute
    put32(record, 104, stamp(at(2024, 3, 4, 9)));
    put32(record, 222, 0x00000001);  // cost: a 6-byte number of hundredths
    put16(record, 226, 0x0001);
    put32(record, 168, 1000);  // work: hundredths of an hour
    auto d = readMpp8Details(Bytes(record));
    EXPECT_EQ(d->uniqueId, 12);
    EXPECT_EQ(d->outlineLevel, 2);
    EXPECT_EQ(d->percentComplete, 75);
    EXPECT_EQ(d->milestone, true);
    EXPECT_EQ(d->baselineStart, at(2024, 3, 1, 8));
    EXPECT_FALSE(d->baselineFinish.isValid());
    EXPECT_EQ(d->baselineDurationMinutes, 960);
    EXPECT_EQ(d->actualStart, at(2024, 3, 4, 9));
    EXPECT_FALSE(d->actualFinish.isValid());
    EXPECT_DOUBLE_EQ(d->cost.value_or(0), (4294967296.0 + 1) / 100);
    EXPECT_DOUBLE_EQ(d->workMinutes.value_or(0), 600);

    // A record cut short reads as zeros beyond its end; a percentage out of range is none.
    put16(record, 130, 101);
    EXPECT_FALSE(readMpp8Details(Bytes(record))->percentComplete.has_value());
    d = readMpp8Details(Bytes(record.left(60)));
    EXPECT_EQ(d->outlineLevel, 2);
    EXPECT_EQ(d->cost, 0);
    EXPECT_FALSE(d->baselineDurationMinutes.has_value());
}

// ---- resource and assignment tables -----------------------------------------------------------

struct Table {
    QByteArray fixedMeta, fixedData, varMeta, var2Data;
    TableStreams streams() const {
        return {Bytes(fixedMeta), Bytes(fixedData), Bytes(varMeta), Bytes(var2Data)};
    }
};

// FixedMeta items of `itemSize` (first byte = flags) pointing at `records` in FixedData, and
// MPP12-style VarMeta entries (unique ID, key, value).
Table table(int itemSize, const std::vector<std::pair<quint8, QByteArray>>& records,
            const std::vector<std::tuple<qint32, int, QByteArray>>& values,
            std::optional<qint32> badOffset = {}) {
    Table t;
    t.fixedMeta = QByteArray(16, '\0');
    put32(t.fixedMeta, 0, 0xFADFADBA);
    for (const auto& [flags, record] : records) {
        QByteArray item(itemSize, '\0');
        item[0] = static_cast<char>(flags);
        put32(item, 4, static_cast<quint32>(t.fixedData.size()));
        t.fixedMeta += item;
        t.fixedData += record;
    }
    if (badOffset) {
        QByteArray item(itemSize, '\0');
        put32(item, 4, static_cast<quint32>(*badOffset));
        t.fixedMeta += item;
    }
    t.varMeta = QByteArray(24, '\0');
    put32(t.varMeta, 0, 0xFADFADBA);
    for (const auto& [uid, key, value] : values) {
        QByteArray entry(12, '\0');
        put32(entry, 0, static_cast<quint32>(uid));
        put32(entry, 4, static_cast<quint32>(t.var2Data.size()));
        put16(entry, 8, static_cast<quint16>(key));
        t.varMeta += entry;
        t.var2Data += le32(static_cast<quint32>(value.size())) + value;
    }
    return t;
}

constexpr quint32 kResourceBase = 0x0C400000;
constexpr quint32 kAssignmentBase = 0x0F400000;

QByteArray resourceRecord(qint32 uid) {
    QByteArray r(8, '\0');
    put32(r, 0, static_cast<quint32>(uid));
    put32(r, 4, static_cast<quint32>(uid));
    return r;
}

QByteArray assignmentRecord(qint32 uid, qint32 task, qint32 resource, double units = 10000) {
    QByteArray r(20, '\0');
    put32(r, 0, static_cast<quint32>(uid));
    put32(r, 4, static_cast<quint32>(task));
    put32(r, 8, static_cast<quint32>(resource));
    putF64(r, 12, units);
    return r;
}

// Resources: unique ID 0:0, ID 0:4, Name var. Assignments: unique ID 0:0, task 0:4, resource
// 0:8, units 0:12 (f64, hundredths of a percent).
DetailTables tablesFor(const Table& resources, const Table& assignments) {
    DetailTables t;
    t.resourceMap = [] {
        return FieldMap::parse(Bytes(fieldMap({{27, 0, 4, 0x03, 0, kResourceBase},
                                               {0, 4, 4, 0x03, 0, kResourceBase},
                                               {1, 0xFFFF, 512, 0x08, 0, kResourceBase}})),
                               Format::Mpp12, resourceFields());
    };
    t.assignmentMap = [] {
        return FieldMap::parse(Bytes(fieldMap({{0, 0, 4, 0x03, 0, kAssignmentBase},
                                               {1, 4, 4, 0x03, 0, kAssignmentBase},
                                               {2, 8, 4, 0x03, 0, kAssignmentBase},
                                               {7, 12, 8, 0x66, 0, kAssignmentBase}})),
                               Format::Mpp12, assignmentFields());
    };
    t.resources = [&resources] { return resources.streams(); };
    t.assignments = assignments.streams();
    return t;
}

TEST(MppDetails, JoinsResourceNamesFromTheAssignments) {
    const Table resources = table(37,
                                  {{0, resourceRecord(1)},
                                   {0, resourceRecord(2)},
                                   {0, resourceRecord(3)},
                                   {0, resourceRecord(1)},
                                   {0, QByteArray(3, '\0')}},
                                  {{1, 1, utf16(QStringLiteral("Anna"))},
                                   {2, 1, utf16(QStringLiteral("Ben"))},
                                   {3, 5, "x"}});  // a resource without a name entry
    const Table assignments = table(34,
                                    {{0, assignmentRecord(5, 1, 2, 5000)},
                                     {0, assignmentRecord(3, 1, 1)},
                                     {0, assignmentRecord(9, 1, 1, 2500)},  // the same resource again
                                     {0, assignmentRecord(4, 2, -65535)},   // Project's "no resource"
                                     {0, assignmentRecord(6, 3, 99)},       // an unknown resource
                                     {0, assignmentRecord(8, 77, 1)},       // an unknown task
                                     {2, assignmentRecord(10, 2, 1)},       // deleted
                                     {0, assignmentRecord(11, 2, 2)},       // no var entry: not in use
                                     {0, assignmentRecord(12, 3, 3)}},      // a resource without a name
                                    {{5, 1, "x"},
                                     {3, 1, "x"},
                                     {9, 1, "x"},
                                     {4, 1, "x"},
                                     {6, 1, "x"},
                                     {8, 1, "x"},
                                     {10, 1, "x"},
                                     {12, 1, "x"}},
                                    1 << 30);  // an item pointing past the stream
    const auto names = resourceNames(Format::Mpp12, tablesFor(resources, assignments), {1, 2, 3});
    ASSERT_EQ(names.count(1), 1u);
    EXPECT_EQ(names.at(1), QStringLiteral("Anna,Ben[50%]"));
    EXPECT_EQ(names.count(2), 0u);
    EXPECT_EQ(names.count(3), 0u);

    // Missing or broken tables give no names rather than a failure.
    EXPECT_TRUE(resourceNames(Format::Mpp12, tablesFor(Table{}, Table{}), {1}).empty());
    EXPECT_TRUE(resourceNames(Format::Mpp12, tablesFor(Table{}, assignments), {1}).empty());
    EXPECT_TRUE(resourceNames(Format::Mpp12, DetailTables{}, {1}).empty());
}

TEST(MppDetails, RefusesResourceNamesThatRepeatBeyondTheFile) {
    // One very long name assigned to many tasks would multiply the file's text.
    const Table resources =
        table(37, {{0, resourceRecord(1)}}, {{1, 1, utf16(QString(40000, QLatin1Char('n')))}});
    std::vector<std::pair<quint8, QByteArray>> records;
    std::vector<std::tuple<qint32, int, QByteArray>> values;
    std::vector<qint32> tasks;
    for (int k = 1; k <= 60; ++k) {
        records.push_back({0, assignmentRecord(k, k, 1)});
        values.emplace_back(k, 1, "x");
        tasks.push_back(k);
    }
    try {
        resourceNames(Format::Mpp12, tablesFor(resources, table(34, records, values)), tasks);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_FALSE(QString::fromUtf8(failure.what()).contains(QLatin1Char('\n')));
    }
    // Fewer tasks: read in full.
    tasks = {1, 2};
    EXPECT_EQ(resourceNames(Format::Mpp12, tablesFor(resources, table(34, records, values)), tasks).size(),
              2u);
}

// ---- whole plans --------------------------------------------------------------------------------

QByteArray bytes32(quint32 v) { return le32(v); }
QByteArray bytes16(quint16 v) {
    QByteArray b;
    put16(b, 0, v);
    return b;
}
QByteArray bytesF64(double v) {
    QByteArray b;
    putF64(b, 0, v);
    return b;
}

// An MPP14 plan of Project 2013 with the further fields: outline level 0:40, % complete 0:122,
// actual start/finish 0:96/0:100, work 0:168, cost 0:200; baselines, notes and WBS as var data.
PlanLayout detailedPlan() {
    PlanLayout layout;
    layout.kind = Kind::Mpp14;
    layout.application = "Microsoft.Project 15.0";
    layout.extraFields = {{249, 40, 2, 0x02},    {32, 122, 2, 0x02},     {41, 96, 4, 0x13},
                          {42, 100, 4, 0x13},    {0, 168, 8, 0x65},      {5, 200, 8, 0x65},
                          {43, 0xFFFF, 4, 0x13}, {44, 0xFFFF, 4, 0x13},  {27, 0xFFFF, 4, 0x03},
                          {15, 0xFFFF, 0, 0x1D}, {16, 0xFFFF, 512, 0x08}};
    Record design = task(1, 1, QStringLiteral("Design"), 1.0, 4);
    design.fixedBytes = {
        {40, bytes16(1)},           {122, bytes16(50)},        {96, bytes32(stamp(at(2024, 3, 4, 8)))},
        {100, bytes32(0xFFFFFFFF)}, {168, bytesF64(33643200)}, {200, bytesF64(123450)}};
    design.varValues = {
        {43, bytes32(stamp(at(2024, 3, 1, 8)))},
        {44, bytes32(stamp(at(2024, 3, 1, 17)))},
        {27, bytes32(4800)},
        {15, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Caf\\'e9 \\u8364?\\par second\\par}"}};
    Record build = task(2, 2, QStringLiteral("Build"), 2.0, 5);
    build.fixedBytes = {{40, bytes16(2)}, {122, bytes16(250)}};  // a percentage out of range: none
    build.varValues = {{16, utf16(QStringLiteral("A-1"))}};
    build.metaByte10 = 0x02;  // milestone (Project 2013 and later)
    build.metaByte8 = 0x20;   // the older position: not read here
    Record test = task(3, 3, QStringLiteral("Test"), 3.0, 6);
    test.fixedBytes = {{40, bytes16(2)}};
    test.varOffsets = {{15, 1 << 30}, {27, -8}};  // notes and baseline past the stream: none
    Record ship = task(4, 4, QStringLiteral("Ship"), 4.0, 7);
    ship.fixedBytes = {{40, bytes16(1)}, {168, bytesF64(std::nan(""))}};
    ship.varValues = {{27, bytes32(0)}};  // never baselined
    ship.varOffsets = {{15, 0}};          // the notes of "Design", shared
    layout.records = {summary(), design, build, test, ship};

    const Table resources =
        table(37, {{0, resourceRecord(1)}, {0, resourceRecord(2)}},
              {{1, 1, utf16(QStringLiteral("Anna"))}, {2, 1, utf16(QStringLiteral("Ben"))}});
    const Table assignments = table(34,
                                    {{0, assignmentRecord(2, 1, 2, 5000)},
                                     {0, assignmentRecord(1, 1, 1)},
                                     {0, assignmentRecord(3, 3, -65535)},
                                     {0, assignmentRecord(4, 40, 1)}},
                                    {{1, 0, "x"}, {2, 0, "x"}, {3, 0, "x"}, {4, 0, "x"}}, -5);
    const auto tableParts = [&layout](const QString& name, const Table& t) {
        layout.extraParts.push_back({{name, QStringLiteral("FixedMeta")}, t.fixedMeta});
        layout.extraParts.push_back({{name, QStringLiteral("FixedData")}, t.fixedData});
        layout.extraParts.push_back({{name, QStringLiteral("VarMeta")}, t.varMeta});
        layout.extraParts.push_back({{name, QStringLiteral("Var2Data")}, t.var2Data});
    };
    tableParts(QStringLiteral("TBkndRsc"), resources);
    tableParts(QStringLiteral("TBkndAssn"), assignments);
    layout.extraProjectProps = {{0x00020015, fieldMap({{27, 0, 4, 0x03, 0, kResourceBase},
                                                       {1, 0xFFFF, 512, 0x08, 0, kResourceBase}})},
                                {0x00020017, fieldMap({{0, 0, 4, 0x03, 0, kAssignmentBase},
                                                       {1, 4, 4, 0x03, 0, kAssignmentBase},
                                                       {2, 8, 4, 0x03, 0, kAssignmentBase},
                                                       {7, 12, 8, 0x66, 0, kAssignmentBase}})}};
    return layout;
}

TEST(MppDetails, ReadsEveryFieldOfACraftedPlan) {
    const QByteArray file = buildPlan(detailedPlan());
    EXPECT_FALSE(readMpp(file).positions.at(0)->details);  // only when asked for

    ReadOptions options;
    options.details = true;
    const Plan plan = readMpp(file, options);
    ASSERT_EQ(plan.positions.size(), 4u);
    for (const auto& task : plan.positions) ASSERT_TRUE(task && task->details);
    const TaskDetails& design = *plan.positions[0]->details;
    const TaskDetails& build = *plan.positions[1]->details;
    const TaskDetails& test = *plan.positions[2]->details;
    const TaskDetails& ship = *plan.positions[3]->details;

    EXPECT_EQ(design.id, 1);
    EXPECT_EQ(design.uniqueId, 1);
    EXPECT_EQ(design.outlineLevel, 1);
    EXPECT_EQ(design.outlineNumber, QStringLiteral("1"));
    EXPECT_EQ(design.wbs, QStringLiteral("1"));
    EXPECT_EQ(design.percentComplete, 50);
    EXPECT_EQ(design.milestone, false);
    EXPECT_EQ(design.summary, true);
    EXPECT_EQ(design.baselineStart, at(2024, 3, 1, 8));
    EXPECT_EQ(design.baselineFinish, at(2024, 3, 1, 17));
    EXPECT_EQ(design.baselineDurationMinutes, 480);
    EXPECT_EQ(design.actualStart, at(2024, 3, 4, 8));
    EXPECT_FALSE(design.actualFinish.isValid());
    EXPECT_EQ(design.cost, 1234.5);
    EXPECT_DOUBLE_EQ(design.workMinutes.value_or(0), 33643.2);
    EXPECT_EQ(design.notes, QStringLiteral(u"Café €\nsecond"));
    EXPECT_EQ(design.resourceNames, QStringLiteral("Anna,Ben[50%]"));

    EXPECT_EQ(build.outlineNumber, QStringLiteral("1.1"));
    EXPECT_EQ(build.wbs, QStringLiteral("A-1"));
    EXPECT_FALSE(build.percentComplete.has_value());
    EXPECT_EQ(build.milestone, true);
    EXPECT_EQ(build.summary, false);
    EXPECT_FALSE(build.baselineStart.isValid());
    EXPECT_FALSE(build.baselineDurationMinutes.has_value());
    EXPECT_EQ(build.cost, 0);

    EXPECT_EQ(test.outlineNumber, QStringLiteral("1.2"));
    EXPECT_EQ(test.notes, QString());
    EXPECT_FALSE(test.baselineDurationMinutes.has_value());
    EXPECT_EQ(test.resourceNames, QString());

    EXPECT_EQ(ship.id, 4);
    EXPECT_EQ(ship.outlineNumber, QStringLiteral("2"));
    EXPECT_FALSE(ship.workMinutes.has_value());
    EXPECT_EQ(ship.notes, design.notes);
    EXPECT_FALSE(ship.baselineDurationMinutes.has_value());
    EXPECT_EQ(ship.resourceNames, QString());
}

TEST(MppDetails, ReadsTheOlderMilestoneBitAndPlansWithoutTables) {
    PlanLayout layout = detailedPlan();
    layout.application = "Microsoft.Project 14.0";  // Project 2010: byte 8, mask 0x20
    layout.extraParts.clear();
    ReadOptions options;
    options.details = true;
    const Plan plan = readMpp(buildPlan(layout), options);
    ASSERT_EQ(plan.positions.size(), 4u);
    EXPECT_EQ(plan.positions[1]->details->milestone, true);
    EXPECT_EQ(plan.positions[0]->details->milestone, false);
    // Without resource and assignment tables a plan still reads, with no names.
    EXPECT_EQ(plan.positions[0]->details->resourceNames, QString());
    EXPECT_EQ(plan.positions[0]->details->notes, QStringLiteral(u"Café €\nsecond"));
}

}  // namespace
}  // namespace quorrix::importer::plans
