#pragma once

// Shared helpers for the window suites: a names file in a scratch working
// directory, a prompter that records instead of showing boxes, and lookups
// of controls by their object names.

#include "biform.h"
#include "prompter.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>

class RecordingPrompter : public Prompter
{
public:
    void tell(QWidget *, const QString &text) override { told.append(text); }
    void inform(QWidget *, const QString &text) override { informed.append(text); }
    void informBeforeClosing(QWidget *, const QString &text) override
    {
        informedBeforeClosing.append(text);
    }
    bool confirm(QWidget *, const QString &text, const QString &accept) override
    {
        asked.append(text);
        acceptButtons.append(accept);
        if (whileAsking)
            whileAsking();
        return confirmAnswer;
    }
    int choose(QWidget *, const QString &text, const QStringList &choices, int taken) override
    {
        asked.append(text);
        offered.append(choices);
        preferred.append(taken);
        return chooseAnswer;
    }
    Choice askToSave(QWidget *, const QString &text) override
    {
        asked.append(text);
        return saveAnswer;
    }
    Choice askToWrite(QWidget *, const QString &text) override
    {
        asked.append(text);
        return writeAnswer;
    }

    QStringList told;
    QStringList informed;
    QStringList informedBeforeClosing;
    QList<QStringList> offered; // the choices of each choose()
    QList<int> preferred;       // and the one Enter takes
    int chooseAnswer = -1;      // Cancel
    QStringList asked;
    QStringList acceptButtons;
    bool confirmAnswer = false;
    std::function<void()> whileAsking; // what happens while a Save/Cancel question is open
    Choice saveAnswer = Choice::Cancel;
    Choice writeAnswer = Choice::Cancel;
};

// A window started in a scratch directory holding `names` as readorder.txt
// (no file at all when `writeNames` is false; then `prepare` may put
// something else in its place before start-up).
class WindowFixture
{
public:
    using Prepare = std::function<void(const WindowFixture &)>;

    explicit WindowFixture(const QByteArray &names = defaultNames(), bool writeNames = true,
                           const Prepare &prepare = {})
    {
        if (writeNames)
            writeFile(QStringLiteral("readorder.txt"), names);
        if (prepare)
            prepare(*this);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        window = std::make_unique<BiForm>(&prompter);
        QDir::setCurrent(previous);
        // Every dialog answer comes from the queue; an empty queue cancels.
        window->CD1().setAsker([this](const CommonDialog::Request &request) {
            requests.push_back(request);
            if (answers.empty())
                return QString();
            const QString answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }

    static QByteArray defaultNames()
    {
        QByteArray bytes;
        for (int i = 0; i < 31; ++i)
            bytes += "Formation " + QByteArray::number(i) + "\r\n";
        return bytes;
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
        return file.fileName();
    }

    template <typename T = QWidget> T *control(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QAbstractButton *button(const QString &name) const { return control<QAbstractButton>(name); }
    QLineEdit *box(int n) const { return control<QLineEdit>(QStringLiteral("Text3(%1)").arg(n)); }
    void click(const QString &name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    QTemporaryDir dir;
    RecordingPrompter prompter;
    std::unique_ptr<BiForm> window;
    std::deque<QString> answers;
    QList<CommonDialog::Request> requests;
};
