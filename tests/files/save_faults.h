#pragma once

// Ways to make a save fail for real: a file that fails at a chosen step, and
// a tiny file system that is already full.

#include "table_saver.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

// Wraps the file a save writes and fails one of its steps. The first write
// is the table; a later one puts the old bytes back.
class FaultyFile : public WritableFile
{
public:
    struct Faults {
        qint64 room = -1;               // bytes the table's write may put before the disk is full
        bool failSync = false;          // the disk does not confirm the table's write
        bool failReadBack = false;      // reading the table back fails, once
        bool changeReadBack = false;    // reading the table back gives other bytes, once
        bool failRestore = false;       // putting the old bytes back fails too
        bool failRestoreResize = false; // only setting the old length back fails
        bool changeRestoreReadBack = false; // reading the old bytes back gives other bytes
        bool failFirstRead = false;         // reading the file before writing fails
        bool shortFirstRead = false;        // the file ends early when read before writing
        QByteArray appendedBySomeoneElse;   // another program adds these as the table syncs
        // Another program writes these at byte 2,000 of the file named
        // `path` as the put-back syncs, and then gives the file a time a
        // minute on, so that no clock tick can hide its write.
        QByteArray writtenDuringPutBack;
        QString path;
    };

    FaultyFile(std::unique_ptr<WritableFile> real, Faults faults)
        : m_real(std::move(real)), m_faults(faults)
    {
    }

    static FileWrapper wrapper(Faults faults)
    {
        return [faults](std::unique_ptr<WritableFile> real) -> std::unique_ptr<WritableFile> {
            return std::make_unique<FaultyFile>(std::move(real), faults);
        };
    }

    qint64 size() override { return m_real->size(); }

    qint64 readAt(qint64 position, char *data, qint64 length) override
    {
        const bool readingTableBack = m_writes == 1 && !m_readBack;
        m_readBack = m_readBack || m_writes == 1;
        if ((readingTableBack && m_faults.failReadBack) ||
            (m_writes == 0 && m_faults.failFirstRead))
            return fail("Input/output error");
        const qint64 got = m_real->readAt(position, data, length);
        if (((readingTableBack && m_faults.changeReadBack) ||
             (m_writes > 1 && m_faults.changeRestoreReadBack)) &&
            got > 0)
            data[0] = static_cast<char>(data[0] ^ 0x55);
        return m_writes == 0 && m_faults.shortFirstRead ? got / 2 : got;
    }

    qint64 writeAt(qint64 position, const char *data, qint64 length) override
    {
        ++m_writes;
        if (m_writes > 1 && m_faults.failRestore)
            return fail("Input/output error");
        if (m_writes > 1 || m_faults.room < 0)
            return m_real->writeAt(position, data, length);
        const qint64 fits = qMin(length, m_faults.room);
        if (fits > 0 && m_real->writeAt(position, data, fits) != fits)
            return -1;
        if (fits < length)
            fail("No space left on device");
        return fits > 0 ? fits : -1;
    }

    bool resize(qint64 newSize) override
    {
        if (m_writes > 1 && (m_faults.failRestore || m_faults.failRestoreResize))
            return fail("Input/output error") >= 0;
        return m_real->resize(newSize);
    }

    bool sync() override
    {
        if (m_writes == 1 && !m_faults.appendedBySomeoneElse.isEmpty()) {
            const QByteArray &theirs = m_faults.appendedBySomeoneElse;
            m_real->writeAt(m_real->size(), theirs.constData(), theirs.size());
        }
        if (m_writes == 1 && m_faults.failSync)
            return fail("Input/output error") >= 0;
        if (m_writes > 1 && !m_faults.writtenDuringPutBack.isEmpty()) {
            const QByteArray &theirs = m_faults.writtenDuringPutBack;
            QFile other(m_faults.path);
            if (!other.open(QIODevice::ReadWrite) || !other.seek(2000) ||
                other.write(theirs) != theirs.size() || !other.flush() ||
                !other.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                   QFileDevice::FileModificationTime))
                return fail("the other program's write failed") >= 0;
        }
        return m_real->sync();
    }

    QString errorString() const override
    {
        return m_error.isEmpty() ? m_real->errorString() : m_error;
    }

private:
    qint64 fail(const char *reason)
    {
        m_error = QString::fromLatin1(reason);
        return -1;
    }

    std::unique_ptr<WritableFile> m_real;
    Faults m_faults;
    int m_writes = 0;
    bool m_readBack = false; // the table's write was read back
    QString m_error;
};

// A tmpfs mounted for the life of the object. Only root can mount, some
// machines refuse even root, and other systems have no mount at all;
// `mounted()` says whether it worked.
class TinyFileSystem
{
public:
    explicit TinyFileSystem(const QString &options)
    {
#ifdef Q_OS_LINUX
        m_mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               options, QStringLiteral("tmpfs"), m_dir.path()}) == 0;
#else
        Q_UNUSED(options);
#endif
    }
    ~TinyFileSystem()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
    }
    TinyFileSystem(const TinyFileSystem &) = delete;
    TinyFileSystem &operator=(const TinyFileSystem &) = delete;

    bool mounted() const
    {
        return m_mounted;
    }
    QString path(const QString &name) const
    {
        return m_dir.filePath(name);
    }

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
