// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include <cstdint>
#include <functional>

// Shows a fast-changing value at most every 50 ms, so that a pass over millions of faces spends
// its time on the faces; flush() (and the destructor) show the last value exactly.
class ThrottledDisplay {
public:
    explicit ThrottledDisplay(std::function<void(std::int32_t)> show) : show_(std::move(show)) {}
    ~ThrottledDisplay() { flush(); }
    ThrottledDisplay(const ThrottledDisplay&) = delete;
    ThrottledDisplay& operator=(const ThrottledDisplay&) = delete;

    void operator()(std::int32_t value) {
        last_ = value;
        pending_ = true;
        if (!clock_.isValid() || clock_.elapsed() >= kIntervalMs)
            flush();
    }

    void flush() {
        if (!pending_)
            return;
        pending_ = false;
        show_(last_);
        clock_.start();
    }

private:
    static constexpr qint64 kIntervalMs = 50;
    std::function<void(std::int32_t)> show_;
    QElapsedTimer clock_;
    std::int32_t last_ = 0;
    bool pending_ = false;
};
