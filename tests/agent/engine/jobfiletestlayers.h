// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_AGENT_ENGINE_JOBFILETESTLAYERS_H
#define TESTS_AGENT_ENGINE_JOBFILETESTLAYERS_H

// Layer images and bytes shared by the tests of the binary job files.
#include <QByteArray>

#include <cstdint>
#include <vector>

// Layer `index` of a small plate: black with a white square that moves up the layers, a band of
// every grey level, and a white run that crosses a row end.
inline std::vector<std::uint8_t> testLayer(int width, int height, int index)
{
    std::vector<std::uint8_t> grey(std::size_t(width) * std::size_t(height), 0);
    for (int y = 2 + index; y < 12 + index && y < height; ++y) {
        for (int x = 3; x < 15 && x < width; ++x)
            grey[std::size_t(y * width + x)] = 255;
    }
    for (int x = 0; x < width; ++x)
        grey[std::size_t((height - 2) * width + x)] = std::uint8_t(x * 255 / (width - 1));
    for (int x = width - 5; x < width + 7; ++x)
        grey[std::size_t((height / 2) * width + x)] = 255;
    return grey;
}

inline QByteArray bytes(const std::vector<std::uint8_t>& data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), int(data.size()));
}

inline std::vector<std::uint8_t> vec(const QByteArray& data)
{
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// The 8 x 4 image both format notes use as their worked example.
inline QByteArray workedExample()
{
    QByteArray image(10, char(0));
    image += QByteArray(4, char(255)) + QByteArray(4, char(0));
    image += QByteArray::fromHex("ff8088ff") + QByteArray(10, char(0));
    return image;
}

#endif
