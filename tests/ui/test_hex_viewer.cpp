// The hex grid on real files with counted reads, and the viewer window opened from the real main
// window through a scripted opener, under the offscreen platform.

#include "core/CommandLine.h"
#include "tests/core/TestPlatform.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/FreshRun.h"
#include "tests/ui/HexViewerScript.h"
#include "ui/common/FileNameText.h"
#include "ui/common/WindowOpener.h"
#include "ui/hexview/TForm4.h"
#include "ui/hexview/THexViewer.h"
#include "ui/main/TForm1.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace kestrine;
using namespace kestrine::testing;

namespace {

void sparseFile(const QString& path, off_t size) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::ftruncate(fd, size), 0);
    ::close(fd);
}

// The thumb's length as the scroll bar's own style lays it out.
int thumbLength(const QScrollBar* bar) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()
        ->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar)
        .height();
}

void doubleClickCell(THexViewer* grid, int column, int row) {
    const QPoint at = grid->cellRect(column, row).center();
    QTest::mouseClick(grid, Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid, Qt::LeftButton, {}, at);
}

} // namespace

class TestHexViewer : public QObject, protected kestrine::testing::FreshRun {
    Q_OBJECT

    ScriptedOpener opener;
    std::unique_ptr<TForm1> form;

    QString makeFile(const QString& name, std::size_t size) {
        const QString path = dir->filePath(name);
        testing::writeFile(path.toStdString(), testing::randomBytes(size));
        return path;
    }
    template <typename T = QWidget> static T* in(QWidget* window, const QString& name) {
        T* found = window->findChild<T*>(name);
        if (!found)
            qFatal("no %s", qPrintable(name));
        return found;
    }
    QLineEdit* field(const QString& name) { return in<QLineEdit>(form.get(), name); }
    static QString labelsOf(TForm4& viewer) {
        QStringList texts;
        for (const char* name : {"StartOffsetLabel", "FinishOffsetLabel", "OffsetLabel"})
            texts << in<QLabel>(&viewer, name)->text();
        return texts.join('|');
    }
    // The main window on `source` with the given decimal fields, then the hex view button.
    void openViewer(const QString& source, const QString& start, const QString& length,
                    std::function<void(TForm4&)> script) {
        if (!form) {
            form = std::make_unique<TForm1>(*state, *platform);
            form->Init();
        }
        field("SourceFileEdit")->setText(source);
        field("StartDecEdit")->setText(start);
        field("OffsetDecEdit")->setText(length);
        opener.script = std::move(script);
        QTest::mouseClick(in(form.get(), "HexViewButton"), Qt::LeftButton);
    }

private Q_SLOTS:
    void init() {
        beginRun();
        opener = {};
        setWindowOpener(&opener);
    }

    void cleanup() {
        form.reset();
        setWindowOpener(nullptr);
        endRun();
    }

    // At the corner of a main window near the screen's far corner, the larger viewer still
    // lies on the screen.
    void opensOnTheScreen() {
        const QString source = makeFile("f.bin", 1000);
        form = std::make_unique<TForm1>(*state, *platform);
        form->Init();
        const QRect room = form->screen()->availableGeometry();
        form->move(room.right() - form->frameGeometry().width(),
                   room.bottom() - form->frameGeometry().height());
        QRect placed;
        openViewer(source, "0", "0", [&](TForm4& viewer) { placed = viewer.frameGeometry(); });
        QVERIFY2(room.contains(placed), qPrintable(QString("%1,%2 %3x%4")
                                                       .arg(placed.x())
                                                       .arg(placed.y())
                                                       .arg(placed.width())
                                                       .arg(placed.height())));
    }

    // Offsets assigned one after another: the page shown and the reads it took.
    void pageLoads_data() {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<QList<qint64>>("offsets"); // -1 PageUp, -2 PageDown
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("reads"); // after opening, which reads page 0
        QTest::newRow("bit 4 cleared, same offset once")
            << 1000 << QList<qint64>{0x35, 0x35, 0x25} << 0x25LL << 256 << 1;
        QTest::newRow("offset 0 always again") << 1000 << QList<qint64>{0, 0} << 0LL << 256 << 2;
        QTest::newRow("300 bytes: PageDown twice")
            << 300 << QList<qint64>{-2, -2} << 0x100LL << 44 << 1;
        QTest::newRow("PageUp at 0x80") << 1000 << QList<qint64>{0x80, -1} << 0LL << 256 << 2;
        QTest::newRow("PageUp at 0x180") << 1000 << QList<qint64>{0x180, -1} << 0x80LL << 256 << 2;
        QTest::newRow("empty file: PageDown") << 0 << QList<qint64>{-2} << 0LL << 0 << 0;
        QTest::newRow("past the end") << 1000 << QList<qint64>{5000} << 5000LL << 0 << 1;
        QTest::newRow("negative offset") << 1000 << QList<qint64>{-256} << 0LL << 0 << 0;
    }
    void pageLoads() {
        QFETCH(int, fileSize);
        QFETCH(QList<qint64>, offsets);
        THexViewer grid;
        grid.setPlatform(*platform);
        grid.setFileName(makeFile("f.bin", fileSize).toStdString());
        QCOMPARE(platform->reads, 1);
        for (qint64 v : offsets) {
            if (v == -1 || v == -2)
                QTest::keyClick(&grid, v == -1 ? Qt::Key_PageUp : Qt::Key_PageDown);
            else
                grid.setOffset(v);
        }
        QTEST(qint64(grid.Offset()), "offset");
        QTEST(int(grid.Size()), "size");
        QTEST(platform->reads - 1, "reads");
        QCOMPARE(grid.cellText(0, 1), QString::fromStdString(rowHeaderText(grid.Offset())));
        if (fileSize == 300) {
            QCOMPARE(grid.cellText(13, 3), QString());
            QCOMPARE(grid.cellText(17, 3).size(), 12);
        }
    }

    // Names that open nothing, and a released handle: no message, the empty page at 0.
    void emptyPages() {
        const QString file = makeFile("f.bin", 1000);
        const QString fifo = dir->filePath("pipe");
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        THexViewer grid;
        grid.setPlatform(*platform);
        for (const QString& name : {dir->filePath("missing"), dir->path(), fifo}) {
            grid.setFileName(name.toStdString());
            QCOMPARE(grid.FileName(), std::string());
            QCOMPARE(grid.Size(), 0u);
            QCOMPARE(grid.cellText(1, 1), QString());
        }
        grid.setFileName(file.toStdString());
        grid.CloseFile();
        grid.setOffset(0x300);
        QCOMPARE(grid.FileName(), file.toStdString());
        QCOMPARE(grid.Offset(), Position(0));
        QCOMPARE(grid.Size(), 0u);
        QCOMPARE(grid.cellText(0, 16), "$000000F0");
        grid.setFileName(file.toStdString()); // opens again
        QCOMPARE(grid.Size(), 256u);
        platform->failReadAt = platform->reads + 1;
        grid.setOffset(0x200);
        QCOMPARE(grid.Offset(), Position(0));
        QCOMPARE(grid.Size(), 0u);
        QVERIFY(fake->boxes.empty() && fake->errors.empty());
    }

    // Open on a file, pick two bytes by double click, Accept; Copy then takes exactly them.
    void pickAcceptAndCopy() {
        const QString source = makeFile("src.bin", 2000);
        bool checked = false;
        openViewer(source, "0", "0", [&](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            // At the main window's corner, as far as the screen has room.
            const QRect room = viewer.screen()->availableGeometry();
            QVERIFY(room.contains(viewer.frameGeometry()));
            QCOMPARE(viewer.x(),
                     std::min(form->x(), room.right() + 1 - viewer.frameGeometry().width()));
            QCOMPARE(in<QLabel>(&viewer, "FileSizeLabel")->text(), "File Size: 2,000 bytes (2KB)");
            QCOMPARE(grid->Offset(), Position(0));
            doubleClickCell(grid, 12, 9); // 0x8B
            doubleClickCell(grid, 5, 3);  // 0x24, before it: exchanged
            QCOMPARE(pixelOf(grid, 5, 3), QColor(0, 255, 0));
            QCOMPARE(pixelOf(grid, 12, 9), QColor(255, 0, 0));
            QCOMPARE(in<QLabel>(&viewer, "StartOffsetLabel")->text(), "Start Pos: 24h  36d");
            QCOMPARE(in<QLabel>(&viewer, "OffsetLabel")->text(), "Offset Length: 67h  103d");
            QVERIFY(!in(&viewer, "SetStartButton")->isEnabled());
            auto* accept = in<QPushButton>(&viewer, "AcceptBitBtn");
            QVERIFY(accept->isDefault());
            QTest::keyClick(grid, Qt::Key_Return); // the default button
            QVERIFY(!accept->isEnabled() && viewer.isVisible());
            checked = true;
        });
        QVERIFY(checked);
        QCOMPARE(field("StartDecEdit")->text(), "36");
        QCOMPARE(field("OffsetDecEdit")->text(), "103");
        QCOMPARE(field("StartHexEdit")->text(), "24");
        QCOMPARE(field("OffsetHexEdit")->text(), "67");
        // The grid's file was released when the window closed.
        form->HexViewer()->HexViewer1()->setOffset(0x100);
        QCOMPARE(form->HexViewer()->HexViewer1()->Size(), 0u);

        const QString dest = dir->filePath("out.bin");
        field("DestFileEdit")->setText(dest);
        QTest::mouseClick(in(form.get(), "CopyBitBtn"), Qt::LeftButton);
        const auto all = testing::readFile(source.toStdString());
        QVERIFY(testing::readFile(dest.toStdString()) ==
                std::vector<char>(all.begin() + 36, all.begin() + 140));
    }

    // Opened on start 500 with one byte, the start cleared and 600 picked: the labels, the
    // marks, the buttons and Accept all tell the one byte at 600.
    void oneRangeEverywhere() {
        openViewer(makeFile("f.bin", 1000), "500", "0", [&](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            doubleClickCell(grid, 1, 2); // 500, the page being at 484
            doubleClickCell(grid, 5, 8); // 600
            QCOMPARE(labelsOf(viewer),
                     "Start Pos: 258h  600d|Finish Pos: <undefined>|Offset Length: <undefined>");
            QCOMPARE(pixelOf(grid, 5, 8), QColor(0, 255, 0));
            QCOMPARE(pixelOf(grid, 1, 2), pixelOf(grid, 2, 2)); // 500 not marked
            QVERIFY(in(&viewer, "SetFinishButton")->isEnabled());
            QTest::mouseClick(in(&viewer, "AcceptBitBtn"), Qt::LeftButton);
        });
        QCOMPARE(field("StartDecEdit")->text(), "600");
        QCOMPARE(field("OffsetDecEdit")->text(), "0");
    }

    // A source whose name is not UTF-8 opens in the viewer.
    void nameThatIsNotUtf8() {
        const std::string name = dir->path().toStdString() + "/\xff\xfe.bin";
        testing::writeFile(name, testing::randomBytes(300));
        bool shown = false;
        openViewer(nameText(name), "0", "0", [&](TForm4& viewer) {
            QCOMPARE(viewer.HexViewer1()->FileName(), name);
            QCOMPARE(viewer.HexViewer1()->Size(), 256u);
            shown = true;
        });
        QVERIFY(shown);
        QVERIFY(fake->boxes.empty());
    }

    // The 2^31 limit, and the window's paging on a file just under it (sparse, nothing written).
    void sizeLimit() {
        const QString huge = dir->filePath("huge.bin");
        sparseFile(huge, off_t{1} << 31);
        openViewer(huge, "0", "0", [](TForm4&) { QFAIL("opened on 2 GiB"); });
        QCOMPARE(opener.runs, 0);
        QCOMPARE(fake->boxes.size(), std::size_t(1));
        QCOMPARE(fake->boxes[0].kind, BoxKind::Warning);
        QCOMPARE(fake->boxes[0].text,
                 "The hex file viewer can only function with source files under 2GB in size.");

        sparseFile(huge, (off_t{1} << 31) - 1);
        openViewer(huge, "0", "0", [](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            QScrollBar* bar = viewer.ScrollBar();
            QVERIFY(bar->isEnabled());
            QCOMPARE(bar->maximum(),
                     2147483647 -
                         bar->style()->pixelMetric(QStyle::PM_ScrollBarSliderMin, nullptr, bar) +
                         1);
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier); // bit 4 of the size is set
            QCOMPARE(grid->Offset(), Position(0x7FFFFFEF));
            QCOMPARE(grid->Size(), 16u);
            QCOMPARE(bar->value(), bar->maximum());
            QCOMPARE(grid->cellText(1, 0), "$F");
            QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
            QCOMPARE(grid->Offset(), Position(0));
            QCOMPARE(bar->value(), 0);
            QCOMPARE(grid->cellText(1, 0), "$0");
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            QCOMPARE(grid->Offset(), Position(256));
        });
        QCOMPARE(opener.runs, 1);
    }

    // Opening rules: the fields' values, the page, the scroll bar after a larger file.
    void showing_data() {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<QString>("labels");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("start 500")
            << 1000 << "500"
            << "0" << 484LL
            << "Start Pos: 1F4h  500d|Finish Pos: <undefined>|Offset Length: <undefined>" << true;
        QTest::newRow("length 100")
            << 1000 << "0"
            << "100" << 0LL
            << "Start Pos: <undefined>|Finish Pos: 64h  100d|Offset Length: <undefined>" << true;
        QTest::newRow("257 bytes")
            << 257 << "0"
            << "0" << 0LL
            << "Start Pos: <undefined>|Finish Pos: <undefined>|Offset Length: <undefined>" << true;
        QTest::newRow("256 bytes")
            << 256 << "0x35"
            << "0" << 0x25LL
            << "Start Pos: 35h  53d|Finish Pos: <undefined>|Offset Length: <undefined>" << false;
        QTest::newRow("empty start field") << 1000 << ""
                                           << "0" << -1LL << "" << true;
    }
    void showing() {
        QFETCH(int, fileSize);
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(qint64, offset);
        QFETCH(QString, labels);
        QFETCH(bool, scrolls);
        // The scroll bar was enabled, and the showing ended on a button.
        openViewer(makeFile("big.bin", 5000), "0", "0", [&](TForm4& viewer) {
            QTest::mouseClick(in(&viewer, "CloseBitBtn"), Qt::LeftButton);
        });
        const QString file = makeFile("f.bin", fileSize);
        std::optional<qint64> shownAt;
        openViewer(file, start, length, [&](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            shownAt = grid->Offset();
            QCOMPARE(labelsOf(viewer), labels);
            QScrollBar* bar = viewer.ScrollBar();
            QCOMPARE(bar->isEnabled(), scrolls);
            if (scrolls) // the smallest thumb, also on a file of one byte more than a page
                QCOMPARE(thumbLength(bar),
                         bar->style()->pixelMetric(QStyle::PM_ScrollBarSliderMin, nullptr, bar));
            QVERIFY(grid->hasFocus()); // the paging keys work at once
            QCOMPARE(grid->cellText(1, 0), QString("$%1").arg(offset & 15, 0, 16).toUpper());
            QVERIFY(!in(&viewer, "AcceptBitBtn")->isEnabled());
            if (start == "500") // the start cell, in row 2, is lime
                QCOMPARE(pixelOf(grid, 1, 2), QColor(0, 255, 0));
        });
        if (offset < 0) {
            QCOMPARE(opener.runs, 1);
            QCOMPARE(fake->errors.size(), std::size_t(1));
            QCOMPARE(fake->errors[0], "'' is not a valid integer value.");
            return;
        }
        QVERIFY(shownAt && *shownAt == offset);
    }

    // The whole viewer by keys alone, each key sent to the widget that has the focus, no mouse
    // event: cursor moves, Space picking start and finish, the Tab order in reading order with
    // the focus visible on each control, Go To and Clear, Enter searching in the search field,
    // Enter accepting and Esc closing.
    void keyboardOnly() {
        const QString source = dir->filePath("keys.bin");
        std::vector<char> data = testing::randomBytes(1000);
        std::copy_n("Kestrel", 7, data.begin() + 700);
        testing::writeFile(source.toStdString(), data);
        bool closed = false;
        opener.script = [&](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            const auto key = [](Qt::Key k, Qt::KeyboardModifiers mods = {}) {
                QTest::keyClick(QApplication::focusWidget(), k, mods);
            };
            QCOMPARE(QApplication::focusWidget(), grid);
            key(Qt::Key_Right), key(Qt::Key_Right), key(Qt::Key_Right), key(Qt::Key_Down);
            key(Qt::Key_Space); // 19 chosen as the start
            key(Qt::Key_PageDown);
            QCOMPARE(QList<qint64>({grid->Offset(), grid->Col(), grid->Row()}),
                     (QList<qint64>{256, 4, 16}));
            key(Qt::Key_Space); // 256 + 240 + 3 = 499 chosen as the finish
            QCOMPARE(labelsOf(viewer), "Start Pos: 13h  19d|Finish Pos: 1F3h  499d|"
                                       "Offset Length: 1E0h  480d");
            QCOMPARE(pixelOf(grid, 4, 16), QColor(255, 0, 0));
            // The focus frame shows on the marked byte, and goes with the focus.
            const QRect cursor = grid->cellRect(4, 16);
            const auto edge = [&] { return grid->grab().toImage().pixelColor(cursor.topLeft()); };
            QCOMPARE(edge(), QColor(Qt::black));

            // Tab goes through every enabled control in reading order and back to the grid; each
            // looks different with the focus.
            QStringList order;
            for (int i = 0; i < 12 && (order.isEmpty() || QApplication::focusWidget() != grid);
                 ++i) {
                QWidget* before = QApplication::focusWidget();
                const QImage unfocused = [&] {
                    key(Qt::Key_Tab);
                    QWidget* now = QApplication::focusWidget();
                    order << now->objectName();
                    const QImage focused = now->grab().toImage();
                    now->clearFocus();
                    const QImage without = now->grab().toImage();
                    now->setFocus(Qt::TabFocusReason);
                    return focused == without ? QImage() : focused;
                }();
                QVERIFY2(!unfocused.isNull(), qPrintable(order.last() + " shows no focus"));
                if (before == grid)
                    QVERIFY(edge() != QColor(Qt::black));
            }
            QCOMPARE(order,
                     (QStringList{"ScrollBar", "ClearStartButton", "ClearFinishButton",
                                  "AcceptBitBtn", "GoToStartButton", "GoToFinishButton",
                                  "SearchEdit", "SearchButton", "CloseBitBtn", "HexViewer1"}));
            const auto tabTo = [&](const char* name) {
                for (int i = 0; i < 12 && QApplication::focusWidget()->objectName() != name; ++i)
                    key(Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget()->objectName(), QString(name));
            };
            tabTo("GoToStartButton");
            key(Qt::Key_Space);
            QCOMPARE(grid->Offset(), Position(3)); // 19 with bit 4 cleared
            tabTo("ClearFinishButton");
            key(Qt::Key_Space);
            QVERIFY(!viewer.picks().finishSet);

            // Enter in the search field searches (and does not accept); the grid takes the focus.
            tabTo("SearchEdit");
            QTest::keyClicks(QApplication::focusWidget(), "kEsTrEl");
            key(Qt::Key_Return);
            QCOMPARE(state->LastFound.position, Position(700));
            QCOMPARE(QApplication::focusWidget(), grid);
            QCOMPARE(field("StartDecEdit")->text(), "0");
            tabTo("SearchEdit");
            key(Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(QApplication::focusWidget(), "Kestrels");
            key(Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(in<QStatusBar>(&viewer, "StatusBar1")->currentMessage(),
                     "\"Kestrels\" not found");

            // Set Finish on the byte the cursor is on, then Enter in the grid accepts.
            key(Qt::Key_End), key(Qt::Key_Down); // position 15 + 16 = 31
            tabTo("SetFinishButton");
            key(Qt::Key_Space);
            tabTo("HexViewer1");
            key(Qt::Key_Return);
            QVERIFY(!in(&viewer, "AcceptBitBtn")->isEnabled());
            key(Qt::Key_Escape);
            closed = !viewer.isVisible();
        };
        if (!form) {
            form = std::make_unique<TForm1>(*state, *platform);
            form->Init();
        }
        field("SourceFileEdit")->setText(source);
        QWidget* button = in(form.get(), "HexViewButton");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QVERIFY(closed);
        QCOMPARE(field("StartDecEdit")->text(), "19");
        QCOMPARE(field("OffsetDecEdit")->text(), "12");
    }

    // An empty file after one with a cursor further on: no cell holds a byte, so nothing can
    // be chosen, set or accepted, by key or by button.
    void emptyFileHasNothingToPick() {
        openViewer(makeFile("full.bin", 1000), "0", "0", [](TForm4& viewer) {
            QTest::keyClick(viewer.HexViewer1(), Qt::Key_Down);
            QTest::keyClick(viewer.HexViewer1(), Qt::Key_Right);
        });
        openViewer(makeFile("empty.bin", 0), "0", "0", [&](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            QVERIFY(!in(&viewer, "SetStartButton")->isEnabled());
            viewer.SetStartButtonClick();
            viewer.SetFinishButtonClick();
            QTest::keyClick(grid, Qt::Key_Space);
            QVERIFY(!viewer.picks().startSet && !viewer.picks().finishSet);
            QVERIFY(!in(&viewer, "AcceptBitBtn")->isEnabled());
        });
        // A start brought from the main window past the end of the file cannot be accepted.
        openViewer(makeFile("short.bin", 100), "500", "0", [&](TForm4& viewer) {
            QVERIFY(viewer.picks().startSet);
            viewer.ClearFinishButtonClick(); // runs the button states
            QVERIFY(!in(&viewer, "AcceptBitBtn")->isEnabled());
            viewer.ClearStartButtonClick(); // from the first byte, which the file holds
            QVERIFY(in(&viewer, "AcceptBitBtn")->isEnabled());
        });
    }

    // A row of each of the 256 byte values, the last byte of each row a "W": the text column
    // draws every value as one glyph of the same width, so that the "W" is drawn in its place.
    void everyByteOneGlyph() {
        const QString file = dir->filePath("values.bin");
        std::vector<char> data;
        for (int b = 0; b < 256; ++b) {
            data.insert(data.end(), 15, static_cast<char>(b));
            data.push_back('W');
        }
        testing::writeFile(file.toStdString(), data);
        THexViewer grid;
        grid.setPlatform(*platform);
        grid.setFileName(file.toStdString());
        const QFontMetricsF metrics(grid.font());
        const qreal advance = metrics.horizontalAdvance(QLatin1Char('0'));
        for (Position page = 0; page < 4096; page += 256) {
            grid.setOffset(page);
            const QImage image = grid.grab().toImage();
            for (int row = 1; row <= 16; ++row) {
                const int value = static_cast<int>(page / 16) + row - 1;
                const QString text = grid.shownCellText(kTextColumn, row);
                QCOMPARE(text.size(), 16);
                QVERIFY2(qAbs(metrics.horizontalAdvance(text) - 16 * advance) < 0.5,
                         qPrintable(QString::number(value)));
                // The "W", 15 glyphs in, has ink.
                const QRect cell = grid.cellRect(kTextColumn, row);
                const int left = cell.left() + 2 + qFloor(15 * advance);
                bool ink = false;
                for (int x = left; x < left + qCeil(advance) && !ink; ++x)
                    for (int y = cell.top() + 2; y < cell.bottom() && !ink; ++y)
                        ink = image.pixelColor(x, y) != image.pixelColor(cell.right() - 1, y);
                QVERIFY2(ink, qPrintable(
                                  QString("value %1: the row's last glyph is missing").arg(value)));
            }
        }
    }

    // Cells past the file size and the text column refuse the cursor; a double click there
    // applies to the cursor cell. CharLabel shows the byte's character.
    void cursorCells() {
        const QString file = dir->filePath("twenty.bin");
        std::vector<char> data(20, 'k');
        data[3] = 0x07;
        testing::writeFile(file.toStdString(), data);
        state->LastFound.position = 0x13;
        state->LastFound.made = true;
        openViewer(file, "0", "0", [&](TForm4& viewer) {
            THexViewer* grid = viewer.HexViewer1();
            auto* charLabel = in<QLabel>(&viewer, "CharLabel");
            QCOMPARE(pixelOf(grid, 4, 2), QColor(192, 192, 192)); // the last hit
            QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(4, 1).center());
            QCOMPARE(charLabel->text(), " ");
            QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(4, 2).center()); // last
            QCOMPARE(QPoint(grid->Col(), grid->Row()), QPoint(4, 2));
            QCOMPARE(charLabel->text(), "k");
            // The cell just past the last byte holds none: it refuses the cursor like those after
            // it, and a double click there chooses the cursor cell.
            QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(5, 2).center());
            QCOMPARE(QPoint(grid->Col(), grid->Row()), QPoint(4, 2));
            doubleClickCell(grid, 6, 2);
            QCOMPARE(QPoint(grid->Col(), grid->Row()), QPoint(4, 2));
            QCOMPARE(viewer.picks().startPos, Position(19));
            doubleClickCell(grid, 17, 1);
            QCOMPARE(grid->Col(), 4); // the second double click cleared the start again
            QVERIFY(!viewer.picks().startSet);
            grid->setFocus();
            QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(16, 1).center());
            QTest::keyClick(grid, Qt::Key_Right);
            QCOMPARE(grid->Col(), 16);
            QTest::mouseClick(in(&viewer, "SetStartButton"), Qt::LeftButton);
            QTest::mouseClick(in(&viewer, "SetFinishButton"), Qt::LeftButton);
            const QColor same = pixelOf(grid, 16, 1);
            QCOMPARE(same, QColor(255, 255, 0));
            // Off the main window below it, so the pointer is over this window only.
            viewer.move(form->frameGeometry().right() + 10, viewer.y());
            QTest::mouseMove(in(&viewer, "ClearFinishButton"));
            QCOMPARE(in<QStatusBar>(&viewer, "StatusBar1")->currentMessage(),
                     "Clear the finish position.");
            QCOMPARE(viewer.HexViewer1()->nextInFocusChain(), in(&viewer, "ScrollBar"));
        });
    }
};

QTEST_MAIN(TestHexViewer)
#include "test_hex_viewer.moc"
