#pragma once

#include <QComboBox>
#include <string>
#include <vector>

#include "ui/files/volumes.h"

namespace ziv {

class TDirectoryListBox;

// The drive selector: the mounted file systems. Linked to a directory
// list, choosing one moves the list to its root.
class TDriveComboBox : public QComboBox {
public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    void SetVolumes(std::vector<TVolume> volumes);
    const std::vector<TVolume>& Volumes() const { return volumes_; }
    // Shows the file system that holds `dir`, without moving anything.
    void ShowDriveOf(const std::string& dir);
    void SetDirList(TDirectoryListBox* list) { dirList_ = list; }
    // Chooses entry `index` as the user would.
    void Choose(int index);

private:
    std::vector<TVolume> volumes_;
    TDirectoryListBox* dirList_ = nullptr;
};

}  // namespace ziv
