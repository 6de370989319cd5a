// The real program on a real X server (Xvfb, display from KESTRINE_TEST_DISPLAY): the window
// must not be seen before it has its colours, and it is kept as a screenshot in the build tree.

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Runs xdotool on the test display; returns its output lines.
QStringList xdotool(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QStringList visibleWindows(const QString& title) {
    return xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
}

QString visibleWindow(const QString& title) {
    const QStringList ids = visibleWindows(title);
    return ids.isEmpty() ? QString() : ids.first();
}

// Ends a child left running by a failed check.
struct Stopper {
    QProcess& process;
    ~Stopper() {
        if (process.state() == QProcess::NotRunning)
            return;
        // A server that is killed outright leaves its lock and socket files behind.
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

void dismiss(const QString& id) {
    xdotool({"windowfocus", "--sync", id});
    xdotool({"key", "Return"});
}

QImage grab(const QString& id) {
    return QGuiApplication::primaryScreen()->grabWindow(id.toULongLong()).toImage();
}

// A program started in the test, with the time it has to show its main window.
struct Started {
    QProcess process;
    Stopper stopper{process};
    QDeadlineTimer deadline{30000};
    QString main; // the main window's id, once seen
};

} // namespace

class TestWindowXvfb : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString program;

    static bool noDisplay() { return qEnvironmentVariableIsEmpty("KESTRINE_TEST_DISPLAY"); }
    // The program in a folder of its own, since it keeps Kestrine.ini beside itself.
    void installProgram() {
        program = dir.filePath("kestrine");
        QFile::remove(program);
        QVERIFY(QFile::copy(KESTRINE_EXE, program));
        // The windows are a library the program finds beside itself.
        const QString library = QStringLiteral("libkestrine-windows.so");
        QFile::remove(dir.filePath(library));
        QVERIFY(
            QFile::link(QFileInfo(KESTRINE_EXE).dir().filePath(library), dir.filePath(library)));
        QFile::remove(dir.filePath("Kestrine.ini"));
    }

    // Installs the program and returns the file where a stand-in notes each help it opens.
    QString installWithHelpLog() {
        installProgram();
        const QString opened = dir.filePath("opened.txt");
        QFile::remove(opened);
        return opened;
    }
    // An executable shell script.
    static void writeScript(const QString& path, const QByteArray& text) {
        QFile script(path);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(text);
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }
    // Starts the program under no desktop it knows, so that it opens the help the generic way,
    // and waits for its main window.
    void startWithoutDesktop(Started& run, QProcessEnvironment env) {
        for (const char* desktopVariable : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                                            "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
            env.remove(desktopVariable);
        run.process.setProcessEnvironment(env);
        run.process.start(program, {});
        QVERIFY(run.process.waitForStarted());
        while ((run.main = visibleWindow("Kestrine")).isEmpty() && !run.deadline.hasExpired())
            QTest::qWait(20);
    }

private Q_SLOTS:
    void neverSeenUncolouredAndScreenshot() {
        if (noDisplay())
            QSKIP("KESTRINE_TEST_DISPLAY is not set");
        installProgram();
        // The remembered source is held by this process, so the program reports it in boxes
        // while it starts: the main window must not be on screen behind them.
        const QString locked = dir.filePath("locked.bin");
        {
            QFile f(locked);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'k'));
        }
        const int lock = ::open(locked.toLocal8Bit().constData(), O_RDONLY);
        QVERIFY(lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0);
        const QColor colour(0x99, 0x66, 0x33); // FormColour 0x00336699
        {
            QFile ini(dir.filePath("Kestrine.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Kestrine]\nTop=100\nLeft=120\nFormColour=3368601\nSaveLastSourceFile=" +
                      locked.toUtf8() + "\n");
        }

        QProcess kestrine;
        kestrine.setWorkingDirectory(dir.path());
        kestrine.start(program, {});
        Stopper stopper{kestrine};
        QVERIFY(kestrine.waitForStarted());

        QDeadlineTimer deadline(30000);
        int boxes = 0;
        QString main;
        while (main.isEmpty() && !deadline.hasExpired() && kestrine.state() == QProcess::Running) {
            const QString box = visibleWindow("Error");
            main = visibleWindow("Kestrine");
            if (!box.isEmpty()) {
                QVERIFY2(main.isEmpty(), "the main window is visible behind a start-up box");
                ++boxes;
                dismiss(box);
                while (visibleWindows("Error").contains(box) && !deadline.hasExpired())
                    QTest::qWait(20);
            } else {
                QTest::qWait(20);
            }
        }
        ::close(lock);
        QVERIFY2(!main.isEmpty(), "the main window never appeared");
        QVERIFY(boxes >= 1);

        // A spot of bare window between the groups and the buttons, in client coordinates.
        const QStringList geometry = xdotool({"getwindowgeometry", main});
        QVERIFY(geometry.join(' ').contains("Position: 120,100"));
        QImage shot = grab(main);
        const int menuBar = shot.height() - 398;
        const QPoint probe(200, menuBar + 204);
        bool coloured = false;
        while (!coloured && !deadline.hasExpired()) {
            shot = grab(main);
            const QColor seen = shot.pixelColor(probe);
            QVERIFY2(seen != QColor(215, 228, 242), "the window was seen in its default colour");
            coloured = seen == colour;
            if (!coloured)
                QTest::qWait(20);
        }
        QVERIFY(coloured);
        QDir().mkpath(KESTRINE_ARTEFACTS);
        QVERIFY(shot.save(QString(KESTRINE_ARTEFACTS) + "/main-window-xvfb.png"));

        // The Exit button ends the program with exit code 0 and stores the position.
        xdotool(
            {"mousemove", "--window", main, "401", QString::number(menuBar + 220), "click", "1"});
        QVERIFY(kestrine.waitForFinished(20000));
        QCOMPARE(kestrine.exitStatus(), QProcess::NormalExit);
        QCOMPARE(kestrine.exitCode(), 0);
        QFile ini(dir.filePath("Kestrine.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray written = ini.readAll();
        QVERIFY(written.contains("Top=100") && written.contains("Left=120"));
    }

    // The road by keys alone on the real program, through the X server's keyboard: no mouse
    // event is sent. The remembered source is taken over at start.
    void roadByKeysAloneUnderX() {
        if (noDisplay())
            QSKIP("KESTRINE_TEST_DISPLAY is not set");
        installProgram();
        const QString source = dir.filePath("road.bin");
        QByteArray bytes;
        for (int i = 0; i < 1000; ++i)
            bytes.append(char(i * 7));
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            QFile ini(dir.filePath("Kestrine.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Kestrine]\nTop=50\nLeft=60\nSaveLastSourceFile=" + source.toUtf8() + "\n");
        }
        QFile::remove(dir.filePath("road2.bin"));
        Started run;
        startWithoutDesktop(run, QProcessEnvironment::systemEnvironment());
        QVERIFY2(!run.main.isEmpty(), "the main window never appeared");
        xdotool({"windowfocus", "--sync", run.main});
        auto keys = [](const QStringList& names) {
            for (const QString& name : names) {
                xdotool({"key", "--delay", "30", name});
                QTest::qWait(60);
            }
        };
        auto waitFor = [&](const QString& title, bool shown) {
            while (visibleWindow(title).isEmpty() == shown && !run.deadline.hasExpired())
                QTest::qWait(20);
            return visibleWindow(title).isEmpty() != shown;
        };
        // The log has the focus after the start-up lines: Tab goes round to the source field.
        keys({"Tab", "Tab", "Tab", "Tab", "Tab", "space"}); // the copy-name button
        keys({"Tab", "Tab", "Tab", "ctrl+a", "1", "0"});    // the start position: 10
        keys({"Tab", "Tab", "space", "Up"});                // +1 button, then Up: 12
        for (int i = 0; i < 10; ++i) // past the start's buttons and hex field, the offset field
            keys({"Tab"});
        keys({"space"}); // the offset's maximum: 987
        keys({"alt+c"});
        QFile copied(dir.filePath("road2.bin"));
        while (copied.size() < 988 && !run.deadline.hasExpired())
            QTest::qWait(50);
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), bytes.mid(12, 988));

        keys({"alt+s"});
        QVERIFY2(waitFor("Settings", true), "Alt+S showed no settings window");
        keys({"Escape"});
        QVERIFY2(waitFor("Settings", false), "Esc did not leave the settings window");
        xdotool({"windowfocus", "--sync", run.main});
        keys({"alt+a"});
        QVERIFY2(waitFor("About", true), "Alt+A showed no About box");
        keys({"Tab", "Tab", "Tab", "Return"}); // both links, then OK
        QVERIFY2(waitFor("About", false), "Enter on OK did not close the About box");
        xdotool({"windowfocus", "--sync", run.main});
        QTest::qWait(300);
        QCOMPARE(run.process.state(), QProcess::Running);
        keys({"alt+x"});
        QVERIFY(run.process.state() == QProcess::NotRunning || run.process.waitForFinished(20000));
        QCOMPARE(run.process.exitCode(), 0);
    }

    // F1 pressed while another application's window has the focus reaches Kestrine, which
    // writes its help beside itself and opens it with the desktop's default viewer: here a
    // stand-in viewer registered for the CHM type in private XDG folders.
    void f1FromAnotherApplicationOpensTheHelp() {
        if (noDisplay())
            QSKIP("KESTRINE_TEST_DISPLAY is not set");
        const QString opened = installWithHelpLog();
        QFile::remove(dir.filePath("Kestrine.chm"));
        QDir(dir.path()).mkpath("data/applications");
        QDir(dir.path()).mkpath("config");
        const QString viewer = dir.filePath("viewer.sh");
        writeScript(viewer, "#!/bin/sh\nprintf '%s\\n' \"$@\" >>'" + opened.toUtf8() + "'\n");
        {
            QFile desktop(dir.filePath("data/applications/kestrine-test-viewer.desktop"));
            QVERIFY(desktop.open(QIODevice::WriteOnly));
            desktop.write("[Desktop Entry]\nType=Application\nName=Test viewer\nExec=" +
                          viewer.toUtf8() + " %f\nMimeType=application/vnd.ms-htmlhelp;\n");
            QFile defaults(dir.filePath("config/mimeapps.list"));
            QVERIFY(defaults.open(QIODevice::WriteOnly));
            defaults.write("[Default Applications]\n"
                           "application/vnd.ms-htmlhelp=kestrine-test-viewer.desktop\n");
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        Started run;
        startWithoutDesktop(run, env);
        QVERIFY2(!run.main.isEmpty(), "the main window never appeared");
        const QString main = run.main;
        QDeadlineTimer& deadline = run.deadline;
        QVERIFY(xdotool({"getwindowname", main}).join("") == "Kestrine");
        QProcess xprop;
        xprop.start("xprop", {"-id", main, "_NET_WM_ICON"});
        QVERIFY(xprop.waitForFinished(10000));
        QVERIFY2(xprop.readAllStandardOutput().contains("Icon ("), "the window has no icon");

        // Another application's window takes the focus.
        QWidget other;
        other.setWindowTitle("Another application");
        other.resize(200, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        const QString otherId = QString::number(other.winId());
        xdotool({"windowfocus", "--sync", otherId});
        QCOMPARE(xdotool({"getwindowfocus"}).join(""), otherId);

        xdotool({"key", "F1"});
        while (!QFile::exists(opened) && !deadline.hasExpired())
            QTest::qWait(50);
        QFile seen(opened);
        QVERIFY2(seen.open(QIODevice::ReadOnly), "the help was not opened");
        QCOMPARE(seen.readAll().trimmed(), dir.filePath("Kestrine.chm").toUtf8());
        QFile written(dir.filePath("Kestrine.chm"));
        QFile built(KESTRINE_HELP_CHM);
        QVERIFY(written.open(QIODevice::ReadOnly) && built.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), built.readAll());
    }

    // Holding F1 lets the server repeat the key; one press still opens the help once, and the
    // next press opens it again. The desktop's opener is a stand-in that notes each call.
    void heldF1OpensTheHelpOnce() {
        if (noDisplay())
            QSKIP("KESTRINE_TEST_DISPLAY is not set");
        const QString opened = installWithHelpLog();
        QDir(dir.path()).mkpath("bin");
        writeScript(dir.filePath("bin/xdg-open"),
                    "#!/bin/sh\nprintf '%s\\n' \"$1\" >>'" + opened.toUtf8() + "'\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", dir.filePath("bin") + ":" + env.value("PATH"));
        Started run;
        startWithoutDesktop(run, env);
        QVERIFY2(!run.main.isEmpty(), "the main window never appeared");
        QProcess& kestrine = run.process;
        QDeadlineTimer& deadline = run.deadline;

        auto calls = [&] {
            QFile seen(opened);
            return seen.open(QIODevice::ReadOnly) ? int(seen.readAll().count('\n')) : 0;
        };
        xdotool({"keydown", "F1"});
        QTest::qWait(1500); // well past the server's repeat delay
        xdotool({"keyup", "F1"});
        xdotool({"key", "F1"});
        while (calls() < 2 && !deadline.hasExpired())
            QTest::qWait(50);
        // Every call the program made has been started by now; let the last ones write.
        kestrine.terminate();
        QVERIFY(kestrine.waitForFinished(20000));
        QTest::qWait(500);
        QCOMPARE(calls(), 2);
    }

    // Under a window manager the window is centred by its size with the frame: the frame the
    // manager reports, around the client area, sits in the middle of the screen. One Alt+X ends
    // the program.
    void centredWithItsFrameUnderAWindowManager() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
            QStandardPaths::findExecutable("openbox").isEmpty())
            QSKIP("Xvfb or openbox is not installed");
        installProgram();
        QProcess xvfb, wm, kestrine;
        Stopper stopXvfb{xvfb}, stopWm{wm}, stopKestrine{kestrine};
        // The server picks a display number that no server and no stale lock file holds.
        xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        QDeadlineTimer deadline(60000);
        QByteArray number;
        while (!number.endsWith('\n') && !deadline.hasExpired()) {
            xvfb.waitForReadyRead(200);
            number += xvfb.readAllStandardOutput();
        }
        QVERIFY2(!number.trimmed().isEmpty(), "Xvfb did not start");
        const QString display = ":" + QString::fromLatin1(number.trimmed());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        auto on = [&](const QString& program, const QStringList& args) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(program, args);
            p.waitForFinished(20000);
            return QString::fromUtf8(p.readAllStandardOutput());
        };
        // A loaded machine has been seen to refuse the first clients of a server that had
        // already announced its number, so the manager is started again until it holds on.
        wm.setProcessEnvironment(env);
        QByteArray wmErrors;
        int starts = 0;
        while (!on("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id") &&
               !deadline.hasExpired()) {
            if (wm.state() == QProcess::NotRunning) {
                if (starts++ > 0)
                    wmErrors += wm.readAllStandardError();
                wm.start("openbox", {});
            }
            QTest::qWait(50);
        }
        QVERIFY2(!deadline.hasExpired(),
                 ("openbox never took the display: " + wmErrors).constData());
        kestrine.setProcessEnvironment(env);
        kestrine.start(program, {});
        QString id;
        while ((id = on("xdotool", {"search", "--onlyvisible", "--name", "^Kestrine$"}).trimmed())
                   .isEmpty() &&
               kestrine.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(20);
        if (id.isEmpty())
            qWarning() << "kestrine:" << kestrine.readAllStandardError();
        QVERIFY2(!id.isEmpty(), "the main window never appeared");

        const QRegularExpression extentsLine("= (\\d+), (\\d+), (\\d+), (\\d+)");
        QRegularExpressionMatch extents;
        while (!(extents = extentsLine.match(on("xprop", {"-id", id, "_NET_FRAME_EXTENTS"})))
                    .hasMatch() &&
               !deadline.hasExpired())
            QTest::qWait(20);
        QVERIFY(extents.hasMatch());
        const int left = extents.captured(1).toInt(), right = extents.captured(2).toInt(),
                  top = extents.captured(3).toInt(), bottom = extents.captured(4).toInt();
        QVERIFY(top > 0);
        const QString info = on("xwininfo", {"-id", id});
        auto value = [&](const QString& label) {
            return QRegularExpression(label + ":\\s+(-?\\d+)").match(info).captured(1).toInt();
        };
        const int outerWidth = value("Width") + left + right;
        const int outerHeight = value("Height") + top + bottom;
        QCOMPARE(value("Absolute upper-left X") - left, 1280 / 2 - outerWidth / 2);
        QCOMPARE(value("Absolute upper-left Y") - top, 1024 / 2 - outerHeight / 2);

        // The outer rectangle of a shown window, once the manager has framed and placed it.
        auto outer = [&](const QString& window) {
            QRegularExpressionMatch frame;
            while (!(frame = extentsLine.match(on("xprop", {"-id", window, "_NET_FRAME_EXTENTS"})))
                        .hasMatch() &&
                   !deadline.hasExpired())
                QTest::qWait(20);
            const QString geometry = on("xwininfo", {"-id", window});
            auto number = [&](const QString& label) {
                return QRegularExpression(label + ":\\s+(-?\\d+)")
                    .match(geometry)
                    .captured(1)
                    .toInt();
            };
            const int l = frame.captured(1).toInt(), r = frame.captured(2).toInt(),
                      t = frame.captured(3).toInt(), b = frame.captured(4).toInt();
            return QRect(number("Absolute upper-left X") - l, number("Absolute upper-left Y") - t,
                         number("Width") + l + r, number("Height") + t + b);
        };
        const QRect mainFrame = outer(id);
        // Settings and About, each shown twice: the settings window's frame at the main
        // window's corner, the About box's frame in the middle of the screen, every time.
        struct Shown {
            const char* keys;
            const char* title;
            const char* close;
        };
        for (const Shown& box :
             {Shown{"alt+s", "Settings", "alt+x"}, Shown{"alt+a", "About", "Return"},
              Shown{"alt+s", "Settings", "alt+x"}, Shown{"alt+a", "About", "Return"}}) {
            on("xdotool", {"windowfocus", "--sync", id});
            on("xdotool", {"key", box.keys});
            const QString title = "^" + QString(box.title) + "$";
            QString shown;
            while ((shown = on("xdotool", {"search", "--onlyvisible", "--name", title}).trimmed())
                       .isEmpty() &&
                   !deadline.hasExpired())
                QTest::qWait(20);
            QVERIFY2(!shown.isEmpty(), box.title);
            QRect frame = outer(shown);
            const QPoint expected =
                QString(box.title) == "About"
                    ? QPoint(1280 / 2 - frame.width() / 2, 1024 / 2 - frame.height() / 2)
                    : mainFrame.topLeft();
            while ((frame = outer(shown)).topLeft() != expected && !deadline.hasExpired())
                QTest::qWait(20);
            QCOMPARE(frame.topLeft(), expected);
            on("xdotool", {"windowfocus", "--sync", shown});
            on("xdotool", {"key", box.close});
            while (
                !on("xdotool", {"search", "--onlyvisible", "--name", title}).trimmed().isEmpty() &&
                !deadline.hasExpired())
                QTest::qWait(20);
        }

        on("xdotool", {"windowfocus", "--sync", id});
        on("xdotool", {"key", "alt+x"});
        QVERIFY(kestrine.waitForFinished(20000));
        QCOMPARE(kestrine.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath("Kestrine.ini")));
    }

    void usageShownInABox() {
        if (noDisplay())
            QSKIP("KESTRINE_TEST_DISPLAY is not set");
        installProgram();
        QProcess kestrine;
        kestrine.start(program, {"only-one"});
        Stopper stopper{kestrine};
        QVERIFY(kestrine.waitForStarted());
        QDeadlineTimer deadline(30000);
        QString box;
        while ((box = visibleWindow("Information")).isEmpty() && !deadline.hasExpired())
            QTest::qWait(20);
        QVERIFY2(!box.isEmpty(), "no usage box");
        QVERIFY(visibleWindow("Kestrine").isEmpty());
        dismiss(box);
        QVERIFY(kestrine.waitForFinished(20000));
        QCOMPARE(kestrine.exitCode(), 0);
        QVERIFY(kestrine.readAllStandardOutput().startsWith("Usage: Kestrine <source>"));
    }
};

int main(int argc, char** argv) {
    // Without the test display there is nothing to show on; the tests then skip.
    const QByteArray display = qgetenv("KESTRINE_TEST_DISPLAY");
    if (display.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        qputenv("DISPLAY", display);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    TestWindowXvfb test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_xvfb.moc"
