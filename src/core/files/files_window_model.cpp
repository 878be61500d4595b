#include "core/files/files_window_model.h"

#include "base/path_rules.h"

namespace ziv {

TFilesWindowModel::TFilesWindowModel(TMessageSlots& messageSlots, TKeyer& keyer,
                                     std::function<void()> makeMainNarrow,
                                     TBrowsedFileSystem& fileSystem, TFilesWindowView& view,
                                     const std::string& filter)
    : slots_(messageSlots),
      keyer_(keyer),
      makeMainNarrow_(std::move(makeMainNarrow)),
      fileSystem_(fileSystem),
      view_(view),
      filters_(ParseFilter(filter)),
      mask_(filters_.empty() ? "*.*" : filters_.front().Mask) {}

void TFilesWindowModel::Start(const std::string& dir, std::vector<TVolume> volumes) {
    volumes_ = std::move(volumes);
    bool listed = SetDirectory(dir);
    for (std::size_t i = 0; !listed && i < volumes_.size(); ++i)
        listed = SetDirectory(volumes_[i].Root);
    view_.ShowDrive(DriveOf(directory_));
}

bool TFilesWindowModel::SetDirectory(const std::string& dir) {
    const TPathStyle style = fileSystem_.PathStyle();
    const std::string wanted = NormalizedDirectory(dir, style);
    if (RootOf(wanted, style).empty())
        return false;
    const TDirectoryEntries entries = fileSystem_.Read(wanted);
    if (!entries.Ok)
        return false;
    const bool changed = wanted != directory_;
    directory_ = wanted;
    ShowRows(entries.Directories);
    if (changed)
        DirectoryChanged(entries.Files);
    return true;
}

void TFilesWindowModel::Refresh() {
    const TDirectoryEntries entries = ReadCurrent();
    if (entries.Ok)
        ShowRows(entries.Directories);
    ListFiles(entries.Files, selected_ >= 0 ? fileNames_[static_cast<size_t>(selected_)] : "");
}

void TFilesWindowModel::Link() {
    if (linked_)
        return;
    linked_ = true;
    view_.ShowDirectory(directory_);
    view_.ShowFileEdit(FileEditText());
}

void TFilesWindowModel::DirectoryRowOpened(std::size_t row) {
    if (row >= rows_.size() || rows_[row].Path == directory_)
        return;
    if (!SetDirectory(rows_[row].Path))
        view_.Refuse();
}

void TFilesWindowModel::FileSelected(int row) {
    selected_ = row >= 0 && row < static_cast<int>(fileNames_.size()) ? row : -1;
    if (linked_)
        view_.ShowFileEdit(FileEditText());
    Link();
}

void TFilesWindowModel::FilterChosen(int index) {
    if (!linked_ || index < 0 || index >= static_cast<int>(filters_.size()))
        return;
    mask_ = filters_[static_cast<size_t>(index)].Mask;
    ListFiles(ReadCurrent().Files, {});
}

void TFilesWindowModel::DriveChosen(int index) {
    if (!linked_ || index < 0 || index >= static_cast<int>(volumes_.size()))
        return;
    if (!SetDirectory(volumes_[static_cast<size_t>(index)].Root)) {
        view_.Refuse();
        view_.ShowDrive(DriveOf(directory_));
    }
}

void TFilesWindowModel::FormShow() {
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        view_.ShowSlotFile(n, FileNamePart(slots_.Path(n)));
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        view_.ShowLabel(n, keyer_.PlayButton(n).Caption());
}

void TFilesWindowModel::EnterClick(int n) {
    // Row 3 hands its label over at once, whether or not a file follows.
    if (n == 3)
        keyer_.BtnPlay3.SetCaption(view_.LabelEditText(3));
    const std::optional<std::string> chosen = ChosenPath();
    if (!chosen)
        return;
    const std::optional<std::string> path = fileSystem_.SlotPath(*chosen);
    if (!path) {
        // No spelling the sound output could open the file by.
        view_.Refuse();
        return;
    }
    slots_.SetPath(n, *path);
    view_.ShowSlotFile(n, FileNamePart(*path));
}

void TFilesWindowModel::BitBtn2Click() {
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        keyer_.PlayButton(n).SetCaption(view_.LabelEditText(n));
    view_.Hide();
    if (makeMainNarrow_)
        makeMainNarrow_();
}

std::optional<std::string> TFilesWindowModel::ChosenPath() const {
    if (!linked_ || selected_ < 0)
        return std::nullopt;
    return JoinPath(directory_, fileNames_[static_cast<size_t>(selected_)]);
}

void TFilesWindowModel::ShowRows(const std::vector<std::string>& directories) {
    rows_.clear();
    for (const std::string& path : DirectoryChain(directory_, fileSystem_.PathStyle())) {
        const int depth = static_cast<int>(rows_.size());
        rows_.push_back({path, depth == 0 ? path : FileNamePart(path), depth});
    }
    const std::size_t current = rows_.size() - 1;
    for (const std::string& name : directories)
        rows_.push_back({JoinPath(directory_, name), name, static_cast<int>(current) + 1});
    view_.ShowDirectoryRows(rows_, current);
}

void TFilesWindowModel::ListFiles(const std::vector<std::string>& names,
                                  const std::string& keepSelected) {
    const TFoldCase fold = [this](const std::string& name) { return fileSystem_.Folded(name); };
    fileNames_.clear();
    selected_ = -1;
    for (const std::string& name : names) {
        if (!MatchesMask(name, mask_, fold))
            continue;
        if (!keepSelected.empty() && name == keepSelected)
            selected_ = static_cast<int>(fileNames_.size());
        fileNames_.push_back(name);
    }
    view_.ShowFiles(fileNames_, selected_);
    if (linked_)
        view_.ShowFileEdit(FileEditText());
}

void TFilesWindowModel::DirectoryChanged(const std::vector<std::string>& files) {
    ListFiles(files, {});
    if (linked_) {
        view_.ShowDirectory(directory_);
        view_.ShowDrive(DriveOf(directory_));
    }
}

TDirectoryEntries TFilesWindowModel::ReadCurrent() {
    // No directory when neither the start nor any drive could be read.
    return directory_.empty() ? TDirectoryEntries{} : fileSystem_.Read(directory_);
}

std::string TFilesWindowModel::FileEditText() const {
    return selected_ >= 0 ? fileNames_[static_cast<size_t>(selected_)] : mask_;
}

int TFilesWindowModel::DriveOf(const std::string& dir) const {
    const TFoldCase fold = [this](const std::string& path) { return fileSystem_.Folded(path); };
    int best = -1;
    for (std::size_t i = 0; i < volumes_.size(); ++i) {
        const std::string& root = volumes_[i].Root;
        if (IsInside(dir, root, fileSystem_.PathStyle(), fold) &&
            (best < 0 || root.size() > volumes_[static_cast<size_t>(best)].Root.size()))
            best = static_cast<int>(i);
    }
    return best;
}

}  // namespace ziv
