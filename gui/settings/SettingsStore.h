// SPDX-License-Identifier: GPL-3.0-or-later
// The three per-user values the tool remembers between runs: the open dialog's folder and the
// two repair options. Each call opens the store afresh; nothing is cached between calls. A read
// never fails; a write that fails throws std::runtime_error naming the settings file.
#pragma once

#include <QString>

namespace tidy {

struct StoredOptions {
    bool driehoeken = false; // "Remove triangles outside boundary"
    bool curve = false;      // "Correct curves for missing "rot" attribute"
};

class SettingsStore {
public:
    // Both options, or both off when either value is missing or not an integer.
    StoredOptions readOptions() const;
    // Writes `driehoeken`, then `curve`, as 1 or 0; a failed write stops it there.
    void writeOptions(bool driehoeken, bool curve) const;
    // The folder of the file last opened, or "" when none is stored or it is not text.
    QString readInitialFolder() const;
    // Stores the folder, empty text included.
    void writeInitialFolder(const QString& folder) const;
};

} // namespace tidy
