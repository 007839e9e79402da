// Writes the answers the Project database reader's process gives for databases, as seeds of
// mpd_protocol_fuzz: for each DATABASE, OUT/NAME-four, OUT/NAME-details and OUT/NAME-all (a first
// byte that says what was asked for, then the answer).
//
//   mpd_answers OUT DATABASE...
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "importer/plans/mpd/mpd_protocol.h"
#include "importer/plans/mpd/mpd_service.h"
#include "platform/failure.h"

int main(int argc, char** argv) {
    using namespace quorrix::importer::plans;
    if (argc < 3) {
        std::fputs("usage: mpd_answers OUT DATABASE...\n", stderr);
        return 2;
    }
    const QString out = QFile::decodeName(argv[1]);
    int written = 0;
    for (int i = 2; i < argc; ++i) {
        const int fd = ::open(argv[i], O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) continue;
        const QString name = QFileInfo(QFile::decodeName(argv[i])).fileName();
        const struct {
            unsigned asked;
            const char* kind;
        } kAsked[] = {{0, "-four"}, {mpd::kAskDetails, "-details"}, {mpd::kAskAll, "-all"}};
        for (const auto& asked : kAsked) {
            try {
                const MpdReading reading = askMpdReader(fd, st.st_size, asked.asked, installedMpdReader());
                QFile seed(out + QLatin1Char('/') + name + QLatin1String(asked.kind));
                if (!seed.open(QIODevice::WriteOnly)) continue;
                seed.putChar(static_cast<char>(asked.asked));
                seed.write(reading.answer.data(), static_cast<qint64>(reading.answer.size()));
                ++written;
            } catch (const quorrix::Failure& failure) {
                std::fprintf(stderr, "%s: %s\n", argv[i], failure.what());
            }
        }
        ::close(fd);
    }
    std::printf("%d answers written\n", written);
    return written > 0 ? 0 : 1;
}
