#pragma once

#include <sys/mount.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

namespace quorrix::testing {

// A folder on a file system of its own that holds 64 KB: a full disk for a workbook's files.
// Mounting needs root (as the build machines run); mounted() is false elsewhere.
class FullFolder {
public:
    FullFolder() {
        if (dir_.isValid())
            mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                               "size=64k,mode=1777") == 0;
    }
    ~FullFolder() {
        if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    FullFolder(const FullFolder&) = delete;
    FullFolder& operator=(const FullFolder&) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// Sets an environment variable while it lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedVariable() {
        if (had_) qputenv(name_, old_);
        else qunsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

}  // namespace quorrix::testing
