#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVariant>
#include <string>

// Paths and names are the file system's own bytes (std::string); QString
// only ever holds their display form (QFile::decodeName), since a name that
// is not valid UTF-8 would not survive the round trip. The browser's rows
// keep the bytes beside the display text as item data.

namespace ziv {

inline QString DisplayName(const std::string& raw) {
    return QFile::decodeName(QByteArray::fromStdString(raw));
}

inline QVariant RawData(const std::string& raw) {
    return QByteArray::fromStdString(raw);
}

inline std::string RawOf(const QVariant& data) {
    return data.toByteArray().toStdString();
}

}  // namespace ziv
