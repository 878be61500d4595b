#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

// Paths and names are the file system's own bytes (std::string), as the
// model keeps them; QString only ever holds their display form, since a
// name that is not valid UTF-8 would not survive the round trip.

namespace ziv {

inline QString DisplayName(const std::string& raw) {
    return QFile::decodeName(QByteArray::fromStdString(raw));
}

}  // namespace ziv
