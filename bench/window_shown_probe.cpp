// Preloaded into the program by bench_startup: ends the program once its
// first window has been exposed (shown, and painted while the exposure is
// handled), so that the whole process times the start of the window. It
// needs no hook in the program: Qt runs it when the application object is
// made.
#include <QCoreApplication>
#include <QEvent>

namespace
{

class QuitOnFirstExpose : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_seen) {
            m_seen = true;
            // After the exposure is handled, and so painted.
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_seen = false;
};

void watchForTheWindow()
{
    QCoreApplication *app = QCoreApplication::instance();
    app->installEventFilter(new QuitOnFirstExpose(app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchForTheWindow)
