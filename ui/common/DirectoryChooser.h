#pragma once
// The modal folder chooser of the preferred-folder buttons: a folder tree, the mount points as
// the drive list, the folder's files greyed, and an edit where a folder that does not exist yet
// may be typed (the chooser asks before accepting it).

#include "platform/Platform.h"

#include <QDialog>

#include <string>

class QComboBox;
class QStandardItem;
class QStandardItemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QTreeView;

namespace kestrine {

class DirectoryChooser : public QDialog {
    Q_OBJECT

public:
    // Starts at `start` when it names an existing folder, else at the current folder.
    explicit DirectoryChooser(const QString& start, QWidget* parent = nullptr);

    // The accepted folder, absolute (a relative text is taken from the shown folder).
    QString directory() const;
    // The folder whose contents are shown.
    QString shownFolder() const;

    void accept() override;

private:
    void showFolder(const std::string& folder);
    void driveChosen(int index);
    // Lists the subfolders of a tree item's folder the first time it is needed.
    void readSubfolders(QStandardItem* item);

    Platform& platform_;
    QStandardItemModel* model_;
    QTreeView* DirectoryTree;
    QListWidget* FileList;
    QComboBox* DriveComboBox;
    QLineEdit* DirectoryNameEdit;
    QLabel* FolderLabel;
    std::string folder_; // as the file system spells it
};

} // namespace kestrine
