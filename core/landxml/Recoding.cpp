// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Recoding.h"

#include "core/landxml/Utf8.h"

namespace tidy::detail {

unsigned firstByteBeyond(Encoding encoding) {
    return encoding == Encoding::Latin1 ? 0xC4 : encoding == Encoding::Ascii ? 0x80 : 0x100;
}

void Recoder::write(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        take(p[i]);
    out_.write(buf_.data(), buf_.size());
    buf_.clear();
}

void Recoder::take(unsigned char b) {
    if (need_ > 0) {
        cp_ = (cp_ << 6) | (b & 0x3F);
        if (--need_ == 0)
            lineEnd(cp_);
        return;
    }
    need_ = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    cp_ = need_ == 0 ? b : b & (0x3F >> need_);
    if (need_ == 0)
        lineEnd(cp_);
}

void Recoder::lineEnd(std::uint32_t cp) {
    const bool afterCr = previous_ == '\r';
    previous_ = cp;
    if (cp != '\n' || lineEnd_ == LineEnd::Lf)
        return put(cp);
    if (lineEnd_ == LineEnd::Cr) {
        if (!afterCr)
            put('\r');
        return;
    }
    if (!afterCr)
        put('\r');
    put('\n');
}

void Recoder::put(std::uint32_t cp) {
    switch (encoding_) {
    case Encoding::Utf8:
        return appendUtf8(buf_, cp);
    case Encoding::Latin1:
    case Encoding::Ascii:
        if (cp < (encoding_ == Encoding::Latin1 ? 0x100u : 0x80u))
            buf_ += char(cp);
        else
            buf_ += "&#" + std::to_string(cp) + ";";
        return;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            return unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        return unit(cp);
    }
}

void Recoder::unit(std::uint32_t u) {
    const char hi = char(u >> 8), lo = char(u & 0xFF);
    buf_ += encoding_ == Encoding::Utf16LE ? lo : hi;
    buf_ += encoding_ == Encoding::Utf16LE ? hi : lo;
}

} // namespace tidy::detail
