#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextLayout>
#include <QUrl>

#include "window/save_failure_text.h"
#include "window_test_support.h"

namespace {

const QString kCaption = QStringLiteral("Dar Uridizo Dodode Vozo Rov  (v1.0)");
const QString kHeading = QStringLiteral("Getting to that 2 Million Dollar Nest Egg");
const QString kOnThePath =
    QStringLiteral("Congratulations, you are on the path to a Million Dollar Nest Egg");

QString Projection(const QString& start, const QString& amount, int years, int rate) {
    return QStringLiteral(
               "Your $%1 will grow to $%2 if left in a tax deferred account for %3 "
               "years while growing at consistent %4% per year.")
        .arg(start, amount)
        .arg(years)
        .arg(rate);
}

QString Goal(int rate, const QString& need) {
    return QStringLiteral(
               "At the interest rate of %1% you will need to add $%2 per month to "
               "achieve a $2 Million Dollar Nest Egg")
        .arg(rate)
        .arg(need);
}

QString Scenario(const QString& need) {
    return QStringLiteral(
               "At the rate of 20% you only need to add $%1 per month to achieve a million "
               "dollar nest egg.")
        .arg(need);
}

QString OneStepScenario(int years) {
    return QStringLiteral(
               "At the rate of 20% annual interest your money will grow to over 2 "
               "million in those %1 years.")
        .arg(years);
}

}  // namespace

class Form1EventsTest : public QObject, public WindowFixture {
    Q_OBJECT

  public slots:
    void openUrl(const QUrl& url) { opened_.append(url); }

  private slots:
    void initTestCase() { QDesktopServices::setUrlHandler("http", this, "openUrl"); }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("http"); }

    void init() {
        opened_.clear();
        QFile::remove(SavedFile());
        QDir(SavedFile()).removeRecursively();
        QVERIFY(Open());
    }

    void cleanup() { QVERIFY2(Close(), "a modal dialog was opened around the message hook"); }

    void rateListRunsFromFiveToTwenty() {
        QComboBox* rate = Combo();
        QStringList items;
        for (int i = 0; i < rate->count(); ++i) {
            items.append(rate->itemText(i));
        }
        QCOMPARE(items, QStringList({"5%", "6%", "7%", "8%", "9%", "10%", "11%", "12%", "13%",
                                     "14%", "15%", "16%", "17%", "18%", "19%", "20%"}));
        QCOMPARE(rate->currentText(), QStringLiteral("5%"));
    }

    void calculate_data() {
        QTest::addColumn<int>("rateIndex");  // -1: leave the combo as it opens
        QTest::addColumn<QString>("currentAge");
        QTest::addColumn<QString>("retireAge");
        QTest::addColumn<QString>("monthly");
        QTest::addColumn<QString>("startBal");
        QTest::addColumn<QString>("projection");
        QTest::addColumn<QString>("goal");
        QTest::addColumn<QString>("scenario");

        const auto row = [](const char* name, int rate, QStringList boxes,
                            const QString& projection, const QString& goal,
                            const QString& scenario) {
            QTest::newRow(name) << rate << boxes[0] << boxes[1] << boxes[2] << boxes[3]
                                << projection << goal << scenario;
        };
        row("as it opens", -1, {"40", "67", "200", "40,000"},
            Projection("40,000", "280,544.16", 27, 5), Goal(5, "2,850"), OneStepScenario(27));
        row("10%", 5, {"40", "67", "200", "40,000"}, Projection("40,000", "815,039.63", 27, 10),
            Goal(10, "1,050"), OneStepScenario(27));
        row("ten years", 0, {"55", "65", "500", "10,000"}, Projection("10,000", "91,756.30", 10, 5),
            Goal(5, "13,150"), Scenario("3020"));
    }
    void calculate() {
        QFETCH(int, rateIndex);
        QFETCH(QString, currentAge);
        QFETCH(QString, retireAge);
        QFETCH(QString, monthly);
        QFETCH(QString, startBal);
        QFETCH(QString, projection);
        QFETCH(QString, goal);
        QFETCH(QString, scenario);

        if (rateIndex >= 0) {
            Combo()->setCurrentIndex(rateIndex);
        }
        Edit("inCurrentAge")->setText(currentAge);
        Edit("inRetireAge")->setText(retireAge);
        Edit("inPayment")->setText(monthly);
        Edit("inStartBal")->setText(startBal);
        QCOMPARE(Label("labelResult1")->font().pointSizeF(), 9.75);

        Click("Command2");

        QCOMPARE(Label("labelResult1")->text(), projection);
        QCOMPARE(Label("labelResult1")->font().pointSizeF(), 12.0);
        QCOMPARE(Label("labelResult1")->font().family(), QStringLiteral("Arial"));
        QCOMPARE(Label("Label7")->text(), kHeading);
        QCOMPARE(Label("labelResult2")->text(), goal);
        QCOMPARE(Label("labelResult3")->text(), scenario);
        QCOMPARE(Label("labelResult1")->size(), QSize(473, 57));
        QVERIFY(messages.isEmpty());
    }

    void goalMissedThenReached() {
        Click("Command2");
        Combo()->setCurrentIndex(15);
        Click("Command2");

        QCOMPARE(Label("labelResult1")->text(), Projection("40,000", "7,131,268.70", 27, 20));
        QCOMPARE(Label("Label7")->text(), QString());
        QCOMPARE(Label("labelResult2")->text(), kOnThePath);
        QCOMPARE(Label("labelResult3")->text(), OneStepScenario(27));

        Combo()->setCurrentIndex(0);
        Click("Command2");
        QCOMPARE(Label("Label7")->text(), kHeading);
        QCOMPARE(Label("labelResult2")->text(), Goal(5, "2,850"));
    }

    void goalReachedAtOnceLeavesTheThirdLineEmpty() {
        Combo()->setCurrentIndex(15);
        Click("Command2");
        QCOMPARE(Label("labelResult2")->text(), kOnThePath);
        QCOMPARE(Label("labelResult3")->text(), QString());
        QCOMPARE(Label("labelResult1")->font().pointSizeF(), 12.0);
    }

    void typedRateIsNeverUsed_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("not in the list") << "12%";
        QTest::newRow("an item's text") << "20%";
        QTest::newRow("start of an item") << "1";
    }
    void typedRateIsNeverUsed() {
        QFETCH(QString, typed);
        QComboBox* rate = Combo();
        rate->setCurrentIndex(15);
        rate->setFocus();
        rate->lineEdit()->selectAll();
        QTest::keyClicks(rate->lineEdit(), typed);
        QCOMPARE(rate->currentIndex(), -1);
        QCOMPARE(rate->currentText(), typed);

        QTest::keyClick(rate->lineEdit(), Qt::Key_Return);
        QTest::keyClick(rate->lineEdit(), Qt::Key_Tab);
        QVERIFY(!rate->hasFocus());
        QCOMPARE(rate->currentIndex(), -1);
        QCOMPARE(rate->currentText(), typed);

        Click("Command2");
        QCOMPARE(Label("labelResult1")->text(), Projection("40,000", "280,544.16", 27, 5));
        QCOMPARE(rate->currentText(), typed);
        QVERIFY(messages.isEmpty());
    }

    // Fails when the buttons stop taking Enter: keyboard users could neither calculate nor save.
    void enterPressesTheFocusedButton() {
        Button("Command2")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(Label("labelResult1")->text(), Projection("40,000", "280,544.16", 27, 5));

        Button("Command1")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QFile file(SavedFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("40,000\r\n"));
    }

    // Fails when Enter in a box does nothing (no result for whoever types the last figure and
    // presses it), or Alt with a letter types the letter.
    void boxesTakeEnterButNotAlt() {
        for (QLineEdit* box : {Edit("inCurrentAge"), Edit("inRetireAge"), Edit("inPayment"),
                               Combo()->lineEdit(), Edit("inStartBal")}) {
            QTest::keyClick(box, Qt::Key_C, Qt::AltModifier);
            QVERIFY(!box->text().contains('c'));
            Label("labelResult1")->clear();
            QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(Label("labelResult1")->text(), Projection("40,000", "280,544.16", 27, 5));
        }
    }

    // Fails when the cursor jumps to the end after each key typed into the rate box.
    void typingInsideTheRateKeepsTheCursor() {
        QLineEdit* rate = Combo()->lineEdit();
        rate->setFocus();
        rate->setCursorPosition(1);
        QTest::keyClicks(rate, "12");
        QCOMPARE(rate->text(), QStringLiteral("512%"));
        QCOMPARE(rate->cursorPosition(), 3);
        // Though typing unselects the rate, the typing is undone and redone as in any box.
        QTest::keySequence(rate, QKeySequence::Undo);
        QCOMPARE(rate->text(), QStringLiteral("5%"));
        QTest::keySequence(rate, QKeySequence::Redo);
        QCOMPARE(rate->text(), QStringLiteral("512%"));
    }

    void failureLeavesTheWindowAsItWas_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        // What the message says: the box's caption, or, where it is the window's own wording
        // that is checked, all of it.
        QTest::addColumn<QString>("said");

        const auto row = [](const char* name, QString box, QString text, QString said) {
            QTest::newRow(name) << box << text << said;
        };
        const QString fix = QStringLiteral("\n\nCorrect it and press Calculate again.");
        row("letters for an age", "inCurrentAge", "abc",
            "Please check the Current Age box: " + Quoted("abc") + " is not a number." + fix);
        row("typo in an age", "inRetireAge", "6x7", "Retirement Age");
        row("words for money", "inPayment", "lots", "Monthly Contribution");
        row("empty balance", "inStartBal", "", "Starting Balance");
        row("huge balance", "inStartBal", "1e300",
            "Please check the Starting Balance box: " + Quoted("1e300") +
                " is too large to calculate with." + fix);
        row("endless horizon", "inRetireAge", "1e12", "Retirement Age");
        row("span of centuries", "inRetireAge", "600",
            "Please check the Current Age and Retirement Age boxes: a span of 560 years from " +
                Quoted("40") + " to " + Quoted("600") +
                " is too long to calculate with.\n\nCorrect them and press Calculate again.");
    }
    void failureLeavesTheWindowAsItWas() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, said);

        Click("Command2");  // earlier results that the failure must not touch
        Combo()->setCurrentIndex(3);
        QLineEdit* edit = Edit(box);
        const QString good = edit->text();
        edit->setText(text);
        const QStringList before = Snapshot();

        Click("Command2");

        QCOMPARE(Snapshot(), before);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].title, kCaption);
        QVERIFY2(messages[0].text.contains(said), qPrintable(messages[0].text));
        QVERIFY2(messages[0].text.contains(Quoted(text)), qPrintable(messages[0].text));
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->selectedText(), text);

        edit->setText(good);
        Click("Command2");
        QCOMPARE(messages.size(), 1);
        QCOMPARE(Label("labelResult1")->text(), Projection("40,000", "529,164.30", 27, 8));
    }

    // Fails when a message reads typed text as markup, or quotes so much of it that the box
    // runs off the screen.
    void messageShowsTypedTextPlainAndFits_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("quoted");
        const QString markup = R"(<b>4</b>0 <img src="/some/local.png">)";
        QTest::newRow("markup") << markup << markup;
        const QString huge = QString(120'000, QLatin1Char('9')).replace(7, 1, QLatin1Char('x'));
        QTest::newRow("huge") << huge << huge.left(40) + QChar(0x2026);
        QTest::newRow("direction override") << "\u202e40 years"
                                            << "\u202e40 years";
        // Half a character was quoted as "?".
        QTest::newRow("half a character") << QStringLiteral("5\xD800") << "5U+D800";
        // An isolate left open ran on past the quote; a cut split a character in two.
        QTest::newRow("open isolate") << "\u206740 years"
                                      << "\u206740 years\u2069";
        const QString nines(39, QLatin1Char('9'));
        QTest::newRow("cut through a character")
            << nines + "\U0001F600 years" << nines + QChar(0x2026);
    }
    void messageShowsTypedTextPlainAndFits() {
        QFETCH(QString, typed);
        QFETCH(QString, quoted);
        Edit("inCurrentAge")->setText(typed);
        const ShownBox shown = ShowWithMessageBox("Command2");
        QCOMPARE(shown.format, Qt::PlainText);
        QVERIFY2(shown.text.contains(Quoted(quoted)), qPrintable(shown.text.left(200)));
        QVERIFY(shown.fitsTheScreen);
        // Laid out as Qt lays out the message, the words around the quote keep their order.
        QTextLayout layout(shown.text.section('\n', 0, 0));
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        const auto x = [&](const char* word) {
            return line.cursorToX(static_cast<int>(layout.text().indexOf(word)));
        };
        QVERIFY(x("box:") < x("is not") && x("is not") < x("number."));
    }

    // Fails when a long home folder's path makes the message about a failed save run off the
    // screen.
    void failedSaveMessageFitsTheScreen() {
        QString home = QFileInfo(SavedFile()).path();
        while (home.size() < 3000) {
            home += QLatin1Char('/') + QString(200, QLatin1Char('d'));
        }
        QVERIFY(QDir().mkpath(home + "/file1.txt"));
        const QByteArray oldHome = qgetenv(kHomeVariable);
        qputenv(kHomeVariable, QDir::toNativeSeparators(home).toLocal8Bit());
        const ShownBox shown = ShowWithMessageBox("Command1");
        qputenv(kHomeVariable, oldHome);
        QVERIFY2(shown.text.contains(QDir::toNativeSeparators("/file1.txt")),
                 qPrintable(shown.text));
        QVERIFY(shown.fitsTheScreen);
    }

    void cancelSavesTheStartingBalance() {
        QLineEdit* balance = Edit("inStartBal");
        balance->clear();
        QTest::keyClicks(balance, "12,345.6 ");
        Click("Command2");
        const QStringList before = Snapshot();

        Click("Command1");
        Click("Command1");

        QFile file(SavedFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("12,345.6 \r\n"));
        QCOMPARE(Snapshot(), before);
        QCOMPARE(Button("Command1")->toolTip(),  // fails when Cancel hides that it saves, and where
                 "Saves the starting balance to " + QDir::toNativeSeparators(SavedFile()));
        QVERIFY(Window().isVisible());
        QVERIFY(messages.isEmpty());
    }

    // Fails when a box keeps a pasted line break or tab that it shows as a blank (the saved line
    // would not be what it showed) or a control character the saved file passes on to a terminal.
    void pastedLineBreaksBecomeBlanks_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("LF, CR LF") << "40000\n123\r\n9"
                                   << "40000 123  9";
        QTest::newRow("VT, FF, NEL, LS, PS, tab") << "1\v2\f3\u00854\u20285\u20296\t7"
                                                  << "1 2 3 4 5 6 7";
        QTest::newRow("ESC, BEL, NUL, DEL, BS, CSI")
            << QStringLiteral(u"\u001b[2J40\u0007\u0000000\u007f\b\u009b") << "[2J40000";
        const QString longer(40'000, QLatin1Char('4'));
        QTest::newRow("longer than Qt's default limit") << longer << longer;
    }
    void pastedLineBreaksBecomeBlanks() {
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        QGuiApplication::clipboard()->setText(pasted);
        for (QLineEdit* box : {Edit("inCurrentAge"), Edit("inRetireAge"), Edit("inPayment"),
                               Combo()->lineEdit(), Edit("inStartBal")}) {
            box->setFocus();
            box->selectAll();
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(box->text(), kept);
        }
        Click("Command1");
        QFile file(SavedFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kept.toUtf8() + "\r\n");
    }

    void failedCancelIsReported() {
        QVERIFY(QDir().mkdir(SavedFile()));
        const QStringList before = Snapshot();

        Click("Command1");

        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].title, kCaption);
        QVERIFY2(messages[0].text.contains(QDir::toNativeSeparators(SavedFile())),
                 qPrintable(messages[0].text));
        QCOMPARE(Snapshot(), before);
        QVERIFY(Window().isVisible());
        QVERIFY(QFileInfo(SavedFile()).isDir());
    }

    // Storage tells what failed, the window says it: fails when a failure gets another kind's
    // words, or its sentence loses what it names (the character, the file, the figures).
    void saveFailureReasons_data() {
        using Kind = storage::Failure::Kind;
        QTest::addColumn<storage::Failure>("failure");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const storage::Failure& failure, const char* reason) {
            QTest::newRow(name) << failure << QString::fromUtf8(reason);
        };
#ifndef Q_OS_WIN  // errno values are Unix's own
        row("full file system", {.kind = Kind::System, .code = ENOSPC}, "No space left on device.");
        row("old line not put back", {.kind = Kind::System, .code = ENOSPC, .putBackFailed = true},
            "No space left on device. Putting the earlier line back failed too, so the file may "
            "hold parts of both.");
#endif
        row("Qt's words, full stop added", {.kind = Kind::QtFile, .systemText = "Access denied"},
            "Access denied.");
        row("no home folder", {.kind = Kind::NoHomeFolder},
            "No home folder is known: HOME is unset or empty, and the password database has no "
            "entry for this user.");
        row("half a character", {.kind = Kind::HalfCharacter, .character = 0xD800},
            "The text holds U+D800, half of a character without its other half (as a broken "
            "paste can leave); no character set can write it.");
        row("euro outside Latin-1",
            {.kind = Kind::NotInLocaleCharset, .character = U'€', .characterSet = "ISO-8859-1"},
            "The character \"€\" (U+20AC) cannot be written in ISO-8859-1, the character set of "
            "the current locale.");
        row("no converter", {.kind = Kind::UnknownCharacterSet, .characterSet = "X-1"},
            "This system cannot write X-1, the character set of the current locale.");
        row("best fit", {.kind = Kind::NotInCodePage, .character = U'Ł', .characterSet = "1252"},
            "The character \"Ł\" (U+0141) cannot be written in code page 1252, the character "
            "set of this system's language settings.");
        row("text not in the code page", {.kind = Kind::TextNotInCodePage, .characterSet = "1252"},
            "The text cannot be written in code page 1252.");
        row("another user's link", {.kind = Kind::OthersLink},
            "The name leads through another user's link in a shared folder; it was not "
            "followed.");
        using Type = storage::Failure::FileType;
        row("a pipe", {.kind = Kind::NotAnOrdinaryFile, .found = "p", .foundType = Type::NamedPipe},
            "p is a named pipe, not an ordinary file; it was left as it is.");
        row("a folder", {.kind = Kind::NotAnOrdinaryFile, .found = "d", .foundType = Type::Folder},
            "d is a folder, not an ordinary file; it was left as it is.");
        row("read-only", {.kind = Kind::ReadOnly},
            "You may not write to this file; it was left as it is.");
        row("locked", {.kind = Kind::Locked},
            "Another program kept the file locked for five seconds; it was left as it is.");
        row("kept replaced", {.kind = Kind::KeptReplaced},
            "Other programs kept replacing the file during the save; it was left as they made "
            "it.");
        row("short write", {.kind = Kind::ShortWrite, .written = 3, .size = 8},
            "Only 3 of 8 bytes could be written.");
    }
    void saveFailureReasons() {
        QFETCH(storage::Failure, failure);
        QFETCH(QString, reason);
        QCOMPARE(SaveFailureReason(failure), reason);
    }

    void linkOpensThePublisherPage() {
        QLabel* link = Label("Label9");
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opened_, QList<QUrl>{QUrl("http://nesteggpress.example/")});

        // Released elsewhere, a press is no click.
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-5, -5));
        QTest::mouseClick(link, Qt::RightButton);
        QCOMPARE(opened_.size(), 1);

        // A double click: a click, then a double-click event in place of the second press.
        QTest::mouseClick(link, Qt::LeftButton);
        QTest::mouseDClick(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton);
        QCOMPARE(opened_.size(), 2);
        // Fails when the keyboard cannot open it, or a key held down opens it again and again.
        QTest::keySequence(link, QKeySequence(Qt::Key_Return, Qt::Key_Space));
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
        QApplication::sendEvent(link, &held);
        QCOMPARE(opened_.size(), 4);
    }

  private:
    struct ShownBox {
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        bool fitsTheScreen = false;
    };
    // Clicks the button with the window's own message box in place of the hook, and tells what
    // the box showed.
    ShownBox ShowWithMessageBox(const QString& button) {
        ShownBox shown;
        guard.Inspect([&shown](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                const QSize screen = box->screen()->availableSize();
                shown = {box->textFormat(), box->text(),
                         screen.boundedTo(box->frameSize()) == box->frameSize()};
            }
        });
        Window().SetMessageHook({});
        Click(button);
        CollectMessages();
        guard.Inspect({});
        guard.Tripped();
        return shown;
    }

    QList<QUrl> opened_;
};

QTEST_MAIN(Form1EventsTest)
#include "form1_events_test.moc"
