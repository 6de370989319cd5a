// The real settings window under the offscreen platform, opened from the real main window, with
// the colour dialog and the folder chooser answered through scripted prompts.

#include "core/CommandLine.h"
#include "tests/core/TestPlatform.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/FreshRun.h"
#include "ui/common/DirectoryChooser.h"
#include "ui/common/FileNameText.h"
#include "ui/common/WindowLook.h"
#include "ui/main/TForm1.h"
#include "ui/settings/FileTypeList.h"
#include "ui/settings/TSettingsForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <fstream>

using namespace kestrine;
using kestrine::testing::FakePrompts;
using kestrine::testing::TestPlatform;

namespace {

const QString kIncorrect = "The following entry in file selection types is incorrect:\n\n";
const QString kWildcard = "Reason: File type is missing the leading wildcard (eg. *.doc)";
const QString kBlank = "Reason: Description cannot be left blank.";

// Scripted prompts except for the folder chooser, which is the real dialog.
class RealChooserPrompts : public FakePrompts {
public:
    std::optional<QString> chooseDirectory(QWidget* parent, const QString& start) override {
        return systemPrompts().chooseDirectory(parent, start);
    }
};

} // namespace

class TestSettingsWindow : public QObject, protected kestrine::testing::FreshRun {
    Q_OBJECT

    std::unique_ptr<TForm1> form;
    TSettingsForm* settings = nullptr;
    FileTypeList* list = nullptr;

    // The main window from `ini`, and the settings window shown without a modal loop.
    void open(const QByteArray& ini = {}) {
        if (!ini.isEmpty())
            std::ofstream(dir->filePath("Kestrine.ini").toStdString()) << "[Kestrine]\n"
                                                                       << ini.toStdString();
        form = std::make_unique<TForm1>(*state, *platform);
        form->Init();
        settings = form->findChild<TSettingsForm*>("TSettingsForm");
        QVERIFY(settings);
        list = settings->findChild<FileTypeList*>("ValueListEditor1");
        settings->show();
        settings->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(settings));
    }
    // A box took the activation: the window gets it back once events run.
    bool activeAgain() {
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == settings; });
    }
    template <typename T = QWidget> T* w(const QString& name) {
        T* found = settings->findChild<T*>(name);
        if (!found)
            qFatal("no %s", qPrintable(name));
        return found;
    }
    QStringList rows() {
        QStringList out;
        for (int row = 0; row < list->rowCount(); ++row)
            out << list->cell(row, 0) + "=" + list->cell(row, 1);
        return out;
    }
    QString ini() {
        QFile file(dir->filePath("Kestrine.ini"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // The open cell editor; a closed one may linger until deleted.
    QLineEdit* editor() {
        for (QLineEdit* edit : list->findChildren<QLineEdit*>("CellEditor"))
            if (edit->isVisible())
                return edit;
        return nullptr;
    }
    // Types into a cell as a user does: the current cell, F2, the text, Enter.
    void typeInto(int row, int column, const QString& text) {
        list->setFocus();
        list->setCurrentCell(row, column);
        QTest::keyClick(list, Qt::Key_F2);
        QVERIFY(editor());
        editor()->selectAll();
        QTest::keyClicks(editor(), text);
        QTest::keyClick(editor(), Qt::Key_Return);
        QCoreApplication::processEvents(); // the editor commits on its next turn
    }
    QColor mainColour(const char* name, QPalette::ColorRole role) {
        QWidget* widget = form->findChild<QWidget*>(name);
        return (widget ? widget : form.get())->palette().color(role);
    }

private Q_SLOTS:
    void init() {
        beginRun();
        fake->boxesTakeFocus = true;
    }

    void cleanup() {
        form.reset();
        endRun();
    }

    void settingsCommandOpensTheWindowModally() {
        open();
        settings->close();
        form->move(70, 90);
        bool modal = false;
        QPoint at;
        QTimer::singleShot(0, this, [&] {
            modal = QApplication::activeModalWidget() == settings;
            at = settings->pos();
            QTest::mouseClick(w("CloseBitBtn"), Qt::LeftButton);
        });
        form->findChild<QAction*>("Settings1")->trigger();
        QVERIFY(modal);
        QCOMPARE(at, QPoint(70, 90));
        QVERIFY(!settings->isVisible());
    }

    void shownFromTheSettings() {
        open("PrefDestPathSwitch=1\nPrefDestPath=/d\n");
        QCOMPARE(QApplication::focusWidget(), w("ValueListEditor1"));
        QCOMPARE(settings->size(), QSize(446, 418));
        QCOMPARE(settings->windowTitle(), "Settings");
        QCOMPARE(rows(), (QStringList{"All Files=*.*", "Programs=*.exe", "Zip Files=*.zip"}));
        QVERIFY(!w("SaveBitBtn")->isEnabled());
        QVERIFY(w<QCheckBox>("LastSourceCheckBox")->isChecked());
        for (const char* name : {"PrefSourcePathEdit", "GetSourcePathButton"})
            QVERIFY2(!w(name)->isEnabled(), name);
        for (const char* name : {"PrefDestPathEdit", "GetDestPathButton"})
            QVERIFY2(w(name)->isEnabled(), name);
        QCOMPARE(w<QLineEdit>("PrefDestPathEdit")->text(), "/d");
        QCOMPARE(w("StatusBar1")->palette().color(QPalette::Window), QColor(191, 205, 219));
        QCOMPARE(w("Label1")->palette().color(QPalette::WindowText), QColor(49, 99, 154));
        QCOMPARE(w("PrefDestPathEdit")->palette().color(QPalette::Text),
                 QApplication::palette().color(QPalette::Text));
        // The disabled edit looks disabled, and can still be read.
        const QPalette own = w("PrefSourcePathEdit")->palette();
        const double enabled = contrastRatio(own.color(QPalette::Active, QPalette::Text),
                                             own.color(QPalette::Active, QPalette::Base));
        const double disabled = contrastRatio(own.color(QPalette::Disabled, QPalette::Text),
                                              own.color(QPalette::Disabled, QPalette::Base));
        QVERIFY2(disabled >= 4.5 && disabled < enabled, qPrintable(QString::number(disabled)));

        // Reading order, row by row; the folder buttons and the list take the focus, show it,
        // and the buttons are named by their hints.
        const QStringList order = {"ValueListEditor1",
                                   "AddFileTypeButton",
                                   "DeleteFileTypeButton",
                                   "LastSourceCheckBox",
                                   "FormColourButton",
                                   "LastDestCheckBox",
                                   "DefaultFormColourButton",
                                   "PrefSourcePathCheckBox",
                                   "PrefDestPathCheckBox",
                                   "PrefDestPathEdit",
                                   "GetDestPathButton",
                                   "SaveBitBtn",
                                   "CloseBitBtn"};
        w<QPushButton>("SaveBitBtn")->setEnabled(true); // only enabled controls take the focus
        for (const char* name : {"GetSourcePathButton", "GetDestPathButton"})
            QCOMPARE(w(name)->accessibleName(), "Directory browser.");
        w("CloseBitBtn")->setFocus();
        QStringList visited;
        for (const QString& name : order) {
            const QImage plain = w(name)->grab().toImage();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
            QVERIFY2(w(name)->grab().toImage() != plain,
                     qPrintable(name + " shows no focus " + visited.join(",")));
        }
        QCOMPARE(visited, order);
        for (QWidget* child : settings->findChildren<QWidget*>())
            QVERIFY2(child->toolTip().isEmpty(), qPrintable(child->objectName()));
        auto hover = [&](const char* name) {
            // Both windows start at the same corner: the move is sent to this one.
            QWidget* over = w(name);
            QTest::mouseMove(settings->windowHandle(),
                             over->mapTo(settings, over->rect().center()));
            return w<QStatusBar>("StatusBar1")->currentMessage();
        };
        hover("Label1");
        QCOMPARE(hover("DefaultFormColourButton"),
                 "Set the colour of the form back to the default.");
        settings->close();
    }

    void wholeSave() {
        open("FileFilterIndex1=3\nFileFilterIndex2=2\n");
        QTest::mouseClick(w("LastDestCheckBox"), Qt::LeftButton);
        QVERIFY(w("SaveBitBtn")->isEnabled());
        w<QLineEdit>("PrefSourcePathEdit")->setText("/s"); // saved with its box off
        typeInto(1, 0, " Docs ");
        QTest::keyClick(list, Qt::Key_Right);
        typeInto(1, 1, "*. doc");
        QVERIFY(list->leaveCurrentCell());
        QTest::mouseClick(w("AddFileTypeButton"), Qt::LeftButton); // a blank row is not saved
        fake->colours.push_back(QColor(0x10, 0x20, 0x30));
        QTest::mouseClick(w("FormColourButton"), Qt::LeftButton);
        QTest::mouseClick(w("SaveBitBtn"), Qt::LeftButton);

        QVERIFY(fake->errors.empty());
        QVERIFY(!w("SaveBitBtn")->isEnabled());
        QVERIFY(settings->savedSinceShown());
        const QString filter = "All Files (*.*)|*.*|Docs (*.doc)|*.doc|Zip Files (*.zip)|*.zip";
        QCOMPARE(QString::fromStdString(state->Settings.FileFilter), filter);
        QCOMPARE(form->OpenDialog1().filter, filter);
        QCOMPARE(form->OpenDialog2().filter, filter);
        QCOMPARE(form->OpenDialog1().filterIndex, 3);
        QCOMPARE(form->OpenDialog2().filterIndex, 2);
        const QString file = ini();
        for (const QString& line :
             {QString("SaveLastSource=1"), QString("SaveLastDest=0"),
              QString("PrefSourcePathSwitch=0"), QString("PrefSourcePath=/s"),
              "FileFilter=" + filter,
              QString(R"(FileFilter2=|"All Files=*.*",Docs=*.doc,"Zip Files=*.zip",=|)"),
              QString("FormColour=3153936")})
            QVERIFY2(file.contains(line + "\n"), qPrintable(line + " in\n" + file));
        settings->close();
    }

    void cellLeft_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("error"); // its last line; empty: none
        QTest::newRow("description trimmed") << 1 << 0 << "  Exe files "
                                             << "Exe files"
                                             << "";
        QTest::newRow("type spaces removed") << 1 << 1 << " *. e xe"
                                             << "*.exe"
                                             << "";
        QTest::newRow("bare extension") << 1 << 1 << "exe"
                                        << "exe" << kWildcard;
        QTest::newRow("description emptied") << 1 << 0 << " "
                                             << "" << kBlank;
        QTest::newRow("new description, no type yet") << 3 << 0 << "New"
                                                      << "New"
                                                      << "";
    }
    void cellLeft() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, error);
        open();
        if (row == list->rowCount())
            QTest::mouseClick(w("AddFileTypeButton"), Qt::LeftButton);
        typeInto(row, column, typed);
        QTest::keyClick(list, column == 0 ? Qt::Key_Right : Qt::Key_Left);
        QCOMPARE(list->cell(row, column), stored);
        if (error.isEmpty()) {
            QVERIFY(fake->errors.empty());
            QCOMPARE(list->currentColumn(), 1 - column);
        } else {
            QCOMPARE(fake->errors.size(), std::size_t{1});
            QVERIFY2(fake->errors[0].startsWith(kIncorrect), qPrintable(fake->errors[0]));
            QVERIFY2(fake->errors[0].endsWith(error), qPrintable(fake->errors[0]));
            QCOMPARE(list->currentColumn(), column); // the cell is kept
        }
        settings->close();
    }

    void saveRefusals_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QPoint>("cell"); // column, row selected at the refusal
        QTest::newRow("type without description") << QByteArray("=*.txt") << kBlank << QPoint(0, 0);
        QTest::newRow("bare extension")
            << QByteArray("A=*.a,Text=txt") << kWildcard << QPoint(1, 1);
        QTest::newRow("type never filled in") << QByteArray("New=") << kWildcard << QPoint(1, 0);
        QTest::newRow("duplicate in a hand-edited file")
            << QByteArray("Zip=*.zip,zip=*.z") << "A key with the name of \"zip\" already exists."
            << QPoint(0, 1);
    }
    void saveRefusals() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, error);
        QFETCH(QPoint, cell);
        open("FileFilter2=|" + stored + "|\n");
        const Settings before = state->Settings;
        QCOMPARE(list->rowCount(), 2 - !stored.contains(',')); // every row shown
        settings->EnableSaveBtn();
        w("AddFileTypeButton")->setFocus();
        QTest::mouseClick(w("SaveBitBtn"), Qt::LeftButton);
        QCOMPARE(fake->errors.size(), std::size_t{1});
        QVERIFY2(fake->errors[0].endsWith(error), qPrintable(fake->errors[0]));
        QCOMPARE(QPoint(list->currentColumn(), list->currentRow()), cell);
        QVERIFY(activeAgain());
        QCOMPARE(QApplication::focusWidget(), list);
        QVERIFY(w("SaveBitBtn")->isEnabled());
        QCOMPARE(state->Settings.FileFilter, before.FileFilter);
        QVERIFY(!ini().contains("FileFilter="));
        settings->close();
    }

    void emptyListSavesTwoBars() {
        open();
        while (list->rowCount() > 0)
            QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(w("SaveBitBtn")->isEnabled());
        QTest::mouseClick(w("DeleteFileTypeButton"), Qt::LeftButton); // nothing to ask about
        QVERIFY(fake->boxes.empty());
        QTest::mouseClick(w("SaveBitBtn"), Qt::LeftButton);
        QVERIFY(ini().contains("\nFileFilter=\nFileFilter2=||\n"));
        QCOMPARE(form->OpenDialog1().filter, QString());
        settings->close();
    }

    void colours_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QColor>("background"); // main window, its log and the settings window
        QTest::addColumn<QColor>("text");       // main window and settings window
        QTest::addColumn<QColor>("status");     // main window's status bar
        QTest::addColumn<unsigned>("stored");
        const QColor light(215, 228, 242);
        // White would not read on the stored colour put back: the nearest grey that does.
        QTest::newRow("choose, Exit")
            << QStringList{"choose 000080", "exit"} << light << QColor(0x65, 0x65, 0x65)
            << QColor(0, 0, 64) << 0xFF00001Cu;
        QTest::newRow("choose, Save, choose, Exit")
            << QStringList{"choose 000080", "save", "choose 000000", "exit"} << QColor(Qt::black)
            << QColor(Qt::white) << QColor(Qt::white) << 0x800000u;
        QTest::newRow("choose, close box")
            << QStringList{"choose 000000", "close"} << QColor(Qt::black) << QColor(Qt::white)
            << QColor(Qt::white) << 0xFF00001Cu;
        QTest::newRow("cancelled") << QStringList{"choose", "save"} << light << QColor(49, 99, 154)
                                   << QColor(168, 196, 226) << 0xFF00001Cu;
        QTest::newRow("choose, Default, Save")
            << QStringList{"choose 000000", "default", "save"} << light << QColor(0, 0, 128)
            << QColor(168, 196, 226) << 0xFF00001Cu;
    }
    void colours() {
        QFETCH(QStringList, steps);
        QFETCH(QColor, background);
        QFETCH(QColor, text);
        QFETCH(QColor, status);
        QFETCH(unsigned, stored);
        open();
        std::vector<QColor> starts;
        for (const QString& step : steps) {
            if (step.startsWith("choose")) {
                const QString hex = step.section(' ', 1);
                fake->colours.push_back(hex.isEmpty() ? std::optional<QColor>()
                                                      : QColor("#" + hex));
                QTest::mouseClick(w("FormColourButton"), Qt::LeftButton);
            } else if (step == "default") {
                QTest::mouseClick(w("DefaultFormColourButton"), Qt::LeftButton);
            } else if (step == "save") {
                settings->EnableSaveBtn();
                QTest::mouseClick(w("SaveBitBtn"), Qt::LeftButton);
            } else {
                step == "exit" ? QTest::mouseClick(w("CloseBitBtn"), Qt::LeftButton)
                               : void(settings->close());
            }
        }
        QCOMPARE(fake->colourStarts.front(), QColor(215, 228, 242));
        QCOMPARE(form->palette().color(QPalette::Window), background);
        QCOMPARE(mainColour("RichEdit1", QPalette::Base), background);
        QCOMPARE(settings->palette().color(QPalette::Window), background);
        QCOMPARE(mainColour("Label1", QPalette::WindowText), text);
        QCOMPARE(w("Label1")->palette().color(QPalette::WindowText), text);
        QCOMPARE(mainColour("StatusBar1", QPalette::Window), status);
        QCOMPARE(state->Settings.FormColour, stored);
        settings->close();
    }

    // Esc that the list does not use leaves the window as Exit does: the previewed colour goes.
    void escapeLeavesLikeExit_data() {
        QTest::addColumn<QString>("focus");
        QTest::newRow("check box") << "LastSourceCheckBox";
        QTest::newRow("list with nothing to undo") << "ValueListEditor1";
    }
    void escapeLeavesLikeExit() {
        QFETCH(QString, focus);
        open();
        fake->colours.push_back(QColor(Qt::black));
        QTest::mouseClick(w("FormColourButton"), Qt::LeftButton);
        QCOMPARE(form->palette().color(QPalette::Window), QColor(Qt::black));
        w(focus)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!settings->isVisible());
        QCOMPARE(form->palette().color(QPalette::Window), QColor(215, 228, 242));
    }

    void listKeys() {
        open();
        list->setFocus();
        list->setCurrentCell(1, 0);
        QTest::keyClick(list, Qt::Key_Insert);
        QCOMPARE(rows(), (QStringList{"All Files=*.*", "=", "Programs=*.exe", "Zip Files=*.zip"}));
        QCOMPARE(list->currentRow(), 1);
        QTest::keyClick(list, Qt::Key_Insert); // not from a row without a description
        QCOMPARE(list->rowCount(), 4);
        QTest::keyClick(list, Qt::Key_Escape); // a blank row goes
        QCOMPARE(list->rowCount(), 3);

        QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(list->currentRow(), 2);
        QTest::keyClick(list, Qt::Key_Down); // appends below the last row
        QCOMPARE(list->rowCount(), 4);
        QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier); // the blank row left goes
        QCOMPARE(list->currentRow(), 0);
        QTRY_COMPARE(list->rowCount(), 3);

        QTest::keyClick(list, Qt::Key_F2);
        QTest::keyClicks(editor(), "X=");
        QCOMPARE(fake->errors.back(), "Key may not contain equals sign (\"=\")");
        QVERIFY(activeAgain());
        const QString typed = editor() ? editor()->text() : QString();
        const bool inEditor = editor() && QApplication::focusWidget() == editor();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); // the edit is undone
        QCOMPARE(list->cell(0, 0), "All Files");
        QVERIFY(inEditor);
        QCOMPARE(typed, "X");
        QVERIFY(!editor());

        typeInto(0, 0, "programs");
        QCOMPARE(fake->errors.back(), "A key with the name of \"programs\" already exists.");
        QVERIFY(activeAgain());
        QCOMPARE(QApplication::focusWidget(), editor()); // kept for the user to mend
        QTest::keyClick(editor(), Qt::Key_Escape);
        QCOMPARE(list->cell(0, 0), "All Files");

        QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier); // without asking
        QCOMPARE(rows(), (QStringList{"Programs=*.exe", "Zip Files=*.zip"}));
        QVERIFY(fake->boxes.empty());

        fake->answers = {Answer::No, Answer::Yes};
        QTest::mouseClick(w("DeleteFileTypeButton"), Qt::LeftButton);
        QCOMPARE(fake->boxes.back().text, "Do you want to delete [Programs]");
        QCOMPARE(list->rowCount(), 2);
        QTest::mouseClick(w("DeleteFileTypeButton"), Qt::LeftButton);
        QCOMPARE(rows(), (QStringList{"Zip Files=*.zip"}));

        QTest::mouseClick(w("AddFileTypeButton"), Qt::LeftButton);
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->currentRow(), 0); // the selection stays
        settings->close();
    }

    void leavingTheListWithARefusedCell_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed"); // left without Enter
        QTest::addColumn<bool>("click");    // on a check box; else Tab
        QTest::addColumn<QString>("error"); // its end
        const QString duplicate = "A key with the name of \"zip files\" already exists.";
        QTest::newRow("bare type, Tab") << 1 << "exe" << false << kWildcard;
        QTest::newRow("bare type, click") << 1 << "exe" << true << kWildcard;
        QTest::newRow("duplicate, Tab") << 0 << "zip files" << false << duplicate;
        QTest::newRow("duplicate, click") << 0 << "zip files" << true << duplicate;
    }
    void leavingTheListWithARefusedCell() {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(bool, click);
        QFETCH(QString, error);
        open();
        auto* box = w<QCheckBox>("LastSourceCheckBox");
        const bool ticked = box->isChecked();
        list->setFocus();
        list->setCurrentCell(0, column);
        QTest::keyClick(list, Qt::Key_F2);
        editor()->selectAll();
        QTest::keyClicks(editor(), typed);
        if (click)
            box->setFocus(Qt::MouseFocusReason); // what the press of the click does first
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(activeAgain());
        QCOMPARE(fake->errors.size(), std::size_t{1});
        QVERIFY2(fake->errors[0].endsWith(error), qPrintable(fake->errors[0]));
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus == list || list->isAncestorOf(focus), focus->metaObject()->className());
        QTest::keyClick(focus, Qt::Key_Space);
        QCOMPARE(box->isChecked(), ticked);
        settings->close();
    }

    void pastedLineBreakEndsTheText_data() {
        QTest::addColumn<int>("column"); // of the first row's cell; -1: the preferred source path
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("after");
        QTest::newRow("path, LF") << -1 << "" << 0 << "/home/user/a\nb"
                                  << "/home/user/a";
        QTest::newRow("path, CR LF into the middle") << -1 << "/home/b" << 6 << "user/\r\nx"
                                                     << "/home/user/b";
        QTest::newRow("path, line separator") << -1 << "" << 0 << "/a\u2028/b"
                                              << "/a";
        QTest::newRow("description, paragraph separator") << 0 << "" << 0 << "Docs\u2029more"
                                                          << "Docs";
        QTest::newRow("type, next line") << 1 << "" << 0 << "*.doc\u0085x"
                                         << "*.doc";
        QTest::newRow("type, CR") << 1 << "*.d" << 3 << "oc\r"
                                  << "*.doc";
    }
    void pastedLineBreakEndsTheText() {
        QFETCH(int, column);
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, pasted);
        QFETCH(QString, after);
        open("PrefSourcePathSwitch=1\n");
        QLineEdit* edit = w<QLineEdit>("PrefSourcePathEdit");
        if (column >= 0) {
            list->setFocus();
            list->setCurrentCell(0, column);
            QTest::keyClick(list, Qt::Key_F2);
            edit = editor();
        }
        edit->setText(before);
        edit->setCursorPosition(cursor);
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), after);
        QTest::mouseClick(w("SaveBitBtn"), Qt::LeftButton);
        QVERIFY(fake->errors.empty());
        const QString saved = QString::fromStdString(column < 0 ? state->Settings.PrefSourcePath
                                                                : state->Settings.FileFilter2);
        QVERIFY2(saved.contains(after), qPrintable(saved));
        QVERIFY(!w("SaveBitBtn")->isEnabled());
        settings->close();
    }

    void folders_data() {
        QTest::addColumn<QString>("typed"); // "<dir>" stands for the test's folder
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("existing folder") << "<dir>"
                                         << "<dir>" << true;
        QTest::newRow("empty edit") << "" << QDir::currentPath() << true;
        QTest::newRow("missing folder") << "<dir>/nope" << QDir::currentPath() << true;
        QTest::newRow("cancelled") << "<dir>"
                                   << "<dir>" << false;
    }
    void folders() {
        QFETCH(QString, typed);
        QFETCH(QString, start);
        QFETCH(bool, chosen);
        typed.replace("<dir>", dir->path());
        start.replace("<dir>", dir->path());
        open("PrefSourcePathSwitch=1\nPrefDestPathSwitch=1\n");
        auto* edit = w<QLineEdit>("PrefDestPathEdit");
        edit->setText(typed);
        const QString nested = dir->filePath("a/b/c");
        fake->directories.push_back(chosen ? std::optional<QString>(nested) : std::nullopt);
        QTest::mouseDClick(edit, Qt::LeftButton);
        QCOMPARE(fake->directoryStarts, std::vector<QString>{start});
        QCOMPARE(edit->text(), chosen ? nested : typed);
        QCOMPARE(QFileInfo(nested).isDir(), chosen);
        QCOMPARE(QApplication::focusWidget(), edit);
        settings->close();
    }

    // Preferred folders whose names are not UTF-8: the real chooser lists them and hands back
    // their bytes, and a Save writes them, the untouched one too, back unchanged.
    void namesThatAreNotUtf8() {
        const std::string bad = dir->path().toStdString() + "/bad\xff";
        QVERIFY(platform->createFolders(bad + "/inner\xfe").ok());
        testing::writeFile(bad + "/file\xfd.bin", {'x'});
        open(QByteArray::fromStdString("PrefSourcePathSwitch=1\nPrefSourcePath=" + bad +
                                       "\nPrefDestPathSwitch=1\nPrefDestPath=" + bad + "\n"));
        QCOMPARE(w<QLineEdit>("PrefDestPathEdit")->text(), nameText(bad));
        RealChooserPrompts real;
        setPrompts(&real);
        QStringList listed;
        QTimer::singleShot(0, this, [&] {
            auto* chooser = testing::shownWindow<DirectoryChooser>();
            if (!chooser)
                return;
            auto* tree = chooser->findChild<QTreeView*>("DirectoryTree");
            const QModelIndex here = tree->currentIndex();
            listed << here.data().toString() << here.model()->index(0, 0, here).data().toString()
                   << chooser->findChild<QListWidget*>("FileList")->item(0)->text();
            tree->setCurrentIndex(here.model()->index(0, 0, here));
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualRect(tree->currentIndex()).center());
            QTest::mouseClick(chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        QTest::mouseClick(w("GetSourcePathButton"), Qt::LeftButton);
        setPrompts(fake.get());
        QCOMPARE(listed, QStringList({nameText("bad\xff"), nameText("inner\xfe"),
                                      nameText("file\xfd.bin")}));
        QCOMPARE(nameBytes(w<QLineEdit>("PrefSourcePathEdit")->text()), bad + "/inner\xfe");
        QVERIFY(real.boxes.empty());

        QTest::mouseClick(w("SaveBitBtn"), Qt::LeftButton);
        QVERIFY(fake->errors.empty());
        const auto written = testing::readFile(dir->filePath("Kestrine.ini").toStdString());
        const std::string ini(written.begin(), written.end());
        QVERIFY(ini.find("PrefSourcePath=" + bad + "/inner\xfe\n") != std::string::npos);
        QVERIFY(ini.find("PrefDestPath=" + bad + "\n") != std::string::npos);
        settings->close();
    }

    void realChooserCreatesANestedFolder() {
        RealChooserPrompts real;
        setPrompts(&real);
        open("PrefSourcePathSwitch=1\n");
        const QString nested = dir->filePath("x/y/z");
        real.answers = {Answer::No, Answer::Yes};
        bool stayedOpen = false;
        QTimer::singleShot(0, this, [&] {
            auto* chooser = testing::shownWindow<DirectoryChooser>();
            if (!chooser)
                return;
            chooser->findChild<QLineEdit*>("DirectoryNameEdit")->setText(nested);
            QPushButton* ok = chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            QTest::mouseClick(ok, Qt::LeftButton); // No: the chooser stays
            stayedOpen = chooser->isVisible();
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        QTest::mouseClick(w("GetSourcePathButton"), Qt::LeftButton);
        QVERIFY(stayedOpen);
        QCOMPARE(real.boxes.size(), std::size_t{2});
        QCOMPARE(real.boxes[0].text, "The specified directory does not exist. Create it?");
        QVERIFY(QFileInfo(nested).isDir());
        QCOMPARE(w<QLineEdit>("PrefSourcePathEdit")->text(), nested);
        settings->close();
        form.reset();
        setPrompts(fake.get());
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
