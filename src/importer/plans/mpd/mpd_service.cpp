#include "importer/plans/mpd/mpd_service.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <memory>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "importer/plans/mpd/mpd_protocol.h"
#include "platform/failure.h"
#include "platform/file_names.h"
#include "platform/install_folder.h"

extern char** environ;

namespace quorrix::importer::plans {

namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

[[noreturn]] void cannotRead(const QString& why) {
    throw Failure(failure_number::kFileNotFound, QStringLiteral("The database cannot be read: %1.").arg(why));
}

// The programs' environment without libmdb's own settings (its debugging output, other search
// paths and code pages), which would change what the reader answers. Read once.
char* const* readerEnvironment() {
    static const std::vector<std::string> strings = [] {
        std::vector<std::string> kept;
        for (char** e = environ; e && *e; ++e)
            if (std::strncmp(*e, "MDB", 3) != 0) kept.emplace_back(*e);
        return kept;
    }();
    static const std::vector<char*> pointers = [] {
        std::vector<char*> p;
        for (const std::string& s : strings) p.push_back(const_cast<char*>(s.c_str()));
        p.push_back(nullptr);
        return p;
    }();
    return pointers.data();
}

// The reader process of one thread.
class Service {
public:
    ~Service() { stop(); }

    // Running `program`, started when it is not.
    void start(const QString& program) {
        if (pid_ > 0 && program == program_) return;
        stop();
        int sockets[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets) != 0) cannotRead(systemText(errno));
        Descriptor ours(sockets[0]), theirs(sockets[1]);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        // libmdb's own complaints about damaged pages go nowhere.
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, theirs.get(), 3);
        posix_spawn_file_actions_addclosefrom_np(&actions, 4);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        const QByteArray path = encodeFileName(program);
        char* arguments[] = {const_cast<char*>(path.constData()), const_cast<char*>("--serve"), nullptr};
        pid_t pid = -1;
        const int error = ::posix_spawn(&pid, path.constData(), &actions, &attributes, arguments, readerEnvironment());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (error != 0)
            cannotRead(QStringLiteral("its reader \"%1\" cannot be started (%2)").arg(program, systemText(error)));
        pid_ = pid;
        program_ = program;
        control_ = ours.release();
        reads_ = 0;
    }

    // Ends the process, given `patience` to end by itself; how it ended (a wait status).
    int end(std::chrono::milliseconds patience = {}) {
        if (control_ >= 0) ::close(control_);
        control_ = -1;
        int status = 0;
        if (pid_ > 0) {
            const auto until = Clock::now() + patience;
            auto pause = std::chrono::microseconds(100);
            pid_t ended = 0;
            while ((ended = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < until) {
                std::this_thread::sleep_for(pause);
                pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
            }
            if (ended == 0) {
                ::kill(pid_, SIGKILL);
                while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
                }
                status = kKilled;
            }
        }
        pid_ = -1;
        return status;
    }
    void stop() { end(); }

    // Sends a request with the database and the answer's pipe; false when the process is gone.
    bool send(const mpd::Request& request, int database, int answer) const {
        const int fds[2] = {database, answer};
        alignas(struct cmsghdr) char space[CMSG_SPACE(sizeof fds)] = {};
        iovec io{const_cast<mpd::Request*>(&request), sizeof request};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = space;
        message.msg_controllen = sizeof space;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof fds);
        std::memcpy(CMSG_DATA(c), fds, sizeof fds);
        for (;;) {
            const ssize_t n = ::sendmsg(control_, &message, MSG_NOSIGNAL);
            if (n == static_cast<ssize_t>(sizeof request)) return true;
            if (n < 0 && errno == EINTR) continue;
            return false;
        }
    }

    bool fresh() const { return reads_ == 0; }
    void counted() { ++reads_; }

    // The status end() gives for a process it had to kill.
    static constexpr int kKilled = -1;

private:
    QString program_;
    pid_t pid_ = -1;
    int control_ = -1;
    int reads_ = 0;
};

thread_local Service service;

// Waits until `fd` is readable or the deadline passes (false).
bool readable(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::clamp<decltype(ms)>(ms, 0, 60 * 60 * 1000)));
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

// An answer cannot sensibly be much larger than the database it comes from.
std::size_t budgetFor(qint64 size) {
    const qint64 budget = qint64(32) * 1024 * 1024 + 8 * size;
    return static_cast<std::size_t>(std::min<qint64>(budget, qint64(1) << 30));
}

// Why a process that gave no proper answer went wrong, from how it ended; `answer` says what was
// wrong with the answer when the process itself looked well.
QString whatWentWrong(int status, int cpuSeconds, const QString& answer) {
    if (status != Service::kKilled && WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU)
            return QStringLiteral("reading it took more than %1 seconds of processor time").arg(cpuSeconds);
        const char* description = sigdescr_np(signal);
        return QStringLiteral("reading it crashed the reader (%1)")
            .arg(description ? QString::fromLatin1(description) : QString::number(signal));
    }
    if (status != Service::kKilled && WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return QStringLiteral("its reader ended with status %1").arg(WEXITSTATUS(status));
    return answer;
}

}  // namespace

void databaseDamaged(const QString& what) {
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The database is damaged: %1.").arg(what));
}

MpdReaderSetup installedMpdReader() {
    MpdReaderSetup setup;
    setup.program = auxiliaryProgram(executableFolder(), QString::fromLatin1(kMpdReaderProgram));
    return setup;
}

void retireMpdReader() { service.stop(); }

MpdReading askMpdReader(int database, qint64 size, unsigned asked, const MpdReaderSetup& setup) {
    mpd::Request request;
    request.asked = static_cast<std::uint8_t>(asked & mpd::kAskAll);
    request.memoryMegabytes = static_cast<std::uint32_t>(std::max(setup.memoryMegabytes, 0));
    request.cpuSeconds = static_cast<std::uint32_t>(std::max(setup.cpuSeconds, 0));
    const std::size_t budget = budgetFor(size);

    for (;;) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) cannotRead(systemText(errno));
        Descriptor in(ends[0]), out(ends[1]);
        service.start(setup.program);
        if (!service.send(request, database, out.get())) {
            // The process ended since the last database (it ran out of memory, say): a fresh one.
            service.stop();
            service.start(setup.program);
            if (!service.send(request, database, out.get())) {
                const int error = errno;
                service.stop();
                cannotRead(QStringLiteral("its reader does not answer (%1)").arg(systemText(error)));
            }
        }
        out.reset();
        const bool fresh = service.fresh();
        service.counted();

        const auto wall = std::chrono::seconds(setup.wallSeconds > 0 ? setup.wallSeconds : 24 * 3600);
        const auto deadline = Clock::now() + wall;
        MpdReading reading;
        reading.fresh = fresh;
        std::vector<char>& answer = reading.answer;
        QString wrong;
        bool tooLarge = false;
        // Each read lands in `chunk`, and only what came is appended: growing the answer by a whole
        // chunk before each read would clear 64 KiB for the few KiB a pipe often hands over.
        constexpr std::size_t kChunk = 64 * 1024;
        const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
        for (;;) {
            if (!readable(in.get(), deadline)) {
                service.stop();
                databaseDamaged(QStringLiteral("reading it did not end within %1 seconds").arg(setup.wallSeconds));
            }
            const ssize_t n = ::read(in.get(), chunk.get(), kChunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            answer.insert(answer.end(), chunk.get(), chunk.get() + n);
            if (answer.size() > budget) {
                tooLarge = true;  // the process's next write fails and ends it
                break;
            }
        }
        in.reset();
        if (!tooLarge) {
            try {
                reading.parsed = mpd::parseAnswer({answer.data(), answer.size()}, request.asked);
                return reading;
            } catch (const mpd::BadAnswer& bad) {
                wrong = QStringLiteral("its reader's answer is not valid (%1)").arg(QString::fromLatin1(bad.what()));
            }
        }
        // A process that crashed has closed the pipe as it went: it ends at once, however busy the
        // machine; one that still lives after this is ended.
        const int status = service.end(std::chrono::seconds(10));
        if (!fresh) continue;
        if (tooLarge) databaseDamaged(QStringLiteral("its reader gave more data than the database can hold"));
        databaseDamaged(whatWentWrong(status, setup.cpuSeconds, wrong));
    }
}

}  // namespace quorrix::importer::plans
