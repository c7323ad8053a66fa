#pragma once

#include <QtGlobal>

#include <array>

// The firmware image: cell n holds the byte for address n. Cells are wider
// than a byte because that is how the image has always been held; only the
// low 8 bits are ever sent.
constexpr int FirmwareCellCount = 65000;
constexpr qint32 FirmwareEmptyCell = 0xFF;
using FirmwareImage = std::array<qint32, FirmwareCellCount>;

inline FirmwareImage emptyFirmwareImage()
{
    FirmwareImage cells;
    cells.fill(FirmwareEmptyCell);
    return cells;
}
