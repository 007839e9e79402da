// The folder scan's walk and listing on a generated tree, against `find` on the same tree.
//
//   folder_walk_bench [--tree DIR] [--runs N] [--regenerate]
//
// The tree (100,000 files in 10,000 folders) is made once under DIR and reused. Each run times
// `find` and then the scan's routines (CollectSubfolders with the yields, then AddFilesOfFolders
// with "*.mpp"), both on a warm cache; the medians and their ratio are printed.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "filelist/folder_routines.h"
#include "filelist/folder_sources.h"

namespace {

// 10 folders below the root, 9 below each of those, 110 below each of the 90: 10,000 folders.
constexpr int kLevel1 = 10;
constexpr int kLevel2 = 9;
constexpr int kLevel3 = 110;
constexpr int kFolders = kLevel1 + kLevel1 * kLevel2 + kLevel1 * kLevel2 * kLevel3;
// Ten files in each folder: seven plans, one with the extension in capitals, one lock file the
// scan leaves out, and one text file.
const char* const kFileNames[] = {"Budget 2016.mpp", "build.mpp",    "Cutover plan.mpp", "design.mpp",
                                  "Launch.mpp",      "migration.mpp", "Rollout.mpp",      "SUMMARY.MPP",
                                  "~$build.mpp",     "notes.txt"};
constexpr int kFilesPerFolder = 10;
constexpr int kMatchesPerFolder = 8;

bool makeDir(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }

bool makeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool fillFolder(const std::string& folder) {
    if (!makeDir(folder)) return false;
    for (const char* name : kFileNames)
        if (!makeFile(folder + "/" + name)) return false;
    return true;
}

bool generate(const std::string& root) {
    std::string command = "rm -rf '" + root + "'";
    if (std::system(command.c_str()) != 0) return false;
    if (!fillFolder(root)) return false;
    int folders = 0;
    for (int a = 0; a < kLevel1; ++a) {
        const std::string pa = root + "/Area " + std::to_string(a);
        if (!fillFolder(pa)) return false;
        ++folders;
        for (int b = 0; b < kLevel2; ++b) {
            const std::string pb = pa + "/program-" + std::to_string(b);
            if (!fillFolder(pb)) return false;
            ++folders;
            for (int c = 0; c < kLevel3; ++c) {
                if (!fillFolder(pb + "/Project " + std::to_string(c))) return false;
                ++folders;
            }
        }
    }
    // The chosen folder holds files too; take one folder of the last level away so the tree,
    // the chosen folder included, holds exactly 10,000 folders with 100,000 files.
    const std::string extra = root + "/Area 0/program-0/Project 0";
    command = "rm -rf '" + extra + "'";
    return folders == kFolders && std::system(command.c_str()) == 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wall and processor milliseconds of one measured piece of work.
struct Took {
    double wallMs = 0;
    double cpuMs = 0;
};

double cpuMs(int who) {
    rusage usage {};
    ::getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Runs `find` on the tree, its output counted here; the time and the count.
std::pair<Took, long> timeFind(const std::string& root) {
    int out[2];
    if (::pipe(out) != 0) return {{}, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* args[] = {"find", root.c_str(), "-type", "f", "-iname", "*.mpp", "!", "-name", "~*", nullptr};
    const double cpuBefore = cpuMs(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, "find", &actions, nullptr, const_cast<char* const*>(args), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    long count = 0;
    char buffer[65536];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
        count += std::count(buffer, buffer + got, '\n');
    ::close(out[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || status != 0) count = -1;
    return {{timer.nsecsElapsed() / 1e6, cpuMs(RUSAGE_CHILDREN) - cpuBefore}, count};
}

// The scan's routines on the tree; the milliseconds, the count and the yields.
struct WalkFigures {
    double ms = 0;
    double cpuMs = 0;
    double collectMs = 0;  // CollectSubfolders alone
    long entries = 0;
    long yields = 0;
    long folders = 0;
};

WalkFigures timeWalk(const QString& root, bool yielding = true) {
    WalkFigures f;
    QStringList entries;
    const AddFolder::Yield yield = [&f, yielding] {
        ++f.yields;
        if (yielding) QCoreApplication::processEvents();
    };
    const double cpuBefore = cpuMs(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    QStringList folders{root + QLatin1Char('/')};
    AddFolder::CollectSubfolders(folders, true, yield);
    f.collectMs = timer.nsecsElapsed() / 1e6;
    AddFolder::AddFilesOfFolders(folders, QStringLiteral("*.mpp"),
                                 [&entries](const QString& path) { entries.append(path); }, {});
    f.ms = timer.nsecsElapsed() / 1e6;
    f.cpuMs = cpuMs(RUSAGE_SELF) - cpuBefore;
    f.entries = entries.size();
    f.folders = folders.size();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string root = "/tmp/quorrix-folder-walk-tree";
    int runs = 5;
    bool regenerate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--tree" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--regenerate")
            regenerate = true;
        else {
            std::fprintf(stderr, "usage: folder_walk_bench [--tree DIR] [--runs N] [--regenerate]\n");
            return 2;
        }
    }

    const std::string marker = root + "/.tree-complete";
    struct stat st {};
    if (regenerate || ::stat(marker.c_str(), &st) != 0) {
        std::printf("generating %d files in %d folders under %s ...\n", kFolders * kFilesPerFolder, kFolders,
                    root.c_str());
        std::fflush(stdout);
        if (!generate(root) || !makeFile(marker)) {
            std::fprintf(stderr, "could not generate the tree under %s: %s\n", root.c_str(), std::strerror(errno));
            return 1;
        }
    }

    const QString qroot = QString::fromStdString(root);
    // Warm the cache for both.
    timeFind(root);
    timeWalk(qroot);

    std::vector<double> findMs;
    std::vector<double> findCpuMs;
    std::vector<double> walkMs;
    std::vector<double> walkCpuMs;
    std::vector<double> collectMs;
    std::vector<double> quietMs;
    long findCount = 0;
    WalkFigures last;
    for (int r = 0; r < runs; ++r) {
        const auto [took, count] = timeFind(root);
        findMs.push_back(took.wallMs);
        findCpuMs.push_back(took.cpuMs);
        findCount = count;
        last = timeWalk(qroot);
        walkMs.push_back(last.ms);
        walkCpuMs.push_back(last.cpuMs);
        collectMs.push_back(last.collectMs);
        quietMs.push_back(timeWalk(qroot, false).ms);
    }

    const double f = median(findMs);
    const double w = median(walkMs);
    std::printf("tree  : %s, %d folders with %d files each\n", root.c_str(), kFolders, kFilesPerFolder);
    std::printf("find  : %8.1f ms median of %d (processor %.1f ms), %ld matches\n", f, runs, median(findCpuMs),
                findCount);
    std::printf("walk  : %8.1f ms median of %d (processor %.1f ms), %ld entries, %ld folders, %ld yields\n", w, runs,
                median(walkCpuMs), last.entries, last.folders, last.yields);
    std::printf("        %8.1f ms of it collecting the folders, %.1f ms listing their files\n", median(collectMs),
                w - median(collectMs));
    std::printf("        %8.1f ms for the same walk without processing events at the yields\n", median(quietMs));
    std::printf("ratio : %.2fx find in elapsed time, %.2fx in processor time (goal: within 2x)\n", w / f,
                median(walkCpuMs) / median(findCpuMs));
    const long expected = static_cast<long>(last.folders) * kMatchesPerFolder;
    if (last.entries != findCount || last.entries != expected) {
        std::fprintf(stderr, "entry counts differ: walk %ld, find %ld, expected %ld\n", last.entries, findCount,
                     expected);
        return 1;
    }
    return 0;
}
