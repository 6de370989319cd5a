// The hex viewer's search button in the real window, opened from the real main window, under
// the offscreen platform: where each hit lands, the silver mark, and a file locked by another.

#include "core/CommandLine.h"
#include "core/Search.h"
#include "tests/core/TestPlatform.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/HexViewerScript.h"
#include "ui/common/WindowOpener.h"
#include "ui/hexview/TForm4.h"
#include "ui/hexview/THexViewer.h"
#include "ui/main/TForm1.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <memory>

using namespace kestrine;
using namespace kestrine::testing;

namespace {

const QColor kSilver(192, 192, 192);

} // namespace

class TestHexSearch : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    TestPlatform platform;
    AppState state;
    FakePrompts fake;
    ScriptedOpener opener;

    // The main window, started in the test's folder, with `file` as its source.
    std::unique_ptr<TForm1> mainWindowOn(const QString& file) {
        initState(state, platform);
        state.ProgramFolder = state.HelpFolder = dir.path().toStdString() + "/";
        setPrompts(&fake);
        setWindowOpener(&opener);
        auto form = std::make_unique<TForm1>(state, platform);
        form->Init();
        form->findChild<QLineEdit*>("SourceFileEdit")->setText(file);
        return form;
    }

private Q_SLOTS:
    void cleanup() {
        setPrompts(nullptr);
        setWindowOpener(nullptr);
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), qPrintable(top->objectName() + " left open"));
    }

    // The search's upper-case table agrees with Qt's wherever a byte could match.
    void upperCaseAsQt() {
        QSet<char16_t> byteUppers;
        for (char16_t b = 0; b < 256; ++b) {
            QCOMPARE(searchUpper(b), char16_t(QChar::toUpper(b)));
            byteUppers.insert(searchUpper(b));
        }
        for (char32_t c = 256; c < 0x10000; ++c) {
            const auto upper = char16_t(QChar::toUpper(c));
            if (byteUppers.contains(upper))
                QCOMPARE(searchUpper(char16_t(c)), upper);
            else
                QVERIFY(!byteUppers.contains(searchUpper(char16_t(c))));
        }
    }

    // Qt's case mapping as the search takes it: every character of the same upper case, also
    // those of another UTF-8 length, which the search then leaves out.
    void sameCaseOfQt_data() {
        QTest::addColumn<uint>("c");
        QTest::addColumn<QList<uint>>("among");
        QTest::newRow("Cyrillic") << uint(0x43F) << QList<uint>{0x43F, 0x41F};
        QTest::newRow("final sigma") << uint(0x3C3) << QList<uint>{0x3A3, 0x3C2, 0x3C3};
        QTest::newRow("s and the long s") << uint('s') << QList<uint>{'s', 'S', 0x17F};
    }
    void sameCaseOfQt() {
        QFETCH(uint, c);
        QFETCH(QList<uint>, among);
        const std::vector<char32_t> same = qtSameCase(c);
        for (uint other : among)
            QVERIFY2(std::find(same.begin(), same.end(), char32_t(other)) != same.end(),
                     qPrintable(QString::number(other, 16)));
    }

    // Text typed in the field found in a UTF-8 file, in another case too; a text found nowhere
    // says so in the status bar, and the next hit clears that again.
    void utf8TextAndNotFound() {
        const QString file = dir.filePath("utf8.txt");
        QByteArray data(3000, '.');
        data.replace(1200, 12, QStringLiteral("ПРИВЕТ").toUtf8());
        data.replace(2500, 12, QStringLiteral("привет").toUtf8());
        testing::writeFile(file.toStdString(), std::vector<char>(data.begin(), data.end()));
        const auto main = mainWindowOn(file);
        TForm1& form = *main;
        bool ran = false;
        opener.script = [&](TForm4& viewer) {
            auto* edit = viewer.findChild<QLineEdit*>("SearchEdit");
            auto* bar = viewer.findChild<QStatusBar*>("StatusBar1");
            edit->setFocus();
            for (QChar ch : QStringLiteral("Привет")) { // typed: keys beyond ASCII, with their text
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
                QApplication::sendEvent(edit, &press);
            }
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(state.LastFound.position, Position(1200));
            QTest::keyClick(viewer.findChild<QWidget*>("SearchButton"), Qt::Key_Space);
            QCOMPARE(state.LastFound.position, Position(2500));
            QTest::keyClick(viewer.findChild<QWidget*>("SearchButton"), Qt::Key_Space);
            QCOMPARE(bar->currentMessage(), "\"Привет\" not found");
            QCOMPARE(viewer.HexViewer1()->Offset(), Position(0));
            QTest::keyClick(viewer.findChild<QWidget*>("SearchButton"), Qt::Key_Space);
            QCOMPARE(state.LastFound.position, Position(1200));
            QCOMPARE(bar->currentMessage(), QString());
            ran = true;
        };
        QTest::keyClick(form.findChild<QWidget*>("HexViewButton"), Qt::Key_Space);
        QVERIFY(ran);
        state.LastFound = {}; // the other tests start before any hit
    }

    // Presses in a row on "abc" at 0, 16, 0x125 and 0x135, then a press that finds nothing;
    // then the same file locked by another open description.
    void searchButton() {
        const QString file = dir.filePath("f.bin");
        std::vector<char> data(0x400, '.');
        for (int at : {0, 16, 0x125, 0x135})
            std::copy_n(at == 16 ? "aBc" : "ABC", 3, data.begin() + at);
        testing::writeFile(file.toStdString(), data);

        const auto main = mainWindowOn(file);
        TForm1& form = *main;
        bool ran = false;
        opener.script = [&](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            auto* edit = viewer.findChild<QLineEdit*>("SearchEdit");
            QWidget* button = viewer.findChild<QWidget*>("SearchButton");
            QVERIFY(edit && button);
            const auto press = [&] { QTest::mouseClick(button, Qt::LeftButton); };
            const auto place = [&] {
                return QList<qint64>{grid->Offset(), grid->Col(), grid->Row(),
                                     state.LastFound.position};
            };

            press(); // no text: nothing happens
            QCOMPARE(state.LastFound.made, false);
            QTest::keyClicks(edit, "aBc");
            press(); // from the cursor at 0 before any hit: the hit at 0 itself
            QCOMPARE(place(), (QList<qint64>{0, 1, 1, 0}));
            QCOMPARE(pixelOf(grid, 1, 1), kSilver);
            QVERIFY(grid->hasFocus());
            QCOMPARE(viewer.findChild<QLabel*>("CharLabel")->text(), "A");
            press(); // bit 4 set: page 0, second row
            QCOMPARE(place(), (QList<qint64>{0, 1, 2, 16}));
            QVERIFY(pixelOf(grid, 1, 1) != kSilver);
            QCOMPARE(pixelOf(grid, 1, 2), kSilver);
            press();
            QCOMPARE(place(), (QList<qint64>{0x125, 1, 1, 0x125}));
            QCOMPARE(grid->cellText(1, 0), "$5");
            QCOMPARE(viewer.ScrollBar()->value(), 0x125);
            press();
            QCOMPARE(place(), (QList<qint64>{0x125, 1, 2, 0x135}));
            press(); // nothing more: back to the start, the last hit kept
            QCOMPARE(place(), (QList<qint64>{0, 1, 1, 0x135}));
            QVERIFY(fake.boxes.empty());

            grid->setOffset(0x200);
            const int holder = ::open(file.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
            press();
            ::close(holder);
            QCOMPARE(fake.boxes.size(), std::size_t(1));
            QCOMPARE(fake.boxes[0].kind, BoxKind::Error);
            QCOMPARE(fake.boxes[0].text, "The source file " + file + " cannot be opened.");
            // The page stays, and the grid still reads the file afterwards.
            QCOMPARE(place(), (QList<qint64>{0x200, 1, 1, 0x135}));
            QCOMPARE(grid->Size(), 256u);
            grid->setOffset(0x300);
            QCOMPARE(grid->Size(), 256u);

            // A file gone meanwhile: its page stays until the next page move, which finds the
            // handle released and shows the empty page at 0.
            const QString shown = grid->cellText(1, 1);
            QVERIFY(QFile::remove(file));
            press();
            QCOMPARE(fake.boxes.size(), std::size_t(2));
            QCOMPARE(place(), (QList<qint64>{0x300, 1, 1, 0x135}));
            QCOMPARE(grid->Size(), 256u);
            QCOMPARE(grid->cellText(1, 1), shown);
            QTest::keyClick(grid, Qt::Key_PageUp);
            QCOMPARE(QList<qint64>({grid->Offset(), grid->Size()}), (QList<qint64>{0, 0}));
            ran = true;
        };
        QTest::mouseClick(form.findChild<QWidget*>("HexViewButton"), Qt::LeftButton);
        QVERIFY(ran);
    }
};

QTEST_MAIN(TestHexSearch)
#include "test_hex_search.moc"
