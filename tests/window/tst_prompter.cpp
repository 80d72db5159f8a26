// The message boxes the window asks and tells through: each shows its text
// as it is, and in each question Escape is Cancel and Enter takes only the
// choice offered as the default.
#include "prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

class PrompterTest : public QObject
{
    Q_OBJECT
private slots:
    void showsTheTextAsItIs_data();
    void showsTheTextAsItIs();
};

namespace
{

// Markup and an entity, as a file or formation name may hold them.
const QString Text = QStringLiteral("<b>frm&amp;tion</b> <a href=\"x\">dat</a>");

// Not a key: the Discard button clicked.
constexpr int Discard = -1;

// What a box showed, and the answer its key gave.
struct Shown {
    bool found = false;
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    QString defaultButton;
};

Shown look(QMessageBox *box)
{
    Shown shown;
    shown.found = true;
    shown.format = box->textFormat();
    shown.text = box->text();
    if (QPushButton *preferred = box->defaultButton())
        shown.defaultButton = preferred->text();
    return shown;
}

} // namespace

void PrompterTest::showsTheTextAsItIs_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("answer"); // the index a question gives: -1 Cancel
    QTest::addColumn<QString>("preferred");

    const int escape = Qt::Key_Escape;
    const int enter = Qt::Key_Return;
    QTest::newRow("tell") << "tell" << escape << 0 << "";
    QTest::newRow("inform") << "inform" << escape << 0 << "";
    QTest::newRow("inform before closing") << "informBeforeClosing" << escape << 0 << "";
    QTest::newRow("confirm, Escape") << "confirm" << escape << -1 << "Cancel";
    QTest::newRow("confirm, Enter: Cancel") << "confirm" << enter << -1 << "Cancel";
    QTest::newRow("choose, Escape") << "choose" << escape << -1 << "Second";
    QTest::newRow("choose, Enter: the preferred") << "choose" << enter << 1 << "Second";
    QTest::newRow("ask to save, Escape") << "askToSave" << escape << -1 << "Save";
    QTest::newRow("ask to save, Enter: Save") << "askToSave" << enter << 0 << "Save";
    QTest::newRow("ask to save, Discard") << "askToSave" << Discard << 1 << "Save";
    QTest::newRow("ask to write, Enter: Write") << "askToWrite" << enter << 0 << "Write";
    QTest::newRow("ask to write, Escape") << "askToWrite" << escape << -1 << "Write";
    QTest::newRow("ask to write, Discard") << "askToWrite" << Discard << 1 << "Write";
}

void PrompterTest::showsTheTextAsItIs()
{
    QFETCH(QString, method);
    QFETCH(int, key);
    QFETCH(int, answer);
    QFETCH(QString, preferred);

    QWidget parent;
    parent.setWindowTitle(QStringLiteral("Editor[*]"));
    parent.show();
    MessageBoxPrompter prompter;
    Shown shown;
    const bool waits = method != QLatin1String("tell") && method != QLatin1String("inform");
    // A box that waits for its answer is answered once it shows.
    if (waits)
        QTimer::singleShot(0, &parent, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) // not modal: found among the window's children
                box = parent.findChild<QMessageBox *>();
            if (!box)
                return;
            shown = look(box);
            if (key == Discard)
                box->button(QMessageBox::Discard)->click();
            else
                QTest::keyClick(box, Qt::Key(key));
        });
    const auto asInt = [](Prompter::Choice choice) {
        return choice == Prompter::Choice::Go ? 0 : choice == Prompter::Choice::Discard ? 1 : -1;
    };
    int given = 0;
    if (method == QLatin1String("tell") || method == QLatin1String("inform")) {
        (method == QLatin1String("tell")
             ? std::mem_fn(&MessageBoxPrompter::tell)
             : std::mem_fn(&MessageBoxPrompter::inform))(prompter, &parent, Text);
        // It does not wait: the box is open beside the window.
        QMessageBox *box = parent.findChild<QMessageBox *>();
        QVERIFY(box);
        shown = look(box);
        box->close();
    } else if (method == QLatin1String("informBeforeClosing")) {
        prompter.informBeforeClosing(&parent, Text);
    } else if (method == QLatin1String("confirm")) {
        given = prompter.confirm(&parent, Text, QStringLiteral("Overwrite")) ? 0 : -1;
    } else if (method == QLatin1String("choose")) {
        given = prompter.choose(&parent, Text, {"First", "Second"}, 1);
    } else if (method == QLatin1String("askToSave")) {
        given = asInt(prompter.askToSave(&parent, Text));
    } else {
        given = asInt(prompter.askToWrite(&parent, Text));
    }
    QVERIFY(shown.found);
    QCOMPARE(shown.format, Qt::PlainText);
    QCOMPARE(shown.text, Text);
    QCOMPARE(given, answer);
    if (!preferred.isEmpty())
        QCOMPARE(shown.defaultButton, preferred);
}

QTEST_MAIN(PrompterTest)
#include "tst_prompter.moc"
