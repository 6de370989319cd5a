#pragma once
// The modal folder chooser of the preferred-folder buttons: a folder tree, the mount points as
// the drive list, the folder's files greyed, and an edit where a folder that does not exist yet
// may be typed (the chooser asks before accepting it).

#include <QDialog>

class QComboBox;
class QFileSystemModel;
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
    QString shownFolder() const { return folder_; }

    void accept() override;

private:
    void showFolder(const QString& folder);
    void driveChosen(int index);

    QFileSystemModel* model_;
    QTreeView* DirectoryTree;
    QListWidget* FileList;
    QComboBox* DriveComboBox;
    QLineEdit* DirectoryNameEdit;
    QLabel* FolderLabel;
    QString folder_;
};

} // namespace kestrine
