#pragma once
// A PNG picture read a row at a time and reduced while it is read: it takes
// the memory of the reduced picture and of a few rows, whatever the picture's
// size, bit depth, colours or interlacing. An interlaced picture is reduced
// from its last pass, every other row at full width, which is enough for a
// picture reduced to at most half its height (the reason to read it so).

#include <QImage>
#include <QSize>

#include <functional>

class QIODevice;

namespace tv::forms {

// Told how many rows are read of how many; false stops the reading.
using RowProgress = std::function<bool(qint64 done, qint64 total)>;

// The PNG picture in `device`, from where it stands, reduced to `size`. Null
// when it is no whole PNG picture, or when `progress` stopped the reading
// (then `stopped` is set).
QImage readPngReduced(QIODevice& device, const QSize& size, const RowProgress& progress = {}, bool* stopped = nullptr);

}  // namespace tv::forms
