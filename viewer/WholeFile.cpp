#include "viewer/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file descriptor that is closed when it goes; Close() reports the error
// of closing, which on some file systems is where a full disk shows.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    int Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// A temporary file that is removed again unless it was renamed into place.
class TemporaryName {
public:
    explicit TemporaryName(QByteArray path) : path_(std::move(path)) {}
    ~TemporaryName()
    {
        if (!path_.isEmpty())
            ::unlink(path_.constData());
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    const char* get() const { return path_.constData(); }
    void Release() { path_.clear(); }

private:
    QByteArray path_;
};

int writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += n;
        left -= n;
    }
    return 0;
}

// The path written to: a symbolic link's final target, else the name;
// empty for links that go round in a circle.
QString finalPath(const QString& fileName)
{
    QFileInfo info(fileName);
    for (int hops = 0; info.isSymLink(); ++hops) {
        if (hops == 40)
            return {};
        info = QFileInfo(info.symLinkTarget());
    }
    return info.absoluteFilePath();
}

} // namespace

int WriteWholeFile(const QString& fileName, const QByteArray& data)
{
    const QString target = finalPath(fileName);
    if (target.isEmpty())
        return ELOOP;
    const QByteArray targetPath = QFile::encodeName(target);
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());

    // A short name of its own, so that a long file name still leaves room.
    int fd = -1;
    QByteArray tempPath;
    for (int attempt = 0; fd < 0; ++attempt) {
        tempPath = folder + "/.stillwise-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 100))
            return errno;
    }
    FileDescriptor file(fd);
    TemporaryName temporary(tempPath);

    struct stat existing {};
    if (::stat(targetPath.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(file.get(), existing.st_mode & 07777);

    if (const int error = writeAll(file.get(), data))
        return error;
    if (::fsync(file.get()) != 0 && errno != EINVAL)
        return errno;
    if (const int error = file.Close())
        return error;
    if (::rename(tempPath.constData(), targetPath.constData()) != 0)
        return errno;
    temporary.Release();
    return 0;
}
