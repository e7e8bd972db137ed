// Random typing into every box and the rate combo, with thousands of presses of Calculate and
// Cancel: the window must answer every press at once, and a failed press must leave it as it
// was.
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <random>

#include "window_test_support.h"

namespace {

#ifdef Q_OS_WIN
constexpr bool kCodePageMayRefuse = true;
#else
constexpr bool kCodePageMayRefuse = false;
#endif

// Types text key by key, as a keyboard would, non-ASCII characters included.
void Type(QLineEdit* box, const QString& text) {
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype length = text.at(at).isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text.mid(at, length),
                            Qt::NoModifier);
        at += length;
    }
}

class Monkey {
  public:
    explicit Monkey(unsigned seed) : random_(seed) {}

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

    QString Text() {
        static const QStringList kPieces = {
            "0",      "1",     "2",           "5",  "9",      "40",     "67",     "200",
            "40,000", ".",     ",",           "-",  "+",      " ",      "e",      "E",
            "%",      "$",     "abc",         "x",  "\u00e9", "\u20ac", "\u202f", "\U0001F600",
            "1e308",  "-1e15", "99999999999", "\t", "'"};
        switch (Below(12)) {
            case 0:
                return {};
            case 1:  // very long: digits, or anything
                return QString(1000 + Below(40000), QChar(u"9,.a"[Below(4)]));
            case 2:
                return QString::number(std::uniform_real_distribution<double>(-1e7, 1e7)(random_));
            default: {
                QString text;
                for (int pieces = 1 + Below(6); pieces > 0; --pieces) {
                    text += kPieces[Below(int(kPieces.size()))];
                }
                return text;
            }
        }
    }

  private:
    std::mt19937 random_;
};

}  // namespace

class Form1MonkeyTest : public QObject, public WindowFixture {
    Q_OBJECT

  private slots:
    void init() { QVERIFY(Open()); }

    void cleanup() { QVERIFY(Close()); }

    void anyTypingAndPressingKeepsTheWindowWhole() {
        QList<QLineEdit*> boxes;
        for (const char* name : {"inCurrentAge", "inRetireAge", "inStartBal", "inPayment"}) {
            boxes.append(Edit(name));
        }
        QComboBox* rate = Combo();
        boxes.append(rate->lineEdit());
        QPushButton* calculate = Button("Command2");
        QPushButton* cancel = Button("Command1");
        QLineEdit* startBal = Edit("inStartBal");

        Monkey monkey(20261207);
        int calculated = 0;
        int failed = 0;
        int saved = 0;
        for (int round = 0; round < 3000; ++round) {
            if (monkey.Below(2) == 0) {  // often plausible numbers again
                const int limits[] = {80, 100, 1'000'000, 5'000};
                for (int i = 0; i < 4; ++i) {
                    boxes[i]->setText(QString::number(monkey.Below(limits[i])));
                }
            }
            QLineEdit* box = boxes[monkey.Below(int(boxes.size()))];
            const QString text = monkey.Text();
            if (text.size() < 30) {
                box->selectAll();
                QTest::keyClick(box, Qt::Key_Delete);
                Type(box, text);
            } else {
                box->setText(text);
            }
            if (monkey.Below(6) == 0) {
                rate->setCurrentIndex(monkey.Below(rate->count()));
            }

            const QStringList before = Snapshot();
            const qsizetype messagesBefore = messages.size();
            QElapsedTimer press;
            press.start();
            const bool cancelling = monkey.Below(8) == 0;
            QTest::mouseClick(cancelling ? cancel : calculate, Qt::LeftButton);
            // A press that hangs; the engine's own speed is the fuzzer's to watch. Cancel waits
            // for the disk, which a busy machine can hold for seconds.
            QVERIFY2(press.elapsed() < 10'000, qPrintable(QString("round %1 hung").arg(round)));

            if (cancelling) {
                QCOMPARE(Snapshot(), before);
                // Only a character Windows' code page lacks refuses it; the UTF-8 the test runs
                // in elsewhere holds every one.
                if (messages.size() > messagesBefore) {
                    QVERIFY2(
                        kCodePageMayRefuse && messages.last().text.contains("cannot be written in"),
                        qPrintable(messages.last().text));
                } else {
                    QFile file(SavedFile());
                    QVERIFY(file.open(QIODevice::ReadOnly));
                    QCOMPARE(file.readAll(), startBal->text().toLocal8Bit() + "\r\n");
                    ++saved;
                }
            } else if (messages.size() > messagesBefore) {
                QVERIFY2(Snapshot() == before, qPrintable(QString("round %1").arg(round)));
                ++failed;
            } else {
                QVERIFY(!Label("labelResult1")->text().isEmpty());
                QCOMPARE(Label("labelResult1")->font().pointSize(), 12);
                ++calculated;
            }
            QVERIFY(!guard.Tripped());
        }
        qInfo("%d calculated, %d failed, %d saved", calculated, failed, saved);
        // The monkey must reach both outcomes often, or it proves little.
        QVERIFY2(calculated > 300 && failed > 300 && saved > 200,
                 qPrintable(QString("%1 calculated, %2 failed, %3 saved")
                                .arg(calculated)
                                .arg(failed)
                                .arg(saved)));
    }
};

QTEST_MAIN(Form1MonkeyTest)
#include "form1_monkey_test.moc"
