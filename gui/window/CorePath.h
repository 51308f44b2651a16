// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace tidy {

// A file name as the core takes it: UTF-8 on Windows, where the core turns it into UTF-16 for
// the system (QFile::encodeName would give the ANSI code page, which cannot spell every name);
// elsewhere the file system's own bytes.
inline std::string corePath(const QString& name) {
#ifdef Q_OS_WIN
    return name.toStdString();
#else
    return QFile::encodeName(name).toStdString();
#endif
}

// The name the core took, back as the window shows it.
inline QString qtPath(const std::string& name) {
#ifdef Q_OS_WIN
    return QString::fromStdString(name);
#else
    return QFile::decodeName(QByteArray::fromStdString(name));
#endif
}

} // namespace tidy
