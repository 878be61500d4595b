#include "ui/files/file_browser.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace ziv {

namespace fs = std::filesystem;

// --- Path rules ---------------------------------------------------------

std::string FileNamePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string NormalizeDirectory(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

std::vector<std::string> DirectoryChain(const std::string& dir) {
    std::vector<std::string> chain;
    if (dir.empty() || dir.front() != '/')
        return chain;
    chain.emplace_back("/");
    std::string::size_type start = 1;
    while (start < dir.size()) {
        auto end = dir.find('/', start);
        if (end == std::string::npos)
            end = dir.size();
        if (end > start)
            chain.push_back(dir.substr(0, end));
        start = end + 1;
    }
    return chain;
}

bool IsInside(const std::string& dir, const std::string& root) {
    if (root == "/")
        return !dir.empty() && dir.front() == '/';
    if (dir.size() < root.size() || dir.compare(0, root.size(), root) != 0)
        return false;
    return dir.size() == root.size() || dir[root.size()] == '/';
}

bool MatchesMask(const QString& name, const QString& masks) {
    for (const QString& part : masks.split(u';', Qt::SkipEmptyParts)) {
        const QString mask = part.trimmed();
        if (mask.isEmpty())
            continue;
        if (mask == u"*" || mask == u"*.*")
            return true;
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(mask),
                                    QRegularExpression::CaseInsensitiveOption);
        if (re.match(name).hasMatch())
            return true;
    }
    return false;
}

QString MinimizeName(const QString& dir, const std::function<int(const QString&)>& textWidth,
                     int maxWidth) {
    if (textWidth(dir) <= maxWidth)
        return dir;
    QStringList parts = dir.split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return dir;
    const QString name = parts.takeLast();
    const bool rooted = dir.startsWith(u'/');
    bool cut = false;
    QString result = dir;
    while (textWidth(result) > maxWidth) {
        if (!parts.isEmpty()) {
            parts.removeFirst();
            cut = true;
            QStringList shown;
            shown << QStringLiteral("...");
            shown << parts;
            shown << name;
            result = (rooted ? QStringLiteral("/") : QString()) + shown.join(u'/');
        } else {
            // Only the last name is left: drop the root, as a last resort.
            return cut ? QStringLiteral(".../") + name : name;
        }
    }
    return result;
}

bool IsBrowsableVolume(const QString& mountPoint, const QByteArray& fileSystemType) {
    static const QByteArray pseudo[] = {
        "proc",       "sysfs",      "devtmpfs",  "devpts",      "cgroup",   "cgroup2",
        "securityfs", "debugfs",    "tracefs",   "pstore",      "bpf",      "mqueue",
        "hugetlbfs",  "configfs",   "fusectl",   "binfmt_misc", "autofs",   "efivarfs",
        "nsfs",       "rpc_pipefs", "selinuxfs", "rootfs",      "squashfs", "ramfs",
    };
    for (const QByteArray& type : pseudo)
        if (fileSystemType == type)
            return false;
    if (mountPoint == u"/")
        return true;
    const auto under = [&](QLatin1StringView prefix) {
        return mountPoint == prefix || mountPoint.startsWith(prefix + u'/');
    };
    if (under(QLatin1StringView("/run/media")))
        return true;
    for (QLatin1StringView prefix :
         {QLatin1StringView("/proc"), QLatin1StringView("/sys"), QLatin1StringView("/dev"),
          QLatin1StringView("/run"), QLatin1StringView("/snap"), QLatin1StringView("/var/run"),
          QLatin1StringView("/var/lock")})
        if (under(prefix))
            return false;
    return true;
}

std::vector<TVolume> BrowsableVolumes() {
    std::vector<TVolume> volumes;
    volumes.push_back({"/", QStringLiteral("/")});
    std::vector<TVolume> others;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady())
            continue;
        const QString rootPath = info.rootPath();
        if (!IsBrowsableVolume(rootPath, info.fileSystemType()))
            continue;
        const std::string root = NormalizeDirectory(QFile::encodeName(rootPath).toStdString());
        std::error_code ec;
        // Bind mounts of single files (containers mount /etc/hosts so) are no drives.
        if (!fs::is_directory(fs::path(root), ec))
            continue;
        QString caption = QFile::decodeName(QByteArray::fromStdString(root));
        if (!info.name().isEmpty())
            caption += QStringLiteral("  [%1]").arg(info.name());
        if (root == "/") {
            volumes.front().Caption = caption;
            continue;
        }
        const bool seen = std::any_of(others.begin(), others.end(),
                                      [&](const TVolume& v) { return v.Root == root; });
        if (!seen)
            others.push_back({root, caption});
    }
    std::sort(others.begin(), others.end(),
              [](const TVolume& a, const TVolume& b) { return a.Root < b.Root; });
    volumes.insert(volumes.end(), others.begin(), others.end());
    return volumes;
}

namespace {

void SortByDisplayName(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c =
            QString::compare(QFile::decodeName(QByteArray::fromStdString(a)),
                             QFile::decodeName(QByteArray::fromStdString(b)), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

QString Display(const std::string& raw) {
    return QFile::decodeName(QByteArray::fromStdString(raw));
}

std::string RawOf(const QVariant& data) {
    return data.toByteArray().toStdString();
}

// Rows of a fixed height whatever the style's own spacing.
class TFixedRowDelegate : public QStyledItemDelegate {
public:
    TFixedRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

private:
    int height_;
};

}  // namespace

TDirectoryEntries ReadDirectory(const std::string& dir) {
    TDirectoryEntries out;
    std::error_code ec;
    fs::directory_iterator it(fs::path(dir), fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return out;
    out.Ok = true;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string name = it->path().filename().native();
        if (name.empty() || name.front() == '.')
            continue;
        std::error_code statusError;
        // Follows symbolic links: a link to a directory is browsed like one.
        const fs::file_status status = it->status(statusError);
        if (statusError)
            continue;
        if (fs::is_directory(status))
            out.Directories.push_back(name);
        else if (fs::is_regular_file(status))
            out.Files.push_back(name);
    }
    SortByDisplayName(out.Directories);
    SortByDisplayName(out.Files);
    return out;
}

// --- TFileListBox -------------------------------------------------------

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new TFixedRowDelegate(13, this));
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!filling_)
            UserSelectionChanged();
    });
}

void TFileListBox::SetDirectory(const std::string& dir) {
    directory_ = dir;
    Fill({});
}

void TFileListBox::SetMask(const QString& mask) {
    mask_ = mask;
    Fill({});
}

void TFileListBox::Refresh() {
    Fill(SelectedName());
}

void TFileListBox::SetFileEdit(QLineEdit* edit) {
    fileEdit_ = edit;
    FillEdit();
}

std::string TFileListBox::SelectedName() const {
    const auto selected = selectedItems();
    return selected.isEmpty() ? std::string() : RawOf(selected.front()->data(Qt::UserRole));
}

bool TFileListBox::SelectFile(const std::string& name) {
    for (int row = 0; row < count(); ++row) {
        if (RawOf(item(row)->data(Qt::UserRole)) == name) {
            setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return false;
}

std::vector<std::string> TFileListBox::Names() const {
    std::vector<std::string> names;
    for (int row = 0; row < count(); ++row)
        names.push_back(RawOf(item(row)->data(Qt::UserRole)));
    return names;
}

void TFileListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (OnClick)
        OnClick();
}

void TFileListBox::Fill(const std::string& keepSelected) {
    filling_ = true;
    clear();
    if (!directory_.empty()) {
        const TDirectoryEntries entries = ReadDirectory(directory_);
        for (const std::string& name : entries.Files) {
            const QString shown = Display(name);
            if (!MatchesMask(shown, mask_))
                continue;
            auto* row = new QListWidgetItem(shown, this);
            row->setData(Qt::UserRole, QByteArray::fromStdString(name));
            if (!keepSelected.empty() && name == keepSelected)
                setCurrentItem(row, QItemSelectionModel::ClearAndSelect);
        }
    }
    filling_ = false;
    FillEdit();
}

void TFileListBox::UserSelectionChanged() {
    FillEdit();
    if (OnClick)
        OnClick();
}

void TFileListBox::FillEdit() {
    if (fileEdit_ == nullptr)
        return;
    const std::string name = SelectedName();
    if (name.empty()) {
        fileEdit_->setText(mask_);
        fileEdit_->setProperty(RawNameProperty, QVariant());
    } else {
        fileEdit_->setText(Display(name));
        fileEdit_->setProperty(RawNameProperty, QByteArray::fromStdString(name));
    }
}

// --- TDirectoryListBox --------------------------------------------------

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(8);
    setUniformRowHeights(true);
    setIconSize(QSize(14, 14));
    setItemDelegate(new TFixedRowDelegate(RowHeight, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Deep paths elide their names rather than scroll sideways.
    header()->setStretchLastSection(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] {
        if (!filling_ && OnClick)
            OnClick();
    });
}

bool TDirectoryListBox::SetDirectory(const std::string& dir) {
    const std::string wanted = NormalizeDirectory(dir);
    if (wanted.empty() || wanted.front() != '/')
        return false;
    const TDirectoryEntries entries = ReadDirectory(wanted);
    if (!entries.Ok)
        return false;
    const bool changed = wanted != directory_;
    directory_ = wanted;
    Fill(entries);
    if (changed) {
        if (fileList_ != nullptr)
            fileList_->SetDirectory(directory_);
        UpdateLabel();
        if (OnChange)
            OnChange();
    }
    return true;
}

void TDirectoryListBox::Refresh() {
    const TDirectoryEntries entries = ReadDirectory(directory_);
    if (entries.Ok)
        Fill(entries);
}

void TDirectoryListBox::SetFileList(TFileListBox* list) {
    fileList_ = list;
}

void TDirectoryListBox::SetDirLabel(QLabel* label) {
    dirLabel_ = label;
    UpdateLabel();
}

std::vector<std::string> TDirectoryListBox::EntryPaths() const {
    std::vector<std::string> paths;
    for (QTreeWidgetItemIterator it(const_cast<TDirectoryListBox*>(this)); *it; ++it)
        paths.push_back(RawOf((*it)->data(0, Qt::UserRole)));
    return paths;
}

bool TDirectoryListBox::OpenEntry(const std::string& path) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (RawOf((*it)->data(0, Qt::UserRole)) == path) {
            Open(*it);
            return true;
        }
    }
    return false;
}

void TDirectoryListBox::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (OnClick)
        OnClick();
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // Handled here rather than through the view's signals: opening rebuilds
    // the list, and the base class would go on using the clicked row.
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && target != nullptr) {
        event->accept();
        Open(target);
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentItem() != nullptr) {
        event->accept();
        Open(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void TDirectoryListBox::Fill(const TDirectoryEntries& entries) {
    filling_ = true;
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem* parent = nullptr;
    for (const std::string& path : DirectoryChain(directory_)) {
        const QString text = path == "/" ? QStringLiteral("/") : Display(FileNamePart(path));
        auto* row = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        row->setText(0, text);
        row->setIcon(0, openIcon);
        row->setData(0, Qt::UserRole, QByteArray::fromStdString(path));
        parent = row;
    }
    for (const std::string& name : entries.Directories) {
        auto* row = new QTreeWidgetItem(parent);
        row->setText(0, Display(name));
        row->setIcon(0, closedIcon);
        row->setData(0, Qt::UserRole, QByteArray::fromStdString(JoinPath(directory_, name)));
    }
    expandAll();
    setCurrentItem(parent);
    // The current directory at the top, so that its subdirectories show below it.
    if (parent != nullptr)
        scrollToItem(parent, QAbstractItemView::PositionAtTop);
    filling_ = false;
}

void TDirectoryListBox::Open(QTreeWidgetItem* item) {
    const std::string path = RawOf(item->data(0, Qt::UserRole));
    if (path == directory_)
        return;
    if (!SetDirectory(path))
        QApplication::beep();
}

void TDirectoryListBox::UpdateLabel() {
    if (dirLabel_ == nullptr)
        return;
    const QString full = Display(directory_);
    const QFontMetrics metrics(dirLabel_->font());
    dirLabel_->setText(MinimizeName(
        full, [&](const QString& text) { return metrics.horizontalAdvance(text); },
        dirLabel_->width()));
    dirLabel_->setToolTip(full);
}

// --- TDriveComboBox -----------------------------------------------------

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (dirList_ == nullptr || index < 0 || index >= static_cast<int>(volumes_.size()))
            return;
        if (!dirList_->SetDirectory(volumes_[static_cast<size_t>(index)].Root)) {
            QApplication::beep();
            ShowDriveOf(dirList_->Directory());
        }
    });
}

void TDriveComboBox::SetVolumes(std::vector<TVolume> volumes) {
    volumes_ = std::move(volumes);
    const QSignalBlocker blocker(this);
    clear();
    for (const TVolume& volume : volumes_)
        addItem(volume.Caption);
}

void TDriveComboBox::ShowDriveOf(const std::string& dir) {
    int best = -1;
    size_t bestLength = 0;
    for (size_t i = 0; i < volumes_.size(); ++i) {
        const std::string& root = volumes_[i].Root;
        if (IsInside(dir, root) && (best < 0 || root.size() > bestLength)) {
            best = static_cast<int>(i);
            bestLength = root.size();
        }
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(best);
}

void TDriveComboBox::Choose(int index) {
    setCurrentIndex(index);
    emit activated(index);
}

// --- TFilterComboBox ----------------------------------------------------

TFilterComboBox::TFilterComboBox(const QString& filter, QWidget* parent) : QComboBox(parent) {
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        addItem(parts[i]);
        masks_ << parts[i + 1];
    }
    connect(this, &QComboBox::activated, this, [this](int) {
        if (fileList_ != nullptr)
            fileList_->SetMask(Mask());
    });
}

QString TFilterComboBox::Mask() const {
    const int index = currentIndex();
    return index >= 0 && index < masks_.size() ? masks_[index] : QStringLiteral("*.*");
}

void TFilterComboBox::Choose(int index) {
    setCurrentIndex(index);
    emit activated(index);
}

}  // namespace ziv
