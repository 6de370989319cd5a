#include "ui/common/DirectoryChooser.h"

#include "platform/Text.h"
#include "ui/common/FileNameText.h"
#include "ui/common/Prompts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStorageInfo>
#include <QTreeView>

#include <algorithm>

namespace kestrine {

namespace {

// Enough to see what a folder holds; a folder of millions of files must not stall the dialog.
constexpr int kMaxListedFiles = 2000;
// A tree item's folder as bytes, and whether its subfolders have been read.
constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;

std::string childPath(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + '/' + name;
}

std::string cleaned(const std::string& path) {
    return nameBytes(QDir::cleanPath(nameText(path)));
}

std::string pathOf(const QStandardItem* item) {
    return item->data(kPathRole).toByteArray().toStdString();
}

// A folder's subfolders, or its other names, without regard to the case of A to Z. The names
// come as the file system's bytes: Qt's own listing leaves out every name that is not UTF-8.
std::vector<std::string> namesIn(Platform& platform, const std::string& folder, bool folders) {
    std::vector<std::string> names;
    if (auto entries = platform.listFolder(folder))
        for (FolderEntry& entry : *entries)
            if (entry.isFolder == folders)
                names.push_back(std::move(entry.name));
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = lowerAZ(a), lb = lowerAZ(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

} // namespace

DirectoryChooser::DirectoryChooser(const QString& start, QWidget* parent)
    : QDialog(parent), platform_(Platform::system()), model_(new QStandardItemModel(this)),
      DirectoryTree(new QTreeView(this)), FileList(new QListWidget(this)),
      DriveComboBox(new QComboBox(this)), DirectoryNameEdit(new QLineEdit(this)),
      FolderLabel(new QLabel(this)) {
    setObjectName(QStringLiteral("DirectoryChooser"));
    setWindowTitle(QStringLiteral("Select Directory"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    DirectoryTree->setObjectName(QStringLiteral("DirectoryTree"));
    FileList->setObjectName(QStringLiteral("FileList"));
    DriveComboBox->setObjectName(QStringLiteral("DriveComboBox"));
    DirectoryNameEdit->setObjectName(QStringLiteral("DirectoryNameEdit"));
    FolderLabel->setObjectName(QStringLiteral("FolderLabel"));

    DirectoryTree->setModel(model_);
    DirectoryTree->header()->hide();
    DirectoryTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
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
    const auto open = [this](const QModelIndex& index) {
        showFolder(pathOf(model_->itemFromIndex(index)));
    };
    connect(DirectoryTree, &QTreeView::clicked, this, open);
    connect(DirectoryTree, &QTreeView::activated, this, open);
    connect(DirectoryTree, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { readSubfolders(model_->itemFromIndex(index)); });
    connect(DriveComboBox, &QComboBox::activated, this, &DirectoryChooser::driveChosen);

    const std::string absolute =
        start.isEmpty() ? std::string() : nameBytes(QDir(start).absolutePath());
    showFolder(!absolute.empty() && platform_.directoryExists(absolute)
                   ? absolute
                   : nameBytes(QDir::currentPath()));
    DirectoryNameEdit->setFocus();
}

void DirectoryChooser::readSubfolders(QStandardItem* item) {
    if (!item || item->data(kReadRole).toBool())
        return;
    item->setData(true, kReadRole);
    item->removeRows(0, item->rowCount()); // the placeholder
    const std::string folder = pathOf(item);
    for (const std::string& name : namesIn(platform_, folder, true)) {
        auto* child = new QStandardItem(nameText(name));
        child->setData(QByteArray::fromStdString(childPath(folder, name)), kPathRole);
        // Read when opened; until then a placeholder lets the tree offer to open it.
        child->appendRow(new QStandardItem);
        item->appendRow(child);
    }
}

void DirectoryChooser::showFolder(const std::string& folder) {
    folder_ = cleaned(folder);
    const std::string mount = platform_.mountPoint(folder_);
    QStandardItem* root = model_->invisibleRootItem();
    if (mount != pathOf(root)) {
        model_->clear();
        root = model_->invisibleRootItem();
        root->setData(QByteArray::fromStdString(mount), kPathRole);
        readSubfolders(root);
    }
    // Open the tree from the mount point down to the folder.
    QStandardItem* here = nullptr;
    if (folder_.starts_with(mount)) {
        QStandardItem* parent = root;
        std::string_view rest = std::string_view(folder_).substr(mount.size());
        while (parent && !rest.empty()) {
            rest.remove_prefix(std::min(rest.find_first_not_of('/'), rest.size()));
            const std::string name(rest.substr(0, rest.find('/')));
            rest.remove_prefix(name.size());
            if (name.empty())
                break;
            readSubfolders(parent);
            QStandardItem* next = nullptr;
            for (int row = 0; row < parent->rowCount() && !next; ++row)
                if (pathOf(parent->child(row)) == childPath(pathOf(parent), name))
                    next = parent->child(row);
            parent = here = next;
        }
    }
    if (here) {
        DirectoryTree->setCurrentIndex(here->index());
        DirectoryTree->expand(here->index());
        DirectoryTree->scrollTo(here->index());
    }
    const int drive = DriveComboBox->findData(nameText(mount));
    if (drive >= 0)
        DriveComboBox->setCurrentIndex(drive);

    FolderLabel->setText(nameText(folder_));
    DirectoryNameEdit->setText(nameText(folder_));
    DirectoryNameEdit->selectAll();

    FileList->clear();
    const std::vector<std::string> files = namesIn(platform_, folder_, false);
    for (std::size_t i = 0; i < files.size() && i < kMaxListedFiles; ++i)
        FileList->addItem(nameText(files[i]));
}

void DirectoryChooser::driveChosen(int index) {
    const std::string mount = nameBytes(DriveComboBox->itemData(index).toString());
    if (!mount.empty() && platform_.directoryExists(mount))
        showFolder(mount);
}

QString DirectoryChooser::shownFolder() const {
    return nameText(folder_);
}

QString DirectoryChooser::directory() const {
    const QString typed = DirectoryNameEdit->text();
    const QString shown = nameText(folder_);
    if (typed.isEmpty())
        return shown;
    return QDir::cleanPath(QDir(shown).absoluteFilePath(QDir::fromNativeSeparators(typed)));
}

void DirectoryChooser::accept() {
    if (!platform_.directoryExists(nameBytes(directory())) &&
        prompts().messageBox(
            this, BoxKind::Confirm,
            QStringLiteral("The specified directory does not exist. Create it?")) != Answer::Yes)
        return;
    QDialog::accept();
}

} // namespace kestrine
