#include "store/jet/jetstream.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv {

namespace {

    // libmdb reads a table's data pages in file order, each with the long values on pages just before it,
    // and goes back to the table's usage map page between data pages: a few aligned runs of pages, the one
    // used longest ago replaced first, take almost every read from memory.
    constexpr off_t kRun = 32 * 4096;
    constexpr int kRuns = 8;

    struct Run {
        off_t start = -1;
        qint64 used = 0;
        std::vector<char> bytes;
    };

    struct Stream {
        int fd = -1;
        off_t size = 0;
        off_t position = 0;
        qint64 clock = 0;
        Run runs[kRuns];
    };

    // The run that holds the position, read in when none does; null when the file cannot be read there.
    const Run* runAt(Stream* s, off_t position)
    {
        const off_t start = position - position % kRun;
        Run* oldest = &s->runs[0];
        for (Run& run : s->runs) {
            if (run.start == start) {
                run.used = ++s->clock;
                return &run;
            }
            if (run.used < oldest->used)
                oldest = &run;
        }
        oldest->bytes.resize(size_t(kRun));
        ssize_t got = 0;
        do
            got = pread(s->fd, oldest->bytes.data(), oldest->bytes.size(), start);
        while (got < 0 && errno == EINTR);
        if (got <= 0) {
            oldest->start = -1;
            oldest->used = 0;
            return nullptr;
        }
        oldest->bytes.resize(size_t(got));
        oldest->start = start;
        oldest->used = ++s->clock;
        return oldest;
    }

    ssize_t readStream(void* cookie, char* into, size_t wanted)
    {
        auto* s = static_cast<Stream*>(cookie);
        size_t done = 0;
        while (done < wanted && s->position < s->size) {
            const Run* run = runAt(s, s->position);
            const off_t at = run ? s->position - run->start : 0;
            if (!run || at >= off_t(run->bytes.size()))
                return done > 0 ? ssize_t(done) : -1;
            const size_t n = std::min(wanted - done, run->bytes.size() - size_t(at));
            memcpy(into + done, run->bytes.data() + at, n);
            done += n;
            s->position += off_t(n);
        }
        return ssize_t(done);
    }

    int seekStream(void* cookie, off64_t* offset, int whence)
    {
        auto* s = static_cast<Stream*>(cookie);
        const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->position : s->size;
        if (base + *offset < 0) {
            errno = EINVAL;
            return -1;
        }
        s->position = base + *offset;
        *offset = s->position;
        return 0;
    }

    int closeStream(void* cookie)
    {
        auto* s = static_cast<Stream*>(cookie);
        const int r = close(s->fd);
        delete s;
        return r;
    }

} // namespace

FILE* openJetStream(const QString& path, QString* error)
{
    auto* s = new Stream;
    s->fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info { };
    if (s->fd < 0 || fstat(s->fd, &info) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        if (s->fd >= 0)
            close(s->fd);
        delete s;
        return nullptr;
    }
    s->size = info.st_size;
    cookie_io_functions_t functions {};
    functions.read = readStream;
    functions.seek = seekStream;
    functions.close = closeStream;
    FILE* stream = fopencookie(s, "r", functions);
    if (!stream) {
        *error = QString::fromLocal8Bit(strerror(errno));
        closeStream(s);
        return nullptr;
    }
    // A buffer no larger than a page: stdio then hands every page read straight to the runs (unbuffered,
    // it would ask for one byte at a time).
    setvbuf(stream, nullptr, _IOFBF, 4096);
    return stream;
}

} // namespace qv
