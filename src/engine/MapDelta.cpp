#include "engine/MapDelta.h"

#include <cstring>

namespace morv {

namespace {

/// The bytes of one row of a picture's plane, and their count.
std::uint8_t* rowOf(HeightImage& image, int y, std::size_t& n) {
    if (image.isGrey()) {
        n = std::size_t(image.width());
        return image.grey() + std::size_t(y) * n;
    }
    n = std::size_t(image.width()) * sizeof(Colour);
    return reinterpret_cast<std::uint8_t*>(image.colour()) + std::size_t(y) * n;
}

const std::uint8_t* rowOf(const HeightImage& image, int y, std::size_t& n) {
    return rowOf(const_cast<HeightImage&>(image), y, n);
}

/// The differences between neighbouring bytes of a row (the first from 0).
void differences(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) {
    out.resize(n);
    std::uint8_t previous = 0;
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = std::uint8_t(row[i] - previous);
        previous = row[i];
    }
}

/// A difference of -8..7 (as a byte, modulo 256) fits half a byte.
bool small(std::uint8_t d) { return d < 8 || d >= 248; }

/// How many zero differences start at i (at most limit).
std::size_t zerosAt(const std::vector<std::uint8_t>& d, std::size_t i, std::size_t limit) {
    std::size_t k = 0;
    while (i + k < d.size() && d[i + k] == 0 && k < limit) ++k;
    return k;
}

/// Appends a row as its differences: a token 0..127 stands for that many plus one
/// zero differences; 128..191 is followed by (token - 127) differences of -8..7,
/// two to a byte (the first in the low half); 192..255 by (token - 191)
/// differences as they are.
void packRow(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& d) {
    differences(row, n, d);
    std::size_t i = 0;
    while (i < n) {
        const std::size_t zeros = zerosAt(d, i, 128);
        if (zeros >= 4 || zeros == n - i) {
            out.push_back(std::uint8_t(zeros - 1));
            i += zeros;
        } else if (small(d[i])) {
            std::size_t k = 0;
            while (i + k < n && k < 64 && small(d[i + k]) && zerosAt(d, i + k, 4) < 4) ++k;
            out.push_back(std::uint8_t(127 + k));
            for (std::size_t a = 0; a < k; a += 2) {
                const std::uint8_t lo = d[i + a] & 0x0f;
                const std::uint8_t hi = a + 1 < k ? std::uint8_t(d[i + a + 1] & 0x0f) : 0;
                out.push_back(std::uint8_t(lo | (hi << 4)));
            }
            i += k;
        } else {
            std::size_t k = 0;
            while (i + k < n && k < 64 && !small(d[i + k])) ++k;
            out.push_back(std::uint8_t(191 + k));
            out.insert(out.end(), d.begin() + std::ptrdiff_t(i), d.begin() + std::ptrdiff_t(i + k));
            i += k;
        }
    }
}

/// Undoes packRow into row (n bytes).
void unpackRow(const std::uint8_t* in, std::uint8_t* row, std::size_t n) {
    std::uint8_t previous = 0;
    std::size_t i = 0;
    // A half byte of -8..7 back to a whole difference.
    const auto widen = [](std::uint8_t nibble) { return std::uint8_t(nibble < 8 ? nibble : nibble | 0xf0); };
    while (i < n) {
        const std::uint8_t token = *in++;
        if (token < 128) {
            const std::size_t run = std::size_t(token) + 1;
            std::memset(row + i, previous, run);
            i += run;
        } else if (token < 192) {
            const std::size_t k = std::size_t(token) - 127;
            for (std::size_t a = 0; a < k; ++a) {
                const std::uint8_t packed = in[a / 2];
                previous = std::uint8_t(previous + widen(a % 2 == 0 ? packed & 0x0f : packed >> 4));
                row[i++] = previous;
            }
            in += (k + 1) / 2;
        } else {
            for (std::size_t k = 0; k < std::size_t(token) - 191; ++k) {
                previous = std::uint8_t(previous + *in++);
                row[i++] = previous;
            }
        }
    }
}

}  // namespace

PackedPicture::PackedPicture(const HeightImage& image)
    : m_width(image.width()), m_height(image.height()), m_grey(image.isGrey()) {
    m_rowStart.reserve(std::size_t(m_height) + 1);
    std::vector<std::uint8_t> work;
    for (int y = 0; y < m_height; ++y) {
        m_rowStart.push_back(m_bytes.size());
        std::size_t n = 0;
        const std::uint8_t* row = rowOf(image, y, n);
        packRow(row, n, m_bytes, work);
    }
    m_rowStart.push_back(m_bytes.size());
    m_bytes.shrink_to_fit();
}

std::shared_ptr<HeightImage> PackedPicture::unpack() const {
    auto image = std::make_shared<HeightImage>(m_width, m_height);
    if (!m_grey) image->promoteToColour();
    for (int y = 0; y < m_height; ++y) {
        std::size_t n = 0;
        std::uint8_t* row = rowOf(*image, y, n);
        morv::unpackRow(m_bytes.data() + m_rowStart[std::size_t(y)], row, n);
    }
    return image;
}

void PackedPicture::unpackRow(int y, void* out) const {
    const std::size_t n = std::size_t(m_width) * (m_grey ? 1 : sizeof(Colour));
    morv::unpackRow(m_bytes.data() + m_rowStart[std::size_t(y)], static_cast<std::uint8_t*>(out), n);
}

PictureChange::PictureChange(const PackedPicture& before, const HeightImage& after) {
    if (before.width() != after.width() || before.height() != after.height() || before.grey() != after.isGrey()) {
        m_none = false;
        m_reshaped = true;
        m_before = before;
        m_after = PackedPicture(after);
        return;
    }
    m_delta.m_width = before.width();
    m_delta.m_height = before.height();
    m_delta.m_grey = before.grey();
    m_delta.m_rowStart.reserve(std::size_t(before.height()) + 1);
    std::vector<std::uint8_t> old, difference, work;
    for (int y = 0; y < before.height(); ++y) {
        std::size_t n = 0;
        const std::uint8_t* now = rowOf(after, y, n);
        old.resize(n);
        difference.resize(n);
        unpackRow(before.m_bytes.data() + before.m_rowStart[std::size_t(y)], old.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            difference[i] = std::uint8_t(now[i] - old[i]);
            if (difference[i] != 0) m_none = false;
        }
        m_delta.m_rowStart.push_back(m_delta.m_bytes.size());
        packRow(difference.data(), n, m_delta.m_bytes, work);
    }
    m_delta.m_rowStart.push_back(m_delta.m_bytes.size());
    if (m_none) m_delta = PackedPicture();
    m_delta.m_bytes.shrink_to_fit();
}

namespace {

/// Adds (sign 1) or takes away (sign -1) the packed differences row by row.
void applyDelta(const PackedPicture& delta, const std::vector<std::uint8_t>& bytes, const std::vector<std::size_t>& starts,
                HeightImage& image, int sign) {
    std::vector<std::uint8_t> difference;
    for (int y = 0; y < delta.height(); ++y) {
        std::size_t n = 0;
        std::uint8_t* row = rowOf(image, y, n);
        difference.resize(n);
        unpackRow(bytes.data() + starts[std::size_t(y)], difference.data(), n);
        for (std::size_t i = 0; i < n; ++i) row[i] = std::uint8_t(row[i] + sign * difference[i]);
    }
}

}  // namespace

std::shared_ptr<HeightImage> PictureChange::undo(std::shared_ptr<HeightImage> image) const {
    if (m_none) return image;
    if (m_reshaped) return m_before.unpack();
    applyDelta(m_delta, m_delta.m_bytes, m_delta.m_rowStart, *image, -1);
    return image;
}

std::shared_ptr<HeightImage> PictureChange::redo(std::shared_ptr<HeightImage> image) const {
    if (m_none) return image;
    if (m_reshaped) return m_after.unpack();
    applyDelta(m_delta, m_delta.m_bytes, m_delta.m_rowStart, *image, 1);
    return image;
}

}  // namespace morv
