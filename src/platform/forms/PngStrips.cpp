// PNG pictures reduced row by row with libpng.
#include "platform/forms/PngStrips.h"

#include <QIODevice>

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <memory>
#include <vector>

namespace tv::forms {

namespace {

// Reduces rows of RGBA bytes, given one after the other, into a picture:
// every pixel of the picture is the mean of the source pixels it covers (a
// source smaller than the picture repeats its pixels).
class Reducer {
public:
    Reducer(int sourceWidth, int sourceHeight, const QSize& size)
        : image_(size, QImage::Format_RGBA8888), sourceHeight_(sourceHeight), sum_(std::size_t(size.width()) * 4) {
        for (int x = 0; x <= size.width(); ++x) columns_.push_back(int(qint64(x) * sourceWidth / size.width()));
    }
    bool ok() const { return !image_.isNull(); }
    QImage take() { return std::move(image_); }

    void addRow(const png_byte* row) {
        // Across: the mean of the columns each pixel covers.
        const int width = image_.width();
        for (int x = 0; x < width; ++x) {
            const int from = columns_[x], to = std::max(from + 1, columns_[x + 1]);
            unsigned channel[4] = {0, 0, 0, 0};
            for (const png_byte* p = row + 4 * from; p < row + 4 * to; p += 4)
                for (int c = 0; c < 4; ++c) channel[c] += p[c];
            for (int c = 0; c < 4; ++c) sum_[4 * x + c] += channel[c] / unsigned(to - from);
        }
        ++rows_;
        ++sourceRow_;
        // Down: every picture row whose source rows are all in.
        while (next_ < image_.height() && rowEnd(next_) <= sourceRow_) {
            uchar* out = image_.scanLine(next_);
            for (std::size_t i = 0; i < sum_.size(); ++i) out[i] = uchar((sum_[i] + rows_ / 2) / rows_);
            ++next_;
            // The next row starts afresh, unless it repeats this one source row.
            if (next_ >= image_.height() || rowStart(next_) >= sourceRow_)
                std::fill(sum_.begin(), sum_.end(), 0u), rows_ = 0;
        }
    }

private:
    int rowStart(int y) const { return int(qint64(y) * sourceHeight_ / image_.height()); }
    int rowEnd(int y) const { return std::max(rowStart(y) + 1, rowStart(y + 1)); }

    QImage image_;
    int sourceHeight_;
    std::vector<unsigned> sum_;
    std::vector<int> columns_;
    unsigned rows_ = 0;
    int sourceRow_ = 0, next_ = 0;
};

// libpng's structures, freed however the reading ends.
struct PngReading {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReading() { png_destroy_read_struct(&png, &info, nullptr); }
};

void failed(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void warned(png_structp, png_const_charp) {}
void readFrom(png_structp png, png_bytep data, size_t length) {
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (device->read(reinterpret_cast<char*>(data), qint64(length)) != qint64(length))
        png_error(png, "cut");
}

// The rows of one interlacing pass (all the rows when not interlaced).
struct Pass {
    png_uint_32 rows = 0, columns = 0;
};

// Reads every row, giving those of the pass `from` to the reducer (made when
// the size of the picture is known). Everything that needs freeing is made
// before the reading starts: a failure jumps back into this function.
bool readRows(PngReading& r, QIODevice& device, const QSize& size, const RowProgress& progress, bool& stopped,
              std::vector<png_byte>& row, std::unique_ptr<Reducer>& reducer) {
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_set_read_fn(r.png, &device, readFrom);
    png_read_info(r.png, r.info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colours = 0, interlace = 0;
    png_get_IHDR(r.png, r.info, &width, &height, &depth, &colours, &interlace, nullptr, nullptr);
    // Every kind of PNG as 8-bit RGBA.
    png_set_expand(r.png);
    png_set_strip_16(r.png);
    png_set_gray_to_rgb(r.png);
    png_set_filler(r.png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != std::size_t(width) * 4)
        return false;

    Pass passes[7];
    int from = 0, count = 1;
    if (interlace == PNG_INTERLACE_ADAM7) {
        count = 7;
        for (int p = 0; p < 7; ++p) passes[p] = {PNG_PASS_ROWS(height, p), PNG_PASS_COLS(width, p)};
        from = height >= 2 ? 6 : 5;  // the odd rows whole, else the one row's odd columns
    } else {
        passes[0] = {height, width};
    }
    if (!passes[from].rows || !passes[from].columns)
        return false;
    qint64 total = 0;
    for (int p = 0; p < count; ++p) total += passes[p].columns ? passes[p].rows : 0;
    row.resize(std::size_t(width) * 4);
    reducer = std::make_unique<Reducer>(int(passes[from].columns), int(passes[from].rows), size);
    if (!reducer->ok())
        return false;
    qint64 done = 0;
    for (int p = 0; p < count; ++p) {
        if (!passes[p].columns)
            continue;  // libpng skips an empty pass
        for (png_uint_32 y = 0; y < passes[p].rows; ++y) {
            if (progress && !progress(done, total)) {
                stopped = true;
                return false;
            }
            png_read_row(r.png, row.data(), nullptr);
            if (p == from)
                reducer->addRow(row.data());
            ++done;
        }
    }
    png_read_end(r.png, nullptr);
    return true;
}

}  // namespace

QImage readPngReduced(QIODevice& device, const QSize& size, const RowProgress& progress, bool* stopped) {
    bool stop = false;
    if (stopped)
        *stopped = false;
    if (size.isEmpty())
        return {};
    PngReading r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failed, warned);
    if (!r.png || !(r.info = png_create_info_struct(r.png)))
        return {};
    std::vector<png_byte> row;
    std::unique_ptr<Reducer> reducer;
    const bool read = readRows(r, device, size, progress, stop, row, reducer);
    if (stopped)
        *stopped = stop;
    if (!read || !reducer)
        return {};
    return reducer->take().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace tv::forms
