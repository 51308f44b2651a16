// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include <cstdint>
#include <functional>

// Shows a fast-changing value at most every 50 ms, so that a pass over millions of faces spends
// its time on the faces; flush() (and the destructor) show the last value exactly.
class ThrottledDisplay {
public:
    // With callsPerClockRead n, the clock is read on every n-th value only: for a value that
    // changes on every face, reading the clock costs more than the rest of the call.
    explicit ThrottledDisplay(std::function<void(std::int32_t)> show, int callsPerClockRead = 1)
        : show_(std::move(show)), callsPerClockRead_(callsPerClockRead) {}
    ~ThrottledDisplay() { flush(); }
    ThrottledDisplay(const ThrottledDisplay&) = delete;
    ThrottledDisplay& operator=(const ThrottledDisplay&) = delete;

    void operator()(std::int32_t value) {
        last_ = value;
        pending_ = true;
        if (++calls_ < callsPerClockRead_ && clock_.isValid())
            return;
        calls_ = 0;
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
    int callsPerClockRead_;
    int calls_ = 0;
    std::int32_t last_ = 0;
    bool pending_ = false;
};
