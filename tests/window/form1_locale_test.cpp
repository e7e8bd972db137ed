// Form1 in a German locale: numbers are read and written with its separators. Run with
// LC_ALL=de_DE.UTF-8.
#include <QLocale>
#include <QTest>

#include "window_test_support.h"

class Form1LocaleTest : public QObject, public WindowFixture {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // Without the German locale every check below would test nothing.
        QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
        QCOMPARE(QLocale::system().groupSeparator(), QStringLiteral("."));
    }

    void init() { QVERIFY(Open()); }

    void cleanup() { QVERIFY(Close()); }

    void calculate_data() {
        QTest::addColumn<QString>("retire");
        QTest::addColumn<QString>("monthly");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("projection");
        QTest::addColumn<QString>("goal");
        // The default "40,000" is forty dollars where a comma is the decimal separator.
        QTest::newRow("default balance")
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
