#include "ui/common/DirectoryChooser.h"

#include "ui/common/Prompts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>

namespace kestrine {

namespace {

// Enough to see what a folder holds; a folder of millions of files must not stall the dialog.
constexpr int kMaxListedFiles = 2000;

QString mountPointOf(const QString& folder) {
    const QString root = QStorageInfo(folder).rootPath();
    return root.isEmpty() ? QDir::rootPath() : root;
}

} // namespace

DirectoryChooser::DirectoryChooser(const QString& start, QWidget* parent)
    : QDialog(parent), model_(new QFileSystemModel(this)), DirectoryTree(new QTreeView(this)),
      FileList(new QListWidget(this)), DriveComboBox(new QComboBox(this)),
      DirectoryNameEdit(new QLineEdit(this)), FolderLabel(new QLabel(this)) {
    setObjectName(QStringLiteral("DirectoryChooser"));
    setWindowTitle(QStringLiteral("Select Directory"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    DirectoryTree->setObjectName(QStringLiteral("DirectoryTree"));
    FileList->setObjectName(QStringLiteral("FileList"));
    DriveComboBox->setObjectName(QStringLiteral("DriveComboBox"));
    DirectoryNameEdit->setObjectName(QStringLiteral("DirectoryNameEdit"));
    FolderLabel->setObjectName(QStringLiteral("FolderLabel"));

    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    model_->setReadOnly(true);
    DirectoryTree->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        DirectoryTree->hideColumn(column);
    DirectoryTree->header()->hide();
    // The files are shown for what they are, not to be picked.
    FileList->setEnabled(false);

    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            DriveComboBox->addItem(volume.rootPath(), volume.rootPath());

    auto* nameLabel = new QLabel(QStringLiteral("Directory &Name:"), this);
    nameLabel->setBuddy(DirectoryNameEdit);
    auto* treeLabel = new QLabel(QStringLiteral("&Directories:"), this);
    treeLabel->setBuddy(DirectoryTree);
    auto* filesLabel = new QLabel(QStringLiteral("&Files: (*.*)"), this);
    filesLabel->setBuddy(FileList);
    auto* drivesLabel = new QLabel(QStringLiteral("D&rives:"), this);
    drivesLabel->setBuddy(DriveComboBox);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0, 1, 2);
    grid->addWidget(DirectoryNameEdit, 1, 0, 1, 2);
    grid->addWidget(treeLabel, 2, 0);
    grid->addWidget(filesLabel, 2, 1);
    grid->addWidget(FolderLabel, 3, 0, 1, 2);
    grid->addWidget(DirectoryTree, 4, 0, 3, 1);
    grid->addWidget(FileList, 4, 1);
    grid->addWidget(drivesLabel, 5, 1);
    grid->addWidget(DriveComboBox, 6, 1);
    grid->addWidget(buttons, 0, 2, 5, 1, Qt::AlignTop);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    resize(520, 360);

    connect(buttons, &QDialogButtonBox::accepted, this, &DirectoryChooser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DirectoryChooser::reject);
    connect(DirectoryTree, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { showFolder(model_->filePath(index)); });
    connect(DirectoryTree, &QTreeView::activated, this,
            [this](const QModelIndex& index) { showFolder(model_->filePath(index)); });
    connect(DriveComboBox, &QComboBox::activated, this, &DirectoryChooser::driveChosen);
    // The tree fills in the background; the shown folder is brought into view once its parent
    // has been read.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        if (path == folder_ || path == QFileInfo(folder_).path()) {
            const QModelIndex here = model_->index(folder_);
            DirectoryTree->setCurrentIndex(here);
            DirectoryTree->scrollTo(here);
        }
    });

    const QString absolute = start.isEmpty() ? QString() : QDir(start).absolutePath();
    showFolder(!absolute.isEmpty() && QFileInfo(absolute).isDir() ? absolute : QDir::currentPath());
    DirectoryNameEdit->setFocus();
}

void DirectoryChooser::showFolder(const QString& folder) {
    folder_ = QDir::cleanPath(folder);
    const QString mount = mountPointOf(folder_);
    model_->setRootPath(mount);
    DirectoryTree->setRootIndex(model_->index(mount));
    const QModelIndex here = model_->index(folder_);
    DirectoryTree->setCurrentIndex(here);
    DirectoryTree->expand(here);
    DirectoryTree->scrollTo(here);
    const int drive = DriveComboBox->findData(mount);
    if (drive >= 0)
        DriveComboBox->setCurrentIndex(drive);

    FolderLabel->setText(folder_);
    DirectoryNameEdit->setText(QDir::toNativeSeparators(folder_));
    DirectoryNameEdit->selectAll();

    FileList->clear();
    const QStringList files =
        QDir(folder_).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (qsizetype i = 0; i < files.size() && i < kMaxListedFiles; ++i)
        FileList->addItem(files.at(i));
}

void DirectoryChooser::driveChosen(int index) {
    const QString mount = DriveComboBox->itemData(index).toString();
    if (!mount.isEmpty() && QFileInfo(mount).isDir())
        showFolder(mount);
}

QString DirectoryChooser::directory() const {
    const QString typed = DirectoryNameEdit->text();
    if (typed.isEmpty())
        return folder_;
    return QDir::cleanPath(QDir(folder_).absoluteFilePath(QDir::fromNativeSeparators(typed)));
}

void DirectoryChooser::accept() {
    if (!QFileInfo(directory()).isDir() &&
        prompts().messageBox(
            this, BoxKind::Confirm,
            QStringLiteral("The specified directory does not exist. Create it?")) != Answer::Yes)
        return;
    QDialog::accept();
}

} // namespace kestrine
