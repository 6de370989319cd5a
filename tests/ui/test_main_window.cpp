// The real main window under the offscreen platform, with scripted prompts and a platform
// whose files, writes and creation can be made to fail.

#include "core/CommandLine.h"
#include "core/Numbers.h"
#include "platform/desktop/Display.h"
#include "tests/core/TestPlatform.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/FreshRun.h"
#include "tests/ui/HexViewerScript.h"
#include "ui/about/TAboutBox.h"
#include "ui/common/FileNameText.h"
#include "ui/common/NumberEdit.h"
#include "ui/common/WindowLook.h"
#include "ui/common/WindowPlace.h"
#include "ui/hexview/TForm4.h"
#include "ui/main/TForm1.h"
#include "ui/main/WindowMode.h"
#include "ui/settings/TSettingsForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <cstring>
#include <fstream>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>

using namespace kestrine;
using kestrine::testing::FakePrompts;
using kestrine::testing::TestPlatform;

namespace {

const QStringList kToggled = {
    "CopyBitBtn",           "CloseBitBtn",        "GetSourceSpeedButton", "GetDestSpeedButton",
    "CopySourceFileButton", "SetPosMinButton",    "SetPosMaxButton",      "IncPosButton",
    "DecPosButton",         "SetOffsetMinButton", "SetOffsetMaxButton",   "IncOffsetButton",
    "DecOffsetButton",      "HexViewButton",      "SourceFileEdit",       "DestFileEdit",
    "StartDecEdit",         "StartHexEdit",       "OffsetDecEdit",        "OffsetHexEdit"};
const QStringList kCommands = {"Exit1", "Settings1", "Help1", "About1"};

QString partnerName(QString name) {
    return name.contains("Dec") ? name.replace("Dec", "Hex") : name.replace("Hex", "Dec");
}

QString hexOf(const QString& decimal) {
    return QString::fromStdString(toHex(parseNumber(decimal.toStdString()).value()));
}

// Records the window background at the moment the window is first shown.
class ShowWatcher : public QObject {
public:
    std::optional<QColor> background;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !background)
            background = static_cast<QWidget*>(watched)->palette().color(QPalette::Window);
        return false;
    }
};

} // namespace

class TestMainWindow : public QObject, protected kestrine::testing::FreshRun {
    Q_OBJECT

    std::unique_ptr<TForm1> form;

    void start(const QByteArray& ini = {}) {
        if (!ini.isEmpty())
            std::ofstream(dir->filePath("Kestrine.ini").toStdString()) << ini.toStdString();
        form = std::make_unique<TForm1>(*state, *platform);
        form->Init();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    template <typename T = QWidget> T* w(const QString& name) {
        T* found = form->findChild<T*>(name);
        if (!found)
            qFatal("no %s", qPrintable(name));
        return found;
    }
    QLineEdit* edit(const QString& name) { return w<QLineEdit>(name); }
    QString text(const QString& name) { return edit(name)->text(); }
    QString makeFile(const QString& name, std::size_t size) {
        const QString path = dir->filePath(name);
        testing::writeFile(path.toStdString(), testing::randomBytes(size));
        return path;
    }
    QStringList log() { return w<QTextEdit>("RichEdit1")->toPlainText().split('\n'); }
    QWidget* focused() { return QApplication::focusWidget(); }
    void setPair(const QString& decName, const QString& value) {
        edit(decName)->setText(value);
        edit(partnerName(decName))->setText(hexOf(value));
    }
    // A drop over a child control, which the window takes.
    bool drop(const QStringList& files) {
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        return dropUrls(urls);
    }
    bool dropUrls(const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QWidget* over = edit("DestFileEdit");
        const QPointF pos = over->rect().center();
        QDragEnterEvent enter(pos.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(over, &enter);
        QDropEvent dropped(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &dropped);
        return enter.isAccepted();
    }

    // A listening socket in a folder of the test's own, standing for a compositor.
    QByteArray waylandSocket() {
        const QByteArray path = waylandDir.filePath("wayland-test").toUtf8();
        if (waylandListener < 0) {
            waylandListener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
            if (::bind(waylandListener, reinterpret_cast<sockaddr*>(&address), sizeof address) !=
                    0 ||
                ::listen(waylandListener, 4) != 0)
                qFatal("no listening socket");
        }
        return path;
    }
    QTemporaryDir waylandDir;
    int waylandListener = -1;

private Q_SLOTS:
    void init() { beginRun(); }

    void cleanup() {
        form.reset();
        endRun();
    }

    void windowShapeAndTabOrder() {
        start();
        QCOMPARE(w("ClientArea")->size(), QSize(446, 398));
        // Without a settings file the window is centred by its size as created, before the
        // window system has given it a frame.
        const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
        const QSize outer = form->size();
        QCOMPARE(outer, QSize(446, w("MainMenu1")->height() + 398));
        QCOMPARE(form->pos(), QPoint(desktop.width() / 2 - outer.width() / 2,
                                     desktop.height() / 2 - outer.height() / 2));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        // Reading order: the file rows, then each framed group from the top, then the buttons.
        const QStringList order = {"SourceFileEdit",     "GetSourceSpeedButton", "DestFileEdit",
                                   "GetDestSpeedButton", "CopySourceFileButton", "StartDecEdit",
                                   "SetPosMinButton",    "IncPosButton",         "DecPosButton",
                                   "SetPosMaxButton",    "StartHexEdit",         "OffsetDecEdit",
                                   "SetOffsetMinButton", "IncOffsetButton",      "DecOffsetButton",
                                   "SetOffsetMaxButton", "OffsetHexEdit",        "HexViewButton",
                                   "CopyBitBtn",         "CloseBitBtn",          "RichEdit1"};
        edit("SourceFileEdit")->setFocus();
        QStringList visited;
        for (int i = 0; i <= order.size(); ++i) {
            visited << focused()->objectName();
            QTest::keyClick(focused(), Qt::Key_Tab);
        }
        QCOMPARE(visited, order + QStringList{"SourceFileEdit"});
        // Picture buttons take the focus from the keyboard only (a click leaves the typed source
        // name where it is), show it, and are named for a screen reader by their hint.
        for (QToolButton* b : w("ClientArea")->findChildren<QToolButton*>()) {
            QCOMPARE(b->focusPolicy(), Qt::TabFocus);
            QCOMPARE(b->accessibleName(), b->statusTip());
            QVERIFY(!b->statusTip().isEmpty());
        }
        for (const QString& name : order) {
            QWidget* control = w(name);
            const QImage plain = control->grab().toImage();
            control->setFocus(Qt::TabFocusReason);
            QVERIFY2(control->grab().toImage() != plain, qPrintable(name + " shows no focus"));
        }
        for (QWidget* child : form->findChildren<QWidget*>())
            QVERIFY2(child->toolTip().isEmpty(), qPrintable(child->objectName()));
    }

    void initAppliesSettingsBeforeShowing_data() {
        QTest::addColumn<QByteArray>("colourLine");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("status");
        QTest::newRow("system colour 28") << QByteArray() << QColor(215, 228, 242)
                                          << QColor(49, 99, 154) << QColor(168, 196, 226);
        QTest::newRow("navy") << QByteArray("FormColour=8388608\n") << QColor(0, 0, 128)
                              << QColor(255, 255, 255) << QColor(0, 0, 64);
        QTest::newRow("black") << QByteArray("FormColour=0\n") << QColor(0, 0, 0)
                               << QColor(255, 255, 255) << QColor(255, 255, 255);
    }
    void initAppliesSettingsBeforeShowing() {
        QFETCH(QByteArray, colourLine);
        QFETCH(QColor, background);
        QFETCH(QColor, text);
        QFETCH(QColor, status);
        std::ofstream(dir->filePath("Kestrine.ini").toStdString())
            << "[Kestrine]\nTop=40\nLeft=50\n"
            << colourLine.toStdString();
        form = std::make_unique<TForm1>(*state, *platform);
        ShowWatcher watcher;
        form->installEventFilter(&watcher);
        form->Init();
        QVERIFY(form->isVisible());
        QCOMPARE(watcher.background, background);
        QCOMPARE(form->pos(), QPoint(50, 40));
        QCOMPARE(w("Label1")->palette().color(QPalette::WindowText), text);
        QCOMPARE(w("RichEdit1")->palette().color(QPalette::Base), background);
        QCOMPARE(w("RichEdit1")->palette().color(QPalette::Text), text);
        QCOMPARE(w("StatusBar1")->palette().color(QPalette::Window), status);
        QCOMPARE(form->OpenDialog1().filter.toStdString(), state->Settings.FileFilter);
        QVERIFY(form->acceptDrops());
        form->removeEventFilter(&watcher);
    }

    void typing_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("partner");
        QTest::addColumn<QString>("error");
        QTest::newRow("decimal") << "StartDecEdit"
                                 << "255"
                                 << "255"
                                 << "FF"
                                 << "";
        QTest::newRow("hex") << "StartHexEdit"
                             << "ff"
                             << "ff"
                             << "255"
                             << "";
        QTest::newRow("hex capitals lowered") << "OffsetHexEdit"
                                              << "FF"
                                              << "ff"
                                              << "255"
                                              << "";
        QTest::newRow("decimal ignores the rest") << "StartDecEdit"
                                                  << "1a-.\r2 "
                                                  << "12"
                                                  << "C"
                                                  << "";
        QTest::newRow("hex ignores g") << "StartHexEdit"
                                       << "1g2"
                                       << "12"
                                       << "18"
                                       << "";
        QTest::newRow("decimal limit") << "OffsetDecEdit"
                                       << "12345678901234567890123"
                                       << "1234567890123456789"
                                       << "112210F47DE98115"
                                       << "";
        QTest::newRow("hex limit") << "OffsetHexEdit"
                                   << "1234567890abcdef0"
                                   << "1234567890abcde"
                                   << "81985529205931230"
                                   << "";
        QTest::newRow("emptied decimal") << "StartDecEdit"
                                         << "42\b\b"
                                         << ""
                                         << ""
                                         << "";
        QTest::newRow("emptied hex") << "OffsetHexEdit"
                                     << "a\b"
                                     << ""
                                     << ""
                                     << "";
        QTest::newRow("too large")
            << "StartDecEdit" << QString(19, '9') << QString(19, '9') << "DE0B6B3A763FFFF"
            << "'9999999999999999999' is not a valid integer value.";
    }
    void typing() {
        QFETCH(QString, field);
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QFETCH(QString, partner);
        QFETCH(QString, error);
        start();
        QLineEdit* e = edit(field);
        // The keys go through the number field widget's own filter and limit.
        QVERIFY(qobject_cast<NumberEdit*>(e));
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(text(partnerName(field)), QString());
        QTest::keyClicks(e, keys);
        QCOMPARE(e->text(), shown);
        QCOMPARE(text(partnerName(field)), partner);
        QCOMPARE(fake->errors,
                 error.isEmpty() ? std::vector<QString>{} : std::vector<QString>{error});
    }

    // Text that reaches a field other than by single typed keys: composed by dead keys or an
    // input method (filtered like typed keys), or pasted with Shift+Insert (cut to the limit).
    void enteredOtherwise_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("partner");
        QTest::newRow("composed decimal") << "StartDecEdit" << false << QString("1\u00e92") << "12"
                                          << "C";
        QTest::newRow("composed hex") << "OffsetHexEdit" << false << QString("F\u00e9") << "f"
                                      << "15";
        QTest::newRow("pasted decimal")
            << "StartDecEdit" << true << QString("1234567890").repeated(2) + "12345"
            << "1234567890123456789"
            << "112210F47DE98115";
        QTest::newRow("pasted hex") << "OffsetHexEdit" << true << "1234567890abcdef0"
                                    << "1234567890abcde"
                                    << "81985529205931230";
        QTest::newRow("pasted path") << "StartDecEdit" << true << "19/tmp/a.bin"
                                     << "19"
                                     << "13";
        QTest::newRow("pasted hex with its prefix") << "StartHexEdit" << true << "0x1F\n"
                                                    << "01f"
                                                    << "31";
    }
    void enteredOtherwise() {
        QFETCH(QString, field);
        QFETCH(bool, paste);
        QFETCH(QString, entered);
        QFETCH(QString, shown);
        QFETCH(QString, partner);
        start();
        QLineEdit* e = edit(field);
        e->setFocus();
        e->selectAll();
        if (paste) {
            QGuiApplication::clipboard()->setText(entered);
            QTest::keyClick(e, Qt::Key_Insert, Qt::ShiftModifier);
        } else {
            QInputMethodEvent composed;
            composed.setCommitString(entered);
            QApplication::sendEvent(e, &composed);
        }
        QCOMPARE(e->text(), shown);
        QCOMPARE(text(partnerName(field)), partner);
        QVERIFY(fake->errors.empty());
    }

    // The editing shortcuts work; whatever is pasted passes the filter as typed keys would.
    void editingShortcutsAndFilteredPaste() {
        start();
        QLineEdit* e = edit("StartDecEdit");
        QClipboard* clipboard = QGuiApplication::clipboard();
        e->setFocus();
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(e, "123");
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), "123");
        QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(e->text(), QString());
        QCOMPARE(text("StartHexEdit"), QString());
        QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e->text(), "123");
        QCOMPARE(text("StartHexEdit"), "7B");

        clipboard->setText("19/tmp/a.bin");
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(e->text(), "19");
        QCOMPARE(text("StartHexEdit"), "13");
        QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier); // the paste was one edit
        QCOMPARE(e->text(), "123");

        // The context menu's Paste, as a user picks it.
        clipboard->setText("$1F zz");
        QLineEdit* hex = edit("OffsetHexEdit");
        hex->setFocus();
        hex->selectAll();
        QTimer::singleShot(50, form.get(), [] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* menu = qobject_cast<QMenu*>(top); menu && menu->isVisible()) {
                    for (QAction* action : menu->actions())
                        if (action->objectName() == "edit-paste")
                            action->trigger();
                    menu->close();
                }
        });
        QContextMenuEvent context(QContextMenuEvent::Keyboard, hex->rect().center(),
                                  hex->mapToGlobal(hex->rect().center()));
        QApplication::sendEvent(hex, &context);
        QCOMPARE(hex->text(), "1f");
        QCOMPARE(text("OffsetDecEdit"), "31");
        QVERIFY(fake->errors.empty());
    }

    void stepping_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("offset");
        QTest::addColumn<QString>("startAfter");
        QTest::addColumn<QString>("offsetAfter");
        const int up = Qt::Key_Up, down = Qt::Key_Down;
        QTest::newRow("up to the bound") << "StartDecEdit" << up << 100ll << "89"
                                         << "9"
                                         << "90"
                                         << "9";
        QTest::newRow("stops at the bound") << "StartDecEdit" << up << 100ll << "90"
                                            << "9"
                                            << "90"
                                            << "9";
        QTest::newRow("down at zero") << "StartDecEdit" << down << 100ll << "0"
                                      << "9"
                                      << "0"
                                      << "9";
        QTest::newRow("no source") << "StartDecEdit" << up << 0ll << "0"
                                   << "0"
                                   << "0"
                                   << "0";
        QTest::newRow("beyond, down refused") << "StartDecEdit" << down << 100ll << "95"
                                              << "9"
                                              << "95"
                                              << "9";
        QTest::newRow("beyond, down into it") << "StartHexEdit" << down << 100ll << "91"
                                              << "9"
                                              << "90"
                                              << "9";
        QTest::newRow("hex FF up") << "OffsetHexEdit" << up << 1000ll << "0"
                                   << "255"
                                   << "0"
                                   << "256";
        QTest::newRow("shift up steps too")
            << "OffsetDecEdit" << int(Qt::Key_Up) + int(Qt::ShiftModifier) << 100ll << "0"
            << "5"
            << "0"
            << "6";
        QTest::newRow("increase button") << "IncPosButton" << 0 << 100ll << "5"
                                         << "9"
                                         << "6"
                                         << "9";
        QTest::newRow("decrease button") << "DecOffsetButton" << 0 << 100ll << "0"
                                         << "9"
                                         << "0"
                                         << "8";
        QTest::newRow("button at the bound") << "IncOffsetButton" << 0 << 100ll << "90"
                                             << "9"
                                             << "90"
                                             << "9";
        QTest::newRow("button, no source") << "DecPosButton" << 0 << 0ll << "1"
                                           << "0"
                                           << "1"
                                           << "0";
    }
    void stepping() {
        QFETCH(QString, control);
        QFETCH(int, key);
        QFETCH(qint64, size);
        QFETCH(QString, start);
        QFETCH(QString, offset);
        QFETCH(QString, startAfter);
        QFETCH(QString, offsetAfter);
        this->start();
        state->SourceFileSize = size;
        setPair("StartDecEdit", start);
        setPair("OffsetDecEdit", offset);
        if (key) {
            edit(control)->setFocus();
            QTest::keyClick(edit(control), Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        } else {
            QTest::mouseClick(w(control), Qt::LeftButton);
        }
        QCOMPARE(text("StartDecEdit"), startAfter);
        QCOMPARE(text("StartHexEdit"), hexOf(startAfter));
        QCOMPARE(text("OffsetDecEdit"), offsetAfter);
        QCOMPARE(text("OffsetHexEdit"), hexOf(offsetAfter));
        QVERIFY(fake->errors.empty());
    }

    void minimumAndMaximum_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("withSource");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("offset");
        QTest::addColumn<QString>("startAfter");
        QTest::addColumn<QString>("offsetAfter");
        QTest::newRow("start max") << "SetPosMaxButton" << true << "3"
                                   << "9"
                                   << "90"
                                   << "9";
        QTest::newRow("start max, negative") << "SetPosMaxButton" << true << "3"
                                             << "100"
                                             << "-1"
                                             << "100";
        QTest::newRow("start max, no source") << "SetPosMaxButton" << false << "3"
                                              << "9"
                                              << "3"
                                              << "9";
        QTest::newRow("offset max") << "SetOffsetMaxButton" << true << "10"
                                    << "0"
                                    << "10"
                                    << "89";
        QTest::newRow("offset max, no source") << "SetOffsetMaxButton" << false << "10"
                                               << "0"
                                               << "10"
                                               << "0";
        QTest::newRow("start min") << "SetPosMinButton" << false << "7"
                                   << "9"
                                   << "0"
                                   << "9";
        QTest::newRow("offset min") << "SetOffsetMinButton" << true << "7"
                                    << "9"
                                    << "7"
                                    << "0";
    }
    void minimumAndMaximum() {
        QFETCH(QString, button);
        QFETCH(bool, withSource);
        QFETCH(QString, start);
        QFETCH(QString, offset);
        QFETCH(QString, startAfter);
        QFETCH(QString, offsetAfter);
        this->start();
        if (withSource)
            QVERIFY(drop({makeFile("hundred.bin", 100)}));
        setPair("StartDecEdit", start);
        setPair("OffsetDecEdit", offset);
        QTest::mouseClick(w(button), Qt::LeftButton);
        QCOMPARE(text("StartDecEdit"), startAfter);
        QCOMPARE(text("StartHexEdit"), hexOf(startAfter));
        QCOMPARE(text("OffsetDecEdit"), offsetAfter);
        QCOMPARE(text("OffsetHexEdit"), hexOf(offsetAfter));
        QCOMPARE(focused(), edit(button.contains("Pos") ? "StartDecEdit" : "OffsetDecEdit"));
    }

    void copyName_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dest");
        QTest::newRow("plain") << "/d/file.dat"
                               << "/d/file2.dat";
        QTest::newRow("digit") << "file2.dat"
                               << "file3.dat";
        QTest::newRow("carry") << "file09.dat"
                               << "file10.dat";
        QTest::newRow("zeros") << "file007.dat"
                               << "file8.dat";
        QTest::newRow("no extension") << "/x/disk1"
                                      << "/x/disk2";
        QTest::newRow("two dots") << "backup.tar.gz"
                                  << "backup.tar2.gz";
        QTest::newRow("all digits") << "2010.log"
                                    << "2011.log";
        QTest::newRow("only extension") << ".profile"
                                        << "2.profile";
        QTest::newRow("blank") << "   "
                               << "unchanged";
        QTest::newRow("stamp too large") << "/x/run20240101123000.log"
                                         << "unchanged";
    }
    void copyName() {
        QFETCH(QString, source);
        QFETCH(QString, dest);
        start();
        edit("SourceFileEdit")->setText(source);
        edit("DestFileEdit")->setText("unchanged");
        QTest::mouseClick(w("CopySourceFileButton"), Qt::LeftButton);
        QCOMPARE(text("DestFileEdit"), dest);
        const bool tooLarge = source.contains("2024");
        QCOMPARE(fake->errors.size(), std::size_t(tooLarge ? 1 : 0));
        if (dest != "unchanged")
            QCOMPARE(focused(), edit("DestFileEdit"));
    }

    void drops() {
        start();
        const QString first = makeFile("a.bin", 1536);
        QVERIFY(drop({first}));
        QCOMPARE(text("SourceFileEdit"), first);
        QCOMPARE(state->SourceFileSize, 1536);
        QCOMPARE(log().mid(log().size() - 2),
                 QStringList({"Source file is " + first, "Source file is 1,536 bytes (2KB)"}));

        // A long name is taken whole.
        QDir(dir->path()).mkpath(QString(120, 'd') + "/" + QString(120, 'e'));
        const QString deep =
            makeFile(QString(120, 'd') + "/" + QString(120, 'e') + "/long.bin", 10);
        QVERIFY(deep.size() > 254);
        QVERIFY(drop({deep}));
        QCOMPARE(text("SourceFileEdit"), deep);
        QCOMPARE(state->SourceFileSize, 10);
        QVERIFY(fake->boxes.empty());

        edit("DestFileEdit")->setText("dest.bin");
        QVERIFY(drop({first, makeFile("b.bin", 7)}));
        QCOMPARE(fake->boxes.size(), std::size_t(1));
        QCOMPARE(fake->boxes[0].kind, BoxKind::Warning);
        QCOMPARE(fake->boxes[0].text, "Only one file can be accepted using drag and drop.");
        QCOMPARE(text("SourceFileEdit"), deep);
        QCOMPARE(state->SourceFileSize, 10);
        QCOMPARE(text("DestFileEdit"), "dest.bin");
    }

    // Names that are not UTF-8, from the settings file, a drop and the file dialog, reach the
    // file system as the same bytes and go back to the settings file unchanged.
    void namesThatAreNotUtf8() {
        const std::string folder = dir->path().toStdString() + "/bad\xff";
        QVERIFY(platform->createFolders(folder).ok());
        const std::string name = folder + "/name with spaces \xff\xfe.bin";
        testing::writeFile(name, std::vector<char>(300, 'x'));
        start(QByteArray::fromStdString("[Kestrine]\nSaveLastSourceFile=" + name + "\n"));
        QVERIFY(fake->boxes.empty());
        QCOMPARE(state->SourceFileName, name);
        QCOMPARE(state->SourceFileSize, 300);
        QCOMPARE(text("SourceFileEdit"), nameText(name));

        const std::string latin1 = folder + "/\xe9t\xe9.bin";
        testing::writeFile(latin1, std::vector<char>(7, 'y'));
        QVERIFY(dropUrls({QUrl::fromEncoded(
            "file://" + QByteArray::fromStdString(latin1).toPercentEncoding("/"))}));
        QCOMPARE(state->SourceFileName, latin1);
        QCOMPARE(state->SourceFileSize, 7);

        fake->choices.push_back({nameText(name), 1});
        QTest::mouseClick(w("GetSourceSpeedButton"), Qt::LeftButton);
        QCOMPARE(nameBytes(fake->dialogs.back().initialDir), folder + "/");
        QCOMPARE(nameBytes(fake->dialogs.back().fileName), "\xe9t\xe9.bin");
        QCOMPARE(state->SourceFileName, name);
        QCOMPARE(state->SourceFileSize, 300);
        QVERIFY(fake->boxes.empty());

        form->close();
        const auto written = testing::readFile(dir->filePath("Kestrine.ini").toStdString());
        const std::string ini(written.begin(), written.end());
        QVERIFY(ini.find("SaveLastSourceFile=" + name + "\n") != std::string::npos);
        QVERIFY(ini.find("SourcePath=" + folder + "/\n") != std::string::npos);
    }

    void dialogStartFolder_data() {
        QTest::addColumn<bool>("source");
        QTest::addColumn<QString>("last");
        QTest::addColumn<bool>("prefOn");
        QTest::addColumn<QString>("pref");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        for (bool source : {true, false}) {
            const char* d = source ? "source: " : "dest: ";
            QTest::newRow(QByteArray(d) + "last") << source << "last" << false << "pref"
                                                  << ""
                                                  << "last";
            QTest::newRow(QByteArray(d) + "preferred") << source << "last" << true << "pref"
                                                       << ""
                                                       << "pref";
            QTest::newRow(QByteArray(d) + "preferred missing") << source << "last" << true << "gone"
                                                               << ""
                                                               << "last";
            QTest::newRow(QByteArray(d) + "field wins") << source << "last" << true << "pref"
                                                        << "field"
                                                        << "field";
            QTest::newRow(QByteArray(d) + "none exists") << source << "gone" << true << "gone"
                                                         << "gone"
                                                         << "previous";
        }
    }
    void dialogStartFolder() {
        QFETCH(bool, source);
        QFETCH(QString, last);
        QFETCH(bool, prefOn);
        QFETCH(QString, pref);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        start();
        for (const char* sub : {"last", "pref", "field"})
            QDir(dir->path()).mkdir(sub);
        const QString fieldFile = makeFile(field.isEmpty() ? "top.bin" : "field/x.bin", 3);
        auto folder = [&](const QString& name) {
            return (dir->filePath(name) + "/").toStdString();
        };
        Settings& s = state->Settings;
        (source ? s.SourcePath : s.DestPath) = folder(last);
        (source ? s.PrefSourcePathSwitch : s.PrefDestPathSwitch) = prefOn;
        (source ? s.PrefSourcePath : s.PrefDestPath) = folder(pref);
        const QString fieldText = field.isEmpty()   ? ""
                                  : field == "gone" ? dir->filePath("gone/x.bin")
                                                    : fieldFile;
        edit(source ? "SourceFileEdit" : "DestFileEdit")->setText(fieldText);
        (source ? form->OpenDialog1() : form->OpenDialog2()).initialDir = "previous";

        QTest::mouseClick(w(source ? "GetSourceSpeedButton" : "GetDestSpeedButton"),
                          Qt::LeftButton);
        QCOMPARE(fake->dialogs.size(), std::size_t(1));
        const FileDialogState& asked = fake->dialogs[0];
        const QString start =
            expected == "previous" ? expected : QString::fromStdString(folder(expected));
        QCOMPARE(QDir::cleanPath(asked.initialDir), QDir::cleanPath(start));
        QCOMPARE(asked.title, source ? "Source File" : "Destination File");
        QCOMPARE(asked.fileName, field == "field" ? "x.bin" : "");
        QCOMPARE(focused(), w<QWidget>(source ? "RichEdit1" : "DestFileEdit"));
    }

    void dialogChoices() {
        start();
        state->Settings.FileFilterIndex1 = 0;
        const QString picked = makeFile("pick.bin", 10);
        fake->choices.push_back({picked, 2});
        QTest::mouseClick(w("GetSourceSpeedButton"), Qt::LeftButton);
        QCOMPARE(fake->dialogs.back().filter.toStdString(), state->Settings.FileFilter);
        QCOMPARE(text("SourceFileEdit"), picked);
        QCOMPARE(state->SourceFileName, picked.toStdString());
        QCOMPARE(state->SourceFileSize, 10);
        QCOMPARE(state->Settings.SourcePath, dir->path().toStdString() + "/");
        QCOMPARE(state->Settings.FileFilterIndex1, 2);
        QCOMPARE(log().mid(log().size() - 2),
                 QStringList({"Source file is " + picked, "Source file is 10 bytes (1KB)"}));

        // Cancelled: the type still counts, and only the size line is written.
        const int lines = int(log().size());
        fake->choices.push_back({std::nullopt, 3});
        QTest::mouseClick(w("GetSourceSpeedButton"), Qt::LeftButton);
        QCOMPARE(fake->dialogs.back().filterIndex, 2);
        QCOMPARE(state->Settings.FileFilterIndex1, 3);
        QCOMPARE(log().mid(lines), QStringList({"Source file is 10 bytes (1KB)"}));

        const QString target = dir->filePath("new.bin");
        fake->choices.push_back({target, 1});
        QTest::mouseClick(w("GetDestSpeedButton"), Qt::LeftButton);
        QCOMPARE(text("DestFileEdit"), target);
        QCOMPARE(state->Settings.DestPath, dir->path().toStdString() + "/");
        QCOMPARE(state->Settings.FileFilterIndex2, 1);
        QCOMPARE(int(log().size()), lines + 1);
        QCOMPARE(focused(), edit("DestFileEdit"));
    }

    // The real dialog: a type picked in its own list is kept even when the dialog is cancelled,
    // and the dialog opens on it again.
    void realDialogRemembersThePickedType() {
        struct RealDialogs : FakePrompts {
            std::optional<QString> openFileName(QWidget* parent, FileDialogState& state,
                                                const std::function<void()>& changed) override {
                setPrompts(nullptr);
                auto chosen = prompts().openFileName(parent, state, changed);
                setPrompts(this);
                return chosen;
            }
        } real;
        setPrompts(&real);
        start();
        QStringList shown;
        auto pickThenCancel = [&](int downs) {
            QTimer::singleShot(0, form.get(), [&, downs] {
                if (auto* dialog = testing::shownWindow<QFileDialog>()) {
                    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
                    shown << types->currentText();
                    for (int i = 0; i < downs; ++i)
                        QTest::keyClick(types, Qt::Key_Down);
                    dialog->reject();
                }
            });
        };
        pickThenCancel(2);
        QTest::mouseClick(w("GetSourceSpeedButton"), Qt::LeftButton);
        QCOMPARE(state->Settings.FileFilterIndex1, 3);
        pickThenCancel(0);
        QTest::mouseClick(w("GetSourceSpeedButton"), Qt::LeftButton);
        QCOMPARE(shown, QStringList({"All Files (*.*)", "Zip Files (*.zip)"}));
        setPrompts(fake.get());
    }

    void sourceFieldTakeOverAndBoxFocus() {
        start();
        QTest::mouseClick(w("CopyBitBtn"), Qt::LeftButton);
        QCOMPARE(fake->boxes.back().text, "Source file not specified!");
        QCOMPARE(focused(), edit("SourceFileEdit"));

        const QString missing = dir->filePath("missing.bin");
        QTest::keyClicks(edit("SourceFileEdit"), missing);
        QTest::keyClick(edit("SourceFileEdit"), Qt::Key_Tab);
        QCOMPARE(fake->boxes.back().kind, BoxKind::Error);
        QCOMPARE(fake->boxes.back().text, "The source file " + missing + " cannot be opened.");
        const std::size_t boxes = fake->boxes.size();
        // The program's own focus moves do not take the text over again.
        edit("SourceFileEdit")->setFocus();
        form->appendLog("a line", false);
        QCOMPARE(fake->boxes.size(), boxes);
    }

    void copy_data() {
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void copy() {
        QFETCH(bool, overwrite);
        start();
        const QString source = makeFile("src.bin", 3 * 8192 + 100);
        const QString dest = makeFile("out.bin", 5);
        QVERIFY(drop({source}));
        edit("DestFileEdit")->setText(dest);
        setPair("StartDecEdit", "100");
        setPair("OffsetDecEdit", "20000");
        for (int i = 0; i < 20; ++i)
            form->appendLog("filler", false);
        fake->answers.push_back(overwrite ? Answer::Yes : Answer::No);
        QTest::mouseClick(w("CopyBitBtn"), Qt::LeftButton);

        QCOMPARE(fake->boxes.size(), std::size_t(1));
        QCOMPARE(fake->boxes[0].kind, BoxKind::Confirm);
        QCOMPARE(fake->boxes[0].text,
                 "Destination file already exists.\nDo you want to overwrite it?");
        const auto written = testing::readFile(dest.toStdString());
        if (!overwrite) {
            QCOMPARE(written.size(), std::size_t(5));
            QVERIFY(!log().contains("Copying started..."));
            return;
        }
        const auto all = testing::readFile(source.toStdString());
        QVERIFY(written == std::vector<char>(all.begin() + 100, all.begin() + 20101));
        const QStringList lines = log();
        QVERIFY(lines.contains("Copying started..."));
        QVERIFY(lines.contains("20,001 bytes (20KB) written to file " + dest));
        QCOMPARE(lines.last(), "Copying finished.");
        auto* richEdit = w<QTextEdit>("RichEdit1");
        const QTextBlock lastBlock = richEdit->document()->lastBlock();
        QCOMPARE(lastBlock.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(lastBlock.previous().begin().fragment().charFormat().fontWeight(),
                 int(QFont::Normal));
        QCOMPARE(focused(), richEdit);
        QVERIFY(richEdit->verticalScrollBar()->value() > 0);
        QVERIFY(richEdit->textCursor().atEnd());
        QVERIFY(richEdit->viewport()->rect().contains(richEdit->cursorRect()));
    }

    void controlsDuringCopy_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("copy") << "";
        QTest::newRow("destination not created") << "create";
        QTest::newRow("third write fails") << "write";
    }
    void controlsDuringCopy() {
        QFETCH(QString, failure);
        start();
        platform->failCreate = failure == "create";
        platform->failWriteAt = failure == "write" ? 3 : 0;
        QVERIFY(drop({makeFile("big.bin", 8 * 131072)})); // eight blocks
        edit("DestFileEdit")->setText(dir->filePath("copy.bin"));
        setPair("OffsetDecEdit", QString::number(8 * 131072 - 1));
        auto* timer = form->findChild<QTimer*>("ProgressTimer1");
        QVERIFY(timer);

        // Looks at the window from inside the copy's event pump, once per block.
        bool copying = true, anyEnabled = false, timerStopped = false;
        int pumps = 0;
        QStringList statuses;
        std::function<void()> look = [&] {
            if (!copying)
                return;
            ++pumps;
            for (const QString& name : kToggled)
                anyEnabled |= w(name)->isEnabled();
            for (const QString& name : kCommands)
                anyEnabled |= w<QAction>(name)->isEnabled();
            timerStopped |= !timer->isActive();
            statuses << w<QStatusBar>("StatusBar1")->currentMessage() + "|" + form->windowTitle();
            timer->setInterval(0); // its ticks are what is looked at, not their pace
            QTimer::singleShot(0, form.get(), look);
        };
        QTimer::singleShot(0, form.get(), look);
        QTest::mouseClick(w("CopyBitBtn"), Qt::LeftButton);
        copying = false;

        if (failure != "create") {
            QVERIFY(pumps >= 2);
            QVERIFY(!anyEnabled);
            QVERIFY(!timerStopped);
        }
        if (failure.isEmpty()) {
            QVERIFY(!statuses.filter(QRegularExpression("^\\d+%\\|\\d+% Kestrine$")).isEmpty());
        }
        QCOMPARE(fake->boxes.size(), std::size_t(failure.isEmpty() ? 0 : 1));
        for (const QString& name : kToggled)
            QVERIFY2(w(name)->isEnabled(), qPrintable(name));
        for (const QString& name : kCommands)
            QVERIFY2(w<QAction>(name)->isEnabled(), qPrintable(name));
        QVERIFY(!timer->isActive());
        QCOMPARE(w<QProgressBar>("ProgressBar1")->value(), 0);
        QCOMPARE(form->windowTitle(), "Kestrine");
        QCOMPARE(w<QStatusBar>("StatusBar1")->currentMessage(), QString());
    }

    // A value the program writes into one field of a pair reaches the other, whichever control
    // has the focus: the bound a refusal writes, and the -1 of an empty source.
    void refusalsKeepThePairInStep_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("startAt");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("offset too large") << 30000 << "15"
                                          << "29985"
                                          << "Offset is too large.\nMaximum is 29984"
                                          << "OffsetDecEdit"
                                          << "29984";
        QTest::newRow("empty source") << 0 << "0"
                                      << "0"
                                      << "Start position is too large.\nMaximum is -1"
                                      << "StartDecEdit"
                                      << "-1";
        QTest::newRow("negative start") << 100 << "0"
                                        << "0" << QString() << "StartDecEdit"
                                        << "0";
    }
    void refusalsKeepThePairInStep() {
        QFETCH(int, size);
        QFETCH(QString, startAt);
        QFETCH(QString, length);
        QFETCH(QString, refusal);
        QFETCH(QString, field);
        QFETCH(QString, value);
        start();
        QVERIFY(drop({makeFile("src.bin", std::size_t(size))}));
        edit("DestFileEdit")->setText(dir->filePath("out.bin"));
        setPair("StartDecEdit", startAt);
        setPair("OffsetDecEdit", length);
        if (refusal.isEmpty()) {
            // A negative start can only be pasted into the hexadecimal field.
            edit("StartHexEdit")->setFocus();
            static_cast<NumberEdit*>(edit("StartHexEdit"))->setProgramText("FFFFFFFFFFFFFFFF");
            refusal = "Start position is negative.\nMinimum is 0";
        }
        w("CopyBitBtn")->setFocus();
        QTest::mouseClick(w("CopyBitBtn"), Qt::LeftButton);
        QCOMPARE(fake->boxes.size(), std::size_t(1));
        QCOMPARE(fake->boxes[0].text, refusal);
        QCOMPARE(text(field), value);
        QCOMPARE(text(partnerName(field)), hexOf(value));
    }

    // The close box during a copy stops the copy between two chunks, and the window closes
    // with its settings written once the copy has returned.
    void closingDuringACopyStopsIt() {
        start();
        const QString source = makeFile("big.bin", 8 << 20);
        const QString dest = makeFile("old.bin", 5);
        QVERIFY(drop({source}));
        edit("DestFileEdit")->setText(dest);
        setPair("OffsetDecEdit", QString::number((8 << 20) - 1));
        fake->answers.push_back(Answer::Yes);
        form->move(60, 70);
        const QPoint at = form->pos();
        bool visibleAfterClose = false, stopAsked = false;
        QTimer::singleShot(0, form.get(), [&] {
            form->close();
            visibleAfterClose = form->isVisible();
            stopAsked = form->copyStopRequested();
        });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w("CopyBitBtn"), Qt::LeftButton);
        QVERIFY(visibleAfterClose);
        QVERIFY(stopAsked);
        QVERIFY(!form->isVisible());
        QVERIFY(!form->copyStopRequested());
        QCOMPARE(state->ExitCode, 0);
        QFile ini(dir->filePath("Kestrine.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(ini.readAll());
        QVERIFY2(written.contains("Top=" + QString::number(at.y())), qPrintable(written));
        QVERIFY2(written.contains("Left=" + QString::number(at.x())), qPrintable(written));
        // What the copy engine does on the request: the older destination stays, nothing more
        // is logged, and it all ends within a second.
        QCOMPARE(testing::readFile(dest.toStdString()).size(), std::size_t(5));
        QVERIFY(!log().contains("Copying finished."));
        QVERIFY(clock.elapsed() < 1000);
    }

    // The stored place of the frame, moved onto the screen that holds most of it and into its
    // available area (here 1600 x 1200, less a panel of 40 at the top, beside a screen to the
    // right).
    void placedOnTheScreen_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("placed");
        QTest::newRow("inside") << QRect(100, 100, 892, 834) << QPoint(100, 100);
        QTest::newRow("off the bottom right") << QRect(1154, 802, 892, 834) << QPoint(708, 366);
        QTest::newRow("under the panel") << QRect(10, 0, 400, 300) << QPoint(10, 40);
        QTest::newRow("off the left and top") << QRect(-500, -300, 400, 300) << QPoint(0, 40);
        QTest::newRow("mostly on the second screen")
            << QRect(1500, 100, 400, 300) << QPoint(1600, 100);
        QTest::newRow("on neither: the nearer one")
            << QRect(2100, 900, 400, 300) << QPoint(2100, 468);
        QTest::newRow("larger than the screen") << QRect(50, 50, 2000, 1500) << QPoint(0, 40);
    }
    void placedOnTheScreen() {
        QFETCH(QRect, frame);
        QFETCH(QPoint, placed);
        const QList<QRect> screens = {QRect(0, 0, 1600, 1200), QRect(1600, 0, 1024, 768)};
        const QList<QRect> available = {QRect(0, 40, 1600, 1160), QRect(1600, 0, 1024, 768)};
        QCOMPARE(keptOnScreen(frame, screens, available), placed);
    }
    void storedPlaceOffTheScreen() {
        start("[Kestrine]\nTop=5000\nLeft=-3000\n");
        const QRect room = form->screen()->availableGeometry();
        QVERIFY2(room.contains(form->frameGeometry()),
                 qPrintable(QString("%1,%2 %3x%4 in %5x%6")
                                .arg(form->x())
                                .arg(form->y())
                                .arg(form->frameGeometry().width())
                                .arg(form->frameGeometry().height())
                                .arg(room.width())
                                .arg(room.height())));
    }

    // Every text of every window reads on its background, for every window colour, and a
    // disabled control reads dimmer than an enabled one.
    void everyTextReadsOnEveryColour() {
        const QString file = makeFile("view.bin", 5000);
        start();
        QVERIFY(drop({file}));
        auto* settings = form->findChild<TSettingsForm*>("TSettingsForm");
        auto* about = form->findChild<TAboutBox*>();
        QVERIFY(settings && about);
        std::vector<ColourValue> colours;
        for (unsigned rgb : {0x000000u, 0x000080u, 0x008000u, 0x008080u, 0x800000u, 0x800080u,
                             0x808000u, 0xC0C0C0u, 0x808080u, 0x0000FFu, 0x00FF00u, 0x00FFFFu,
                             0xFF0000u, 0xFF00FFu, 0xFFFF00u, 0xFFFFFFu, 0x401A1Au})
            colours.push_back(rgb);
        for (unsigned system = 0; system <= 30; ++system)
            colours.push_back(0xFF000000u | system);
        QRandomGenerator random(26);
        for (int i = 0; i < 64; ++i)
            colours.push_back(random.bounded(0x1000000u));

        QStringList faults;
        auto check = [&](QWidget* window, ColourValue colour) {
            QList<QWidget*> widgets = window->findChildren<QWidget*>();
            widgets.prepend(window);
            for (QWidget* widget : widgets) {
                if (widget->window() != window)
                    continue;
                std::vector<std::pair<QPalette::ColorRole, QPalette::ColorRole>> pairs;
                bool disables = true;
                if (qobject_cast<QMenuBar*>(widget))
                    pairs = {{QPalette::ButtonText, QPalette::Window}};
                else if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QTextEdit*>(widget) ||
                         qobject_cast<QAbstractItemView*>(widget) ||
                         qobject_cast<THexViewer*>(widget))
                    pairs = {{QPalette::Text, QPalette::Base},
                             {QPalette::HighlightedText, QPalette::Highlight},
                             {QPalette::ButtonText, QPalette::Button}};
                else if (qobject_cast<QAbstractButton*>(widget) &&
                         !qobject_cast<QCheckBox*>(widget))
                    pairs = {{QPalette::ButtonText, QPalette::Button}};
                else if ((qobject_cast<QLabel*>(widget) &&
                          !static_cast<QLabel*>(widget)->text().isEmpty()) ||
                         qobject_cast<QCheckBox*>(widget) || qobject_cast<QStatusBar*>(widget)) {
                    pairs = {{QPalette::WindowText, QPalette::Window}};
                    disables = qobject_cast<QCheckBox*>(widget);
                }
                const QPalette& p = widget->palette();
                for (const auto& [text, back] : pairs) {
                    const double on = contrastRatio(p.color(QPalette::Active, text),
                                                    p.color(QPalette::Active, back));
                    const double off = contrastRatio(p.color(QPalette::Disabled, text),
                                                     p.color(QPalette::Disabled, back));
                    const QString what = QString("%1 %2 on #%3: %4 / %5")
                                             .arg(window->objectName(), widget->objectName())
                                             .arg(colour, 8, 16, QChar('0'))
                                             .arg(on, 0, 'f', 2)
                                             .arg(off, 0, 'f', 2);
                    if (on < 4.5 || (disables && (off < 4.5 || (on >= 5 && off >= on))))
                        faults << what;
                }
            }
        };
        testing::ScriptedOpener opener;
        setWindowOpener(&opener);
        opener.script = [&](TForm4& viewer) {
            for (ColourValue colour : colours) {
                state->Settings.FormColour = colour;
                form->applyColours();
                check(form.get(), colour);
                settings->FormShow();
                check(settings, colour);
                about->FormShow();
                check(about, colour);
                viewer.FormShow();
                check(&viewer, colour);
            }
        };
        QTest::mouseClick(w("HexViewButton"), Qt::LeftButton);
        setWindowOpener(nullptr);
        QCOMPARE(opener.runs, 1);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 20).join('\n')));
    }

    // The whole road by keys alone, on the real windows and through the real modal loops:
    // browse, derive the destination, step, maximum, the viewer, Copy, Settings, About.
    void wholeRoadByKeysAlone() {
        const QString source = makeFile("road.bin", 1000);
        start();
        int mouseEvents = 0;
        struct MouseCounter : QObject {
            int* count;
            bool eventFilter(QObject*, QEvent* event) override {
                const QEvent::Type t = event->type();
                *count += t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease ||
                          t == QEvent::MouseButtonDblClick;
                return false;
            }
        } counter;
        counter.count = &mouseEvents;
        qApp->installEventFilter(&counter);
        // Tab (and Shift+Tab when `back`) until `name` has the focus.
        auto tabTo = [&](const QString& name, bool back = false) {
            for (int i = 0; i < 40 && QApplication::focusWidget()->objectName() != name; ++i)
                QTest::keyClick(QApplication::focusWidget(), back ? Qt::Key_Backtab : Qt::Key_Tab);
            return QApplication::focusWidget()->objectName() == name;
        };
        auto press = [](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), key, mods);
        };

        fake->choices.push_back({source, std::nullopt});
        QVERIFY(tabTo("GetSourceSpeedButton"));
        press(Qt::Key_Space);
        QCOMPARE(text("SourceFileEdit"), source);
        QVERIFY(tabTo("CopySourceFileButton"));
        press(Qt::Key_Space);
        QCOMPARE(text("DestFileEdit"), dir->filePath("road2.bin"));
        QVERIFY(tabTo("StartDecEdit"));
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "10");
        QVERIFY(tabTo("IncPosButton"));
        press(Qt::Key_Space); // the button steps, and leaves the focus in the field
        QCOMPARE(focused(), edit("StartDecEdit"));
        press(Qt::Key_Up);
        QCOMPARE(text("StartDecEdit"), "12");
        QVERIFY(tabTo("OffsetDecEdit"));
        press(Qt::Key_Up);
        QVERIFY(tabTo("SetOffsetMaxButton"));
        press(Qt::Key_Space);
        QCOMPARE(text("OffsetDecEdit"), "987");
        QCOMPARE(text("OffsetHexEdit"), "3DB");

        // The viewer: its grid has the focus; the cursor moves by keys, and Tab and Enter
        // reach its buttons.
        bool viewerButtons = false;
        testing::ScriptedOpener opener;
        opener.script = [&](TForm4& viewer) {
            QCOMPARE(QApplication::focusWidget(), viewer.HexViewer1());
            press(Qt::Key_Home, Qt::ControlModifier);
            press(Qt::Key_Right);
            press(Qt::Key_Right);
            // The range brought from the main window is chosen already: clear it first.
            viewerButtons = tabTo("ClearStartButton");
            if (!viewerButtons)
                return;
            press(Qt::Key_Space);
            QVERIFY(tabTo("SetStartButton"));
            press(Qt::Key_Space);
            QVERIFY(tabTo("HexViewer1", true));
            press(Qt::Key_Down);
            QVERIFY(tabTo("ClearFinishButton"));
            press(Qt::Key_Space);
            QVERIFY(tabTo("SetFinishButton"));
            press(Qt::Key_Space);
            QVERIFY(tabTo("AcceptBitBtn"));
            press(Qt::Key_Return);
        };
        setWindowOpener(&opener);
        QVERIFY(tabTo("HexViewButton"));
        press(Qt::Key_Space);
        setWindowOpener(nullptr);
        QCOMPARE(opener.runs, 1);
        form->activateWindow(); // what the window manager does when the viewer goes
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY(QApplication::focusWidget() && focused()->window() == form.get());
        QVERIFY(viewerButtons);
        if (viewerButtons) {
            // Start at byte 2 and finish one row below: 17 bytes after it.
            QCOMPARE(text("StartDecEdit"), "2");
            QCOMPARE(text("OffsetDecEdit"), "16");
        }

        const QString start = text("StartDecEdit"), length = text("OffsetDecEdit");
        press(Qt::Key_C, Qt::AltModifier); // a mnemonic clicks after a moment, as on screen
        QTRY_VERIFY(log().contains("Copying finished."));
        const auto all = testing::readFile(source.toStdString());
        const auto copied = testing::readFile(dir->filePath("road2.bin").toStdString());
        const int from = start.toInt(), count = length.toInt() + 1;
        QCOMPARE(copied, std::vector<char>(all.begin() + from, all.begin() + from + count));

        // Settings: Esc leaves it as Exit without Save does.
        bool settingsShown = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* settings = testing::shownWindow<TSettingsForm>();
            settingsShown = settings && QTest::qWaitForWindowActive(settings);
            if (settings)
                QTest::keyClick(settings->focusWidget() ? settings->focusWidget() : settings,
                                Qt::Key_Escape);
        });
        press(Qt::Key_S, Qt::AltModifier);
        QVERIFY(settingsShown);
        QVERIFY(!testing::shownWindow<TSettingsForm>());
        form->activateWindow(); // the window manager's part
        QTRY_COMPARE(QApplication::activeWindow(), form.get());

        // About: the links are reached by Tab, OK by Enter.
        QStringList aboutFocus;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, form.get(), [&] {
            auto* about = testing::shownWindow<TAboutBox>();
            if (!about || !about->isActiveWindow())
                return;
            poll.stop();
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(about->focusWidget(), Qt::Key_Tab);
                aboutFocus << about->focusWidget()->objectName();
            }
            QTest::keyClick(about->focusWidget(), Qt::Key_Return);
            if (about->isVisible())
                about->reject();
        });
        poll.start();
        press(Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(!poll.isActive());
        QCOMPARE(aboutFocus, (QStringList{"DonateLabel2", "URLLabel", "OKButton"}));
        QVERIFY(!testing::shownWindow<TAboutBox>());
        QVERIFY(fake->urls.empty());
        form->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), form.get());

        press(Qt::Key_X, Qt::AltModifier);
        QVERIFY(!form->isVisible());
        qApp->removeEventFilter(&counter);
        QCOMPARE(mouseEvents, 0);
    }

    void hints() {
        start();
        auto* status = w<QStatusBar>("StatusBar1");
        // Moves the pointer for real, so that enter and leave come from Qt itself. The menu bar
        // ignores the moves that setting the cursor makes, so it gets a window-system move.
        auto hover = [&](QWidget* over, QPoint at = {}) {
            if (at.isNull())
                at = over->rect().center();
            if (qobject_cast<QMenuBar*>(over))
                QTest::mouseMove(form->windowHandle(), over->mapTo(form.get(), at));
            else
                QTest::mouseMove(over, at);
            return status->currentMessage();
        };
        QCOMPARE(hover(w("CloseBitBtn")), "Exit the program.");
        QCOMPARE(hover(w("ClientArea"), QPoint(300, 222)), QString());
        QCOMPARE(hover(w("StartHexEdit")),
                 "Position where to begin copying. (Hexadecimal format) (0 is first byte)");
        auto* menu = w<QMenuBar>("MainMenu1");
        QCOMPARE(hover(menu, menu->actionGeometry(w<QAction>("Exit1")).center()),
                 "Exit the program.");
        QCOMPARE(hover(menu, menu->actionGeometry(w<QAction>("Settings1")).center()), QString());
    }

    void closingWritesTheStateGroup_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("close box") << "close";
        QTest::newRow("Exit button") << "CloseBitBtn";
        QTest::newRow("Exit command") << "Exit1";
        QTest::newRow("one Alt+X") << "Alt+X";
    }
    void closingWritesTheStateGroup() {
        QFETCH(QString, how);
        start();
        form->move(123, 77);
        edit("SourceFileEdit")->setText("/x/a.bin");
        edit("DestFileEdit")->setText("/x/b.bin");
        state->Settings.SourcePath = "/s/";
        state->ExitCode = 5;
        const QPoint at = form->pos();
        if (how == "close")
            form->close();
        else if (how == "Exit1")
            w<QAction>(how)->trigger();
        else if (how == "Alt+X")
            QTest::keyClick(focused(), Qt::Key_X, Qt::AltModifier);
        else
            QTest::mouseClick(w(how), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(state->ExitCode, 0);
        QFile ini(dir->filePath("Kestrine.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(ini.readAll());
        for (const QString& line :
             QStringList{"SourcePath=/s/", "Top=" + QString::number(at.y()),
                         "Left=" + QString::number(at.x()), QString("SaveLastSourceFile=/x/a.bin"),
                         QString("SaveLastDestFile=/x/b.bin")})
            QVERIFY2(written.contains(line), qPrintable(written));
        QVERIFY(!written.contains("FormColour"));
    }

    void aRefusedWriteOnExitIsReportedOnce() {
        start();
        state->ProgramFolder = dir->filePath("missing/").toStdString();
        QTest::mouseClick(w("CloseBitBtn"), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(fake->errors.size(), std::size_t{1});
        QVERIFY2(fake->errors[0].startsWith("Unable to write to "), qPrintable(fake->errors[0]));
        QCOMPARE(state->ExitCode, 0);
    }

    void displayDecision_data() {
        QTest::addColumn<QByteArray>("qpa");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<bool>("available");
        // A display counts only when it can be reached: a listening socket here.
        QTest::newRow("Wayland") << QByteArray() << QByteArray() << waylandSocket() << true;
        QTest::newRow("Wayland gone")
            << QByteArray() << QByteArray() << QByteArray("/nonexistent/w-0") << false;
        QTest::newRow("offscreen")
            << QByteArray("offscreen") << QByteArray(":0") << QByteArray() << false;
        QTest::newRow("minimal") << QByteArray("minimal") << QByteArray(":0") << QByteArray()
                                 << false;
        QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray() << false;
    }
    void displayDecision() {
        QFETCH(QByteArray, qpa);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(bool, available);
        const QByteArray saved[] = {qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"),
                                    qgetenv("WAYLAND_DISPLAY")};
        const char* names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
        const QByteArray wanted[] = {qpa, display, wayland};
        for (int i = 0; i < 3; ++i)
            wanted[i].isEmpty() ? void(qunsetenv(names[i])) : void(qputenv(names[i], wanted[i]));
        const bool result = displayAvailable();
        for (int i = 0; i < 3; ++i)
            saved[i].isEmpty() ? void(qunsetenv(names[i])) : void(qputenv(names[i], saved[i]));
        QCOMPARE(result, available);
    }

    void usageWithoutDisplayShowsNoBox() {
        char program[] = "kestrine", extra[] = "one";
        char* argv[] = {program, extra, nullptr};
        AppState run;
        QCOMPARE(runWindowMode(2, argv, run), 0);
        QVERIFY(fake->boxes.empty());
    }

    // The real dialog, shown without a modal loop: the type picked in its own list shows its
    // description and lists the files its patterns match, folders always.
    void fileTypesInTheRealDialog_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("listed");
        const QString odd = "Bäck files (*.bäck)|*.bäck|Apos (*.it's)|*.it's|Images|*.PNG;*.jpg|"
                            "Brackets|*.[a]|One letter|?.b";
        QTest::newRow("every file")
            << QString(kDefaultFileFilter) << 1 << "All Files (*.*)"
            << QStringList{"1.b",   "a.bäck", "b.back", "c.it's", "d.its", "e.png",
                           "f.jpg", "g.[a]",  "h.a",    "noext",  "sub"};
        QTest::newRow("non-ASCII letters")
            << odd << 1 << "Bäck files (*.bäck)" << QStringList{"a.bäck", "sub"};
        QTest::newRow("quote") << odd << 2 << "Apos (*.it's)" << QStringList{"c.it's", "sub"};
        QTest::newRow("several patterns, any case")
            << odd << 3 << "Images" << QStringList{"e.png", "f.jpg", "sub"};
        QTest::newRow("brackets are letters")
            << odd << 4 << "Brackets" << QStringList{"g.[a]", "sub"};
        QTest::newRow("question mark") << odd << 5 << "One letter" << QStringList{"1.b", "sub"};
        QTest::newRow("dangling description")
            << "Odd|*.a|Alone" << 1 << "Odd" << QStringList{"h.a", "sub"};
        // No type at all (a file edited by hand): every file, and an empty list of types.
        QTest::newRow("empty") << "" << 0 << QString()
                               << QStringList{"1.b",   "a.bäck", "b.back", "c.it's",
                                              "d.its", "e.png",  "f.jpg",  "g.[a]",
                                              "h.a",   "noext",  "sub"};
    }
    void fileTypesInTheRealDialog() {
        QFETCH(QString, filter);
        QFETCH(int, type);
        QFETCH(QString, shown);
        QFETCH(QStringList, listed);
        const QString folder = dir->filePath("types");
        QVERIFY(QDir().mkpath(folder + "/sub"));
        for (const char* name : {"1.b", "a.bäck", "b.back", "c.it's", "d.its", "e.png", "f.jpg",
                                 "g.[a]", "h.a", "noext"})
            testing::writeFile((folder + "/" + QString::fromUtf8(name)).toStdString(), {'x'});
        FileDialogState state;
        state.filter = filter;
        state.initialDir = folder;
        int changes = 0;
        const std::unique_ptr<QFileDialog> dialog =
            makeOpenDialog(nullptr, state, [&] { ++changes; });
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        if (type > 0) {
            QCOMPARE(types->currentIndex(), 0);
            for (int i = 1; i < type; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            QCOMPARE(types->currentText(), shown);
            QCOMPARE(state.filterIndex, type);
            QCOMPARE(changes, type - 1);
        }
        auto* view = dialog->findChild<QListView*>("listView");
        auto names = [&] {
            QStringList out;
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                out << view->model()->index(row, 0, root).data().toString();
            out.sort();
            return out;
        };
        QTRY_COMPARE(names(), listed);
        dialog->reject();
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
