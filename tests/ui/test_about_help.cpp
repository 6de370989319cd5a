// Help and the About box under the offscreen platform: the help file written beside the
// program when needed, its create and write errors, F1 and the About command of the main
// window, and the About box's texts, colours and links.

#include "core/CommandLine.h"
#include "core/Text.h"
#include "tests/core/TestPlatform.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/FreshRun.h"
#include "ui/about/HelpFile.h"
#include "ui/about/TAboutBox.h"
#include "ui/about/WebAddresses.h"
#include "ui/common/WindowLook.h"
#include "ui/common/WindowOpener.h"
#include "ui/main/TForm1.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrine;
using kestrine::testing::FakePrompts;
using kestrine::testing::TestPlatform;

namespace {

// Shows the window it is given and closes it again at once, noting what it showed.
struct RecordingOpener : WindowOpener {
    QStringList shown;
    QString version;
    std::function<void(QDialog&)> whileShown;
    void runModal(QDialog& window) override {
        window.show();
        shown << window.objectName();
        if (auto* label = window.findChild<QLabel*>("Version"))
            version = label->text();
        if (whileShown)
            whileShown(window);
        window.close();
    }
};

} // namespace

class TestAboutHelp : public QObject, protected kestrine::testing::FreshRun {
    Q_OBJECT

    QByteArray chm;

    QString helpPath() const { return dir->filePath(kHelpFileName); }
    QByteArray helpOnDisk() const {
        QFile f(helpPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeHelp(const QByteArray& bytes) {
        QFile f(helpPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void help() { openHelp(*platform, state->ProgramFolder, nullptr); }
    std::vector<QUrl> helpOpened() const { return {QUrl::fromLocalFile(helpPath())}; }

private Q_SLOTS:
    void initTestCase() { chm = helpResource(); }

    void init() { beginRun(); }

    void cleanup() { endRun(); }

    void resourceIsACompiledHelpFile() {
        QVERIFY(chm.startsWith("ITSF"));
        QFile built(KESTRINE_HELP_CHM);
        QVERIFY(built.open(QIODevice::ReadOnly));
        QCOMPARE(chm, built.readAll());
    }

    void helpFileWrittenOnlyWhenItDiffers_data() {
        QTest::addColumn<QByteArray>("before"); // "-" for no file
        QTest::addColumn<bool>("replaced");
        QTest::newRow("absent") << QByteArray("-") << true;
        QTest::newRow("another size") << QByteArray("stale help") << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("same size, other bytes") << QByteArray() << false; // filled below
    }
    void helpFileWrittenOnlyWhenItDiffers() {
        QFETCH(QByteArray, before);
        QFETCH(bool, replaced);
        if (!replaced)
            before = QByteArray(chm.size(), 'x');
        if (before != "-")
            writeHelp(before);
        help();
        QCOMPARE(helpOnDisk(), replaced ? chm : before);
        QVERIFY(fake->errors.empty());
        QCOMPARE(fake->urls, helpOpened());
    }

    void helpFileThatCannotBeWritten_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only folder") << "folder"
                                          << "Cannot create file"
                                          << "Permission denied.";
        QTest::newRow("held by another program") << "locked"
                                                 << "Cannot create file"
                                                 << "The file is in use by another program.";
        QTest::newRow("disk full") << "write"
                                   << "Cannot create file"
                                   << "No space left on device.";
    }
    void helpFileThatCannotBeWritten() {
        QFETCH(QString, how);
        QFETCH(QString, prefix);
        QFETCH(QString, reason);
        const QByteArray stale("an older help file");
        int lock = -1;
        if (how == "folder") {
            ::chmod(dir->path().toLocal8Bit().constData(), 0555);
            platform->failCreate = ::geteuid() == 0; // the superuser writes anywhere
        } else if (how == "locked") {
            writeHelp(stale);
            lock = ::open(helpPath().toLocal8Bit().constData(), O_RDONLY);
            QVERIFY(lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0);
        } else {
            writeHelp(stale);
            platform->failWriteAt = 1;
        }
        help();
        if (lock >= 0)
            ::close(lock);
        ::chmod(dir->path().toLocal8Bit().constData(), 0755);

        const QString expected = prefix + " \"" + helpPath() + "\". " + reason;
        QCOMPARE(fake->errors, std::vector<QString>{expected});
        QVERIFY(fake->urls.empty());
        if (how != "folder") {
            // Another program's file is left alone; a full disk leaves the older file whole.
            QCOMPARE(helpOnDisk(), stale);
            QCOMPARE(QDir(dir->path())
                         .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                    QDir::System),
                     QStringList{kHelpFileName});
        }

        // Once the obstacle is gone the next request writes it whole.
        platform->failCreate = false;
        platform->failWriteAt = 0;
        help();
        QCOMPARE(helpOnDisk(), chm);
        QCOMPARE(fake->urls, helpOpened());
    }

    // Whatever stands under the help file's name, nothing is ever written through it: a link
    // is replaced by the help file itself, and what cannot be replaced is reported.
    void helpNeverWritesThroughItsName_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("reason"); // empty when the help is written
        QTest::newRow("link to another file") << "link" << QString();
        QTest::newRow("link to a file of the help's size") << "same-size link" << QString();
        QTest::newRow("dangling link") << "dangling" << QString();
        QTest::newRow("folder") << "folder"
                                << "It is a folder.";
        QTest::newRow("FIFO") << "fifo"
                              << "It is not a regular file.";
    }
    void helpNeverWritesThroughItsName() {
        QFETCH(QString, what);
        QFETCH(QString, reason);
        const std::string path = helpPath().toStdString();
        const QString victim = dir->filePath("victim.txt");
        const QByteArray notes = what == "same-size link" ? QByteArray(chm.size(), 'n') : "notes";
        QDir(dir->path()).mkdir("elsewhere");
        {
            QFile f(victim);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(notes);
        }
        if (what == "link" || what == "same-size link")
            QVERIFY(::symlink("victim.txt", path.c_str()) == 0);
        else if (what == "dangling")
            QVERIFY(::symlink("elsewhere/new.chm", path.c_str()) == 0);
        else if (what == "folder")
            QVERIFY(QDir(dir->path()).mkdir(kHelpFileName));
        else
            QVERIFY(::mkfifo(path.c_str(), 0600) == 0);

        help();
        QCOMPARE(QFile(victim).size(), notes.size());
        QVERIFY(!QFile::exists(dir->filePath("elsewhere/new.chm")));
        struct stat st {};
        QVERIFY(::lstat(path.c_str(), &st) == 0);
        if (reason.isEmpty()) {
            QVERIFY(fake->errors.empty());
            QVERIFY(S_ISREG(st.st_mode));
            QCOMPARE(helpOnDisk(), chm);
            QCOMPARE(fake->urls, helpOpened());
        } else {
            QCOMPARE(fake->errors,
                     std::vector<QString>{"Cannot create file \"" + helpPath() + "\". " + reason});
            QVERIFY(fake->urls.empty());
            QVERIFY(what == "folder" ? S_ISDIR(st.st_mode) : S_ISFIFO(st.st_mode));
        }
        QFile victimFile(victim);
        QVERIFY(victimFile.open(QIODevice::ReadOnly));
        QCOMPARE(victimFile.readAll(), notes);
    }

    // Every file-system call of one Help failed in turn, in each way it really can fail: either
    // the clean result (the whole help file, opened), or the error box, the help not opened,
    // and no file written by this request that passes the size check, so the next request
    // writes it again, whole.
    void everyCallOfTheExtractionFailedInTurn_data() {
        QTest::addColumn<QByteArray>("before"); // "-" for no file
        QTest::newRow("absent") << QByteArray("-");
        QTest::newRow("another size") << QByteArray("stale help");
        QTest::newRow("current") << chm;
    }
    void everyCallOfTheExtractionFailedInTurn() {
        QFETCH(QByteArray, before);
        struct Run {
            std::vector<QString> errors;
            std::vector<QUrl> urls;
            std::optional<QByteArray> file;
            std::vector<std::string> calls;
            std::size_t openHandles = 0;
        };
        auto help = [&](int failAt, testing::Fault fault) {
            QFile::remove(helpPath());
            if (before != "-")
                writeHelp(before);
            TestPlatform failing;
            failing.failCallAt = failAt;
            failing.failKind = fault;
            FakePrompts answers;
            setPrompts(&answers);
            openHelp(failing, state->ProgramFolder, nullptr);
            setPrompts(fake.get());
            Run run{answers.errors, answers.urls, std::nullopt, failing.callNames,
                    failing.openHandles.size()};
            if (QFile::exists(helpPath()))
                run.file = helpOnDisk();
            return run;
        };
        const Run clean = help(0, testing::Fault::IoError);
        QCOMPARE(clean.file, std::optional<QByteArray>(chm));
        QCOMPARE(clean.urls, helpOpened());
        QVERIFY(clean.errors.empty());

        int points = 0, failures = 0;
        for (int k = 1; k <= static_cast<int>(clean.calls.size()); ++k) {
            const std::string& call = clean.calls[static_cast<std::size_t>(k) - 1];
            QVERIFY2(testing::faultsOfCalls().count(call), call.c_str());
            for (testing::Fault fault : testing::faultsOfCalls().at(call)) {
                const std::string where =
                    "call " + std::to_string(k) + " (" + call + "), " + testing::faultName(fault);
                const Run run = help(k, fault);
                ++points;
                QVERIFY2(run.openHandles == 0, (where + ": a file was left open").c_str());
                if (run.errors.empty()) {
                    QVERIFY2(run.file == chm,
                             (where + ": opened without the whole help file").c_str());
                    QVERIFY2(run.urls == helpOpened(), (where + ": help not opened").c_str());
                    continue;
                }
                ++failures;
                QVERIFY2(run.errors.size() == 1 && run.urls.empty(), where.c_str());
                QVERIFY2(run.errors[0].contains(" \"" + helpPath() + "\". "), where.c_str());
                // A file this request wrote in part must not look whole to the next one.
                const bool untouched = before == "-" ? !run.file : run.file == before;
                QVERIFY2(untouched || !run.file || run.file->size() != chm.size(),
                         (where + ": a file not the whole help passes the size check").c_str());
                // The next request, without the fault, writes it whole and opens it.
                TestPlatform sound;
                FakePrompts answers;
                setPrompts(&answers);
                openHelp(sound, state->ProgramFolder, nullptr);
                setPrompts(fake.get());
                QVERIFY2(helpOnDisk() == chm && answers.urls == helpOpened(), where.c_str());
            }
        }
        std::printf("help extraction: %zu calls in a clean run, %d failure points walked, %d of "
                    "them failures\n",
                    clean.calls.size(), points, failures);
    }

    // The desktop's own answer: no viewer in empty folders, one where an application's entry
    // names the help file's type.
    void helpViewerAsTheDesktopKnowsIt_data() {
        QTest::addColumn<bool>("listed");
        QTest::newRow("no viewer") << false;
        QTest::newRow("xchm") << true;
    }
    void helpViewerAsTheDesktopKnowsIt() {
        QFETCH(bool, listed);
        QTemporaryDir xdg;
        // The file types stay known; only the applications are the test's.
        QVERIFY(QFile::link("/usr/share/mime", xdg.filePath("mime")));
        if (listed) {
            // What an installed viewer brings: its desktop entry, naming the type.
            QDir(xdg.path()).mkpath("applications");
            QFile entry(xdg.filePath("applications/viewer.desktop"));
            QVERIFY(entry.open(QIODevice::WriteOnly));
            entry.write("[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\n"
                        "MimeType=application/vnd.ms-htmlhelp;\n");
        }
        const char* names[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS",
                               "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"};
        QByteArray saved[5];
        for (int i = 0; i < 5; ++i) {
            saved[i] = qgetenv(names[i]);
            i < 4 ? void(qputenv(names[i], xdg.path().toUtf8())) : void(qunsetenv(names[i]));
        }
        const bool found = systemPrompts().hasViewerFor(xdg.filePath("Kestrine.chm"));
        for (int i = 0; i < 5; ++i)
            saved[i].isEmpty() ? void(qunsetenv(names[i])) : void(qputenv(names[i], saved[i]));
        QCOMPARE(found, listed);
    }

    void f1AndAboutFromTheMainWindow() {
        TForm1 form(*state, *platform);
        form.Init();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // Offscreen there is no global key: F1 is the Help command's shortcut.
        QTest::keyClick(&form, Qt::Key_F1);
        QCOMPARE(fake->urls, helpOpened());
        QCOMPARE(helpOnDisk(), chm);
        // Without a viewer the desktop would do nothing: a box says what to install.
        fake->urls.clear();
        fake->helpViewer = false;
        QTest::keyClick(&form, Qt::Key_F1);
        QVERIFY(fake->urls.empty());
        QCOMPARE(fake->boxes.size(), std::size_t(1));
        QCOMPARE(fake->boxes[0].kind, BoxKind::Information);
        QCOMPARE(fake->boxes[0].text, kNoHelpViewerText);
        fake->boxes.clear();

        auto* about = form.findChild<QAction*>("About1");
        QVERIFY(about && about->isEnabled());
        RecordingOpener opener;
        // The box has no status bar of its own: its hints show in the main window's.
        QStringList hints;
        opener.whileShown = [&](QDialog& box) {
            for (const char* name : {"URLLabel", "DonateLabel2"}) {
                QWidget* link = box.findChild<QWidget*>(name);
                QStatusTipEvent hover(link->statusTip());
                QApplication::sendEvent(link, &hover);
                hints << form.findChild<QStatusBar*>("StatusBar1")->currentMessage();
                QVERIFY(link->toolTip().isEmpty());
            }
        };
        setWindowOpener(&opener);
        about->trigger();
        setWindowOpener(nullptr);
        QCOMPARE(opener.shown, QStringList{"TAboutBox"});
        QCOMPARE(opener.version, QString::fromStdString(versionText()));
        QCOMPARE(hints, (QStringList{"Visit website.", "Make a donation."}));
        form.close();
    }

    void aboutBoxTextsColoursAndLinks() {
        TAboutBox box(*state);
        QCOMPARE(box.windowTitle(), "About");
        QCOMPARE(box.size(), QSize(318, 243));
        box.show();
        QCOMPARE(box.findChild<QLabel*>("ProductName")->text(), "Kestrine");
        QCOMPARE(box.findChild<QLabel*>("Version")->text(), QString::fromStdString(versionText()));
        QCOMPARE(box.findChild<QLabel*>("NoticeLabel")->text(),
                 QString::fromStdString(noticeText()));
        QVERIFY(!box.windowIcon().isNull());
        box.close();

        // A colour saved meanwhile shows at the next showing: 0, 0, 128 gives white text, and
        // its light shade 0, 0, 234 would not read on navy: the nearest shade of it that does.
        state->Settings.FormColour = 0x800000;
        box.show();
        QCOMPARE(box.palette().color(QPalette::Window), QColor(0, 0, 128));
        QCOMPARE(box.findChild<QLabel*>("Label1")->palette().color(QPalette::WindowText),
                 Qt::white);
        for (const char* name : {"ProductName", "URLLabel", "DonateLabel2"})
            QCOMPARE(box.findChild<QLabel*>(name)->palette().color(QPalette::WindowText),
                     QColor(0x79, 0x79, 0xFF));

        // The links are reached by Tab in reading order, show the focus, and follow on Enter
        // and Space.
        box.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        auto* donate = box.findChild<QLabel*>("DonateLabel2");
        auto* url = box.findChild<QLabel*>("URLLabel");
        auto* ok = box.findChild<QPushButton*>("OKButton");
        ok->setFocus();
        QStringList visited;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, (QStringList{"DonateLabel2", "URLLabel", "OKButton"}));
        for (QLabel* link : {donate, url}) {
            const QImage plain = link->grab().toImage();
            link->setFocus(Qt::TabFocusReason);
            QVERIFY(link->grab().toImage() != plain);
            QCOMPARE(link->accessibleName(), link->text());
        }
        QTest::keyClick(donate, Qt::Key_Return);
        QTest::keyClick(url, Qt::Key_Space);
        QCOMPARE(fake->urls, (std::vector<QUrl>{QUrl(kDonationAddress), QUrl(kWebsiteAddress)}));
        fake->urls.clear();

        for (const char* name : {"URLLabel", "DonateLabel2"}) {
            auto* link = box.findChild<QLabel*>(name);
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QCOMPARE(fake->urls, (std::vector<QUrl>{QUrl(kWebsiteAddress), QUrl(kDonationAddress)}));
        QCOMPARE(box.findChild<QLabel*>("URLLabel")->text(), kWebsiteAddress);
        QTest::mouseClick(box.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
        QCOMPARE(box.result(), int(QDialog::Accepted));
        QVERIFY(!box.isVisible());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    identifyProgram();
    TestAboutHelp test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_about_help.moc"
