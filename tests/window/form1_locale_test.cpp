// Form1 in each locale the test command runs it in (LC_ALL): figures written as the locale
// writes them, numbers read as people there type them.
#include <QLocale>
#include <QTest>

#include "window_test_support.h"

class Form1LocaleTest : public QObject, public WindowFixture {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // In any other locale every check below would test nothing.
        const QStringList locales{"de_DE", "de_CH", "fr_FR", "ar_EG", "ja_JP", "mr_IN"};
        QVERIFY2(locales.contains(QLocale::system().name()), qPrintable(QLocale::system().name()));
    }

    void init() { QVERIFY(Open()); }

    void cleanup() { QVERIFY(Close()); }

    void calculateInEachLocale_data() {
        QTest::addColumn<QString>("box");     // "": the window as it opens
        QTest::addColumn<QString>("typed");   // into the emptied box
        QTest::addColumn<QString>("figure");  // the projection; "": the text is refused
        const char* const rows[][5] = {
            {"de_DE", "as it opens", "", "", "280.544,16"},
            {"de_DE", "English decimal", "inPayment", "200.50", ""},
            {"de_CH", "as it opens", "", "", "280’544.16"},
            {"de_CH", "typewriter apostrophe", "inStartBal", "40'000", "280’544.16"},
            {"fr_FR", "as it opens", "", "", "280\u202f544,16"},
            {"ar_EG", "as it opens", "", "", "٢٨٠٬٥٤٤٫١٦"},
            {"ar_EG", "keyboard comma", "inStartBal", "40,000", "٢٨٠٬٥٤٤٫١٦"},
            {"ar_EG", "keyboard decimal point", "inStartBal", "40,000.00", "٢٨٠٬٥٤٤٫١٦"},
            {"ar_EG", "negative as Qt writes it", "inPayment", "\u061c-١٠٠", "٨٣٬٧٣٥٫٣٠"},
            {"ja_JP", "full-width", "inStartBal", "４０，０００", "280,544.16"},
            {"mr_IN", "as it opens", "", "", "२८०,५४४.१६"},
            {"mr_IN", "grouped as India groups", "inStartBal", "४,००,०००", "१,६२४,५८८.४३"}};
        for (const auto& row : rows) {
            if (QLocale::system().name() == row[0]) {
                QTest::newRow(row[1]) << row[2] << row[3] << row[4];
            }
        }
    }
    void calculateInEachLocale() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, figure);
        if (box.isEmpty()) {  // the figures it opens with, as Qt writes them here
            QCOMPARE(Edit("inStartBal")->text(), QLocale::system().toString(40000));
            QCOMPARE(Combo()->currentText(), QLocale::system().toString(5) + '%');
        } else {  // typed as one key that gives the whole text, as input methods send it
            Edit(box)->clear();
            QTest::sendKeyEvent(QTest::Click, Edit(box), Qt::Key_unknown, typed, Qt::NoModifier);
            QCOMPARE(Edit(box)->text(), typed);
        }
        Click("Command2");
        QCOMPARE(messages.size(), figure.isEmpty() ? 1 : 0);
        const QString projection = Label("labelResult1")->text();
        QVERIFY2(projection.contains('$' + figure + ' ') != figure.isEmpty(),
                 qPrintable(projection));
    }

    void calculate_data() {
        QTest::addColumn<QString>("retire");
        QTest::addColumn<QString>("monthly");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("projection");
        QTest::addColumn<QString>("goal");
        if (QLocale::system().name() != "de_DE") {
            QSKIP("sentences written the German way");
        }
        // Typed, "40,000" is forty dollars where a comma is the decimal separator.
        QTest::newRow("40,000 typed")
            << "67"
            << "0"
            << "40,000"
            << "Your $40,000 will grow to $149,34 if left in a tax deferred account for 27 years "
               "while growing at consistent 5% per year."
            << "At the interest rate of 5% you will need to add $3.050 per month to achieve a $2 "
               "Million Dollar Nest Egg";
        QTest::newRow("balance typed the German way")
            << "67"
            << "200"
            << "40.000"
            << "Your $40.000 will grow to $280.544,16 if left in a tax deferred account for 27 "
               "years while growing at consistent 5% per year."
            << "At the interest rate of 5% you will need to add $2.850 per month to achieve a $2 "
               "Million Dollar Nest Egg";
        QTest::newRow("fractional age")
            << "66,5"
            << "200"
            << "40.000"
            << "Your $40.000 will grow to $264.899,20 if left in a tax deferred account for 26 "
               "years while growing at consistent 5% per year."
            << "At the interest rate of 5% you will need to add $3.050 per month to achieve a $2 "
               "Million Dollar Nest Egg";
    }

    void calculate() {
        QFETCH(QString, retire);
        QFETCH(QString, monthly);
        QFETCH(QString, start);
        QFETCH(QString, projection);
        QFETCH(QString, goal);
        Edit("inRetireAge")->setText(retire);
        Edit("inPayment")->setText(monthly);
        Edit("inStartBal")->setText(start);
        Click("Command2");
        QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));
        QCOMPARE(Label("labelResult1")->text(), projection);
        QCOMPARE(Label("labelResult2")->text(), goal);
    }
};

QTEST_MAIN(Form1LocaleTest)
#include "form1_locale_test.moc"
