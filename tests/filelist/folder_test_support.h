#pragma once

// Folder trees for the tests of the walk, the scan and drops: real ones in a temporary folder,
// and an in-memory file system whose attributes and failures a test chooses.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/failure.h"
#include "platform/file_facts.h"

namespace quorrix::testing {

// A temporary folder in which a test builds its tree by relative paths.
class TempTree {
public:
    TempTree() { EXPECT_TRUE(dir_.isValid()); }

    QString root() const { return dir_.path(); }
    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    QString folder(const QString& relative) const {
        EXPECT_TRUE(QDir().mkpath(path(relative))) << relative.toStdString();
        return path(relative);
    }
    QString file(const QString& relative, const QByteArray& content = "x") const {
        const QString p = path(relative);
        QDir().mkpath(p.left(p.lastIndexOf(QLatin1Char('/'))));
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << relative.toStdString();
        f.write(content);
        return p;
    }
    // A symbolic link at `relative` holding `target` as written.
    QString link(const QString& relative, const QString& target) const {
        const QString p = path(relative);
        EXPECT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(p).constData()), 0)
            << relative.toStdString();
        return p;
    }
    void mode(const QString& relative, mode_t mode) const {
        EXPECT_EQ(::chmod(QFile::encodeName(path(relative)).constData(), mode), 0) << relative.toStdString();
    }

private:
    QTemporaryDir dir_;
};

// True when permissions do not stop this process from reading (the super-user).
inline bool permissionsIgnored() { return ::geteuid() == 0; }

// An in-memory file system. Paths are given without doubled or trailing separators; the walk's
// own forms ("R/", "//", "R//A/") are brought to that form on the way in. Each folder lists its
// entries in the order they were added. Every call is written to `trace`.
class FakeFileSystem : public FileSystem {
public:
    struct Node {
        bool folder = false;
        int attributes = 0;
        bool openable = false;
        bool root = false;
        std::uint64_t inode = 0;
        QStringList children;
        std::optional<Failure> examineFailure;    // folder()
        std::optional<Failure> enumerateFailure;  // forEachSubfolder(), after the subfolders before
        qsizetype enumerateFailsAfter = 0;        // ... this many of them
        std::optional<Failure> listFailure;       // list()
        std::optional<Failure> entryFailure;      // entry()
    };

    FakeFileSystem() { add(QStringLiteral("/"), true, attribute::kDirectory).root = true; }

    Node& addFolder(const QString& path, int attributes = attribute::kDirectory) {
        return add(path, true, attributes);
    }
    Node& addFile(const QString& path, int attributes = attribute::kArchive, bool openable = true) {
        Node& n = add(path, false, attributes);
        n.openable = openable;
        return n;
    }
    Node& node(const QString& path) { return nodes_[normal(path)]; }
    void remove(const QString& path) {
        const QString p = normal(path);
        nodes_.remove(p);
        nodes_[parentOf(p)].children.removeAll(nameOf(p));
    }

    FolderFacts folder(const QString& path) const override {
        trace << QStringLiteral("folder ") + path;
        const Node* n = find(path);
        if (!n || !n->folder) throw Failure(failure_number::kPathNotFound, QStringLiteral("Path not found"));
        if (n->examineFailure) throw *n->examineFailure;
        return FolderFacts{n->attributes, FolderId{1, n->inode}};
    }
    bool isRootFolder(const QString& path) const override {
        const Node* n = find(path);
        if (!n) throw Failure(failure_number::kPathNotFound, QStringLiteral("Path not found"));
        return n->root;
    }
    void forEachSubfolder(const QString& path, const SubfolderVisit& visit) const override {
        trace << QStringLiteral("subfolders ") + path;
        const Node* n = find(path);
        if (!n) throw Failure(failure_number::kPathNotFound, QStringLiteral("Path not found"));
        if (n->enumerateFailure && n->enumerateFailsAfter == 0) throw *n->enumerateFailure;
        qsizetype visited = 0;
        const QString base = normal(path);
        for (const QString& child : n->children) {
            const Node* c = find(join(base, child));
            if (!c || !c->folder) continue;
            visit(child, FolderId{1, c->inode});
            if (n->enumerateFailure && ++visited == n->enumerateFailsAfter) throw *n->enumerateFailure;
        }
    }
    QList<ListedName> list(const QString& path) const override {
        trace << QStringLiteral("list ") + path;
        const Node* n = find(path);
        if (!n || !n->folder) return {};
        if (n->listFailure) throw *n->listFailure;
        QList<ListedName> out;
        // Nothing is told about the kind, so every name takes the open test.
        for (const QString& child : n->children) out.append(ListedName{child, ListedName::Other});
        return out;
    }
    EntryFacts entry(const QString& path) const override {
        const Node* n = find(path);
        if (!n) return {};
        if (n->entryFailure) throw *n->entryFailure;
        return EntryFacts{true, n->openable, n->attributes};
    }

    mutable QStringList trace;

private:
    static QString normal(QString path) {
        while (path.contains(QStringLiteral("//"))) path.replace(QStringLiteral("//"), QStringLiteral("/"));
        while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
        return path;
    }
    static QString parentOf(const QString& p) {
        const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
        return slash <= 0 ? QStringLiteral("/") : p.left(slash);
    }
    static QString nameOf(const QString& p) { return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1); }
    static QString join(const QString& base, const QString& name) {
        return base == QLatin1String("/") ? base + name : base + QLatin1Char('/') + name;
    }
    const Node* find(const QString& path) const {
        const auto it = nodes_.constFind(normal(path));
        return it == nodes_.constEnd() ? nullptr : &*it;
    }
    Node& add(const QString& path, bool folder, int attributes) {
        const QString p = normal(path);
        if (p != QLatin1String("/")) {
            if (!nodes_.contains(parentOf(p))) add(parentOf(p), true, attribute::kDirectory);
            nodes_[parentOf(p)].children.append(nameOf(p));
        }
        Node& n = nodes_[p];
        n.folder = folder;
        n.attributes = attributes;
        n.inode = ++lastInode_;
        return n;
    }

    QMap<QString, Node> nodes_;
    std::uint64_t lastInode_ = 0;
};

}  // namespace quorrix::testing
