#pragma once

// Ways to make a save fail for real: a writer that runs out of room after a
// number of bytes, and a tiny file system that is already full.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <memory>

// Accepts `room` bytes, then fails as a full disk does.
class FullDiskSaveFile : public QSaveFile
{
public:
    FullDiskSaveFile(const QString &path, qint64 room) : QSaveFile(path), m_room(room) {}

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        const qint64 fits = qMin(length, m_room);
        if (fits > 0 && QSaveFile::writeData(data, fits) != fits)
            return -1;
        m_room -= fits;
        if (fits < length) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        return length;
    }

private:
    qint64 m_room;
};

// A tmpfs mounted for the life of the object. Only root can mount, some
// machines refuse even root, and other systems have no mount at all;
// `mounted()` says whether it worked.
class TinyFileSystem
{
public:
    explicit TinyFileSystem(const QString &options)
    {
        m_mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               options, QStringLiteral("tmpfs"), m_dir.path()}) == 0;
    }
    ~TinyFileSystem()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
    }
    TinyFileSystem(const TinyFileSystem &) = delete;
    TinyFileSystem &operator=(const TinyFileSystem &) = delete;

    bool mounted() const { return m_mounted; }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A full tmpfs holding `bytes` as `name`; null where none can be mounted.
    static std::unique_ptr<TinyFileSystem> fullDiskHolding(const QString &name,
                                                           const QByteArray &bytes)
    {
        auto disk = std::make_unique<TinyFileSystem>(QStringLiteral("size=64k"));
        if (!disk->mounted())
            return nullptr;
        QFile file(disk->path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return nullptr;
        file.close();
        disk->fill();
        return disk;
    }

    // Writes filler until the file system refuses more.
    void fill() const
    {
        QFile filler(path(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
