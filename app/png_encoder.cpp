#include "app/png_encoder.h"

#include "app/colour.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tessary::app {

namespace {

constexpr std::size_t kWindow = 32768;
// Compression as libpng sets it for filtered rows: level 6, the whole
// window, zlib's default memory, the strategy for filtered data.
constexpr int kLevel = 6;
constexpr int kMemLevel = 8;
// The stream's header for a 32 KB window at the default level: 0x78 0x9C.
constexpr std::uint8_t kZlibHeader[2] = {0x78, 0x9C};

void PutBig32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

// A deflated piece: raw deflate data ending on a byte boundary (or ending
// the stream), and the Adler-32 of its input.
struct Piece {
  std::vector<std::uint8_t> data;
  std::uint32_t adler = 1;
  bool ok = false;
};

void DeflatePiece(const std::uint8_t* in, std::size_t size, const std::uint8_t* dictionary, std::size_t dictionarySize,
                  bool last, Piece& piece) {
  piece.adler = static_cast<std::uint32_t>(adler32_z(1, in, size));
  z_stream z{};
  if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, kMemLevel, Z_FILTERED) != Z_OK) return;
  bool ok = dictionarySize == 0 ||
            deflateSetDictionary(&z, dictionary, static_cast<uInt>(dictionarySize)) == Z_OK;
  // A sync flush adds an empty stored block (5 bytes); the bound covers the rest.
  piece.data.resize(deflateBound(&z, static_cast<uLong>(size)) + 16);
  z.next_in = const_cast<Bytef*>(in);
  z.avail_in = static_cast<uInt>(size);
  std::size_t produced = 0;
  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  while (ok) {
    if (produced == piece.data.size()) piece.data.resize(piece.data.size() * 2);
    z.next_out = piece.data.data() + produced;
    z.avail_out = static_cast<uInt>(piece.data.size() - produced);
    const int r = deflate(&z, flush);
    produced = piece.data.size() - z.avail_out;
    if (r == Z_STREAM_END) break;
    if (r != Z_OK && r != Z_BUF_ERROR) ok = false;
    // Done with a sync flush once all input is in and room was left over.
    if (!last && z.avail_in == 0 && z.avail_out > 0) break;
  }
  deflateEnd(&z);
  piece.data.resize(produced);
  piece.ok = ok;
}

std::uint8_t Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// libpng's measure of a filtered row: the bytes read as signed, summed as
// magnitudes.
std::uint64_t Cost(const std::uint8_t* f, std::size_t n) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += f[i] < 128 ? f[i] : 256 - f[i];
  return sum;
}

// The filtered row libpng's adaptive choice gives: the filter type byte,
// then the row filtered by it (rowBytes + 1 bytes into `out`). `previous` is
// the row above (all zero above the first row), `bpp` the bytes of a pixel,
// `scratch` room for 4 x rowBytes bytes. Each filter goes into its own row,
// then the cheapest is kept; on a tie the one first in the order None, Sub,
// Up, Average, Paeth.
void FilterRow(const std::uint8_t* row, const std::uint8_t* previous, std::size_t rowBytes, std::size_t bpp,
               std::uint8_t* out, std::uint8_t* scratch) {
  std::uint8_t* sub = scratch;
  std::uint8_t* up = sub + rowBytes;
  std::uint8_t* avg = up + rowBytes;
  std::uint8_t* paeth = avg + rowBytes;
  for (std::size_t i = 0; i < rowBytes; ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = previous[i];
    const int c = i >= bpp ? previous[i - bpp] : 0;
    sub[i] = static_cast<std::uint8_t>(row[i] - a);
    up[i] = static_cast<std::uint8_t>(row[i] - b);
    avg[i] = static_cast<std::uint8_t>(row[i] - ((a + b) >> 1));
    paeth[i] = static_cast<std::uint8_t>(row[i] - Paeth(a, b, c));
  }
  const std::uint8_t* rows[5] = {row, sub, up, avg, paeth};
  int best = 0;
  std::uint64_t bestCost = Cost(row, rowBytes);
  for (int f = 1; f < 5; ++f) {
    const std::uint64_t cost = Cost(rows[f], rowBytes);
    if (cost < bestCost) {
      bestCost = cost;
      best = f;
    }
  }
  out[0] = static_cast<std::uint8_t>(best);
  std::memcpy(out + 1, rows[best], rowBytes);
}

}  // namespace

bool PngEncoder::Fail(const std::string& why, std::string& error) {
  open_ = false;
  error = why;
  return false;
}

bool PngEncoder::Chunk(const char* type, const void* data, std::size_t size) {
  std::uint8_t head[8];
  PutBig32(head, static_cast<std::uint32_t>(size));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32_z(0, head + 4, 4);
  if (size > 0) crc = crc32_z(crc, static_cast<const Bytef*>(data), size);
  std::uint8_t tail[4];
  PutBig32(tail, static_cast<std::uint32_t>(crc));
  return sink_(head, 8) && (size == 0 || sink_(data, size)) && sink_(tail, 4);
}

bool PngEncoder::Begin(const PngInfo& info, Sink sink, std::string& error) {
  open_ = false;
  if (info.width <= 0 || info.height <= 0 || (info.bitDepth != 8 && info.bitDepth != 16) || info.channels < 1 ||
      info.channels > 4)
    return Fail("unsupported PNG layout", error);
  info_ = info;
  sink_ = std::move(sink);
  bpp_ = static_cast<std::size_t>(info.channels) * static_cast<std::size_t>(info.bitDepth / 8);
  rowBytes_ = bpp_ * static_cast<std::size_t>(info.width);
  rowsDone_ = 0;
  previous_.assign(rowBytes_, 0);
  pending_.clear();
  window_.clear();
  adler_ = 1;
  headerWritten_ = false;

  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static constexpr std::uint8_t kColourType[5] = {0, 0, 4, 2, 6};  // by channels
  std::uint8_t ihdr[13];
  PutBig32(ihdr, static_cast<std::uint32_t>(info.width));
  PutBig32(ihdr + 4, static_cast<std::uint32_t>(info.height));
  ihdr[8] = static_cast<std::uint8_t>(info.bitDepth);
  ihdr[9] = kColourType[info.channels];
  ihdr[10] = ihdr[11] = ihdr[12] = 0;  // deflate, adaptive filters, not interlaced
  bool ok = sink_(kSignature, sizeof(kSignature)) && Chunk("IHDR", ihdr, sizeof(ihdr));

  // The colour space as the image library tags it, so that it reads back.
  const std::string& space = info.colorspace;
  std::uint8_t gamma[4];
  if (SameColourSpace(space, "sRGB")) {
    // gamma 1 / 2.2 (45455 / 100000), absolute colorimetric, the sRGB
    // primaries and white point (times 100000).
    static constexpr std::uint32_t kChromaticities[8] = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
    std::uint8_t chrm[32];
    for (int i = 0; i < 8; ++i) PutBig32(chrm + 4 * i, kChromaticities[i]);
    const std::uint8_t intent = 3;
    PutBig32(gamma, 45455);
    ok = ok && Chunk("gAMA", gamma, 4) && Chunk("sRGB", &intent, 1) && Chunk("cHRM", chrm, sizeof(chrm));
  } else if (SameColourSpace(space, "linear")) {
    PutBig32(gamma, 100000);
    ok = ok && Chunk("gAMA", gamma, 4);
  } else if (StartsWithNoCase(space, "Gamma")) {
    const char* number = space.c_str() + 5;
    char* end = nullptr;
    const double g = std::strtod(number, &end);
    if (end != number && *end == '\0' && std::isfinite(g) && g > 0.0) {
      PutBig32(gamma, static_cast<std::uint32_t>(std::floor(100000.0 / g + 0.5)));
      ok = ok && Chunk("gAMA", gamma, 4);
    }
  }
  const std::uint8_t offsets[9] = {};  // oFFs: 0, 0 in pixels
  ok = ok && Chunk("oFFs", offsets, sizeof(offsets));
  std::vector<std::pair<std::string, std::string>> text = info.text;
  if (!space.empty()) text.emplace_back("oiio:ColorSpace", space);
  for (const auto& [key, value] : text) {
    std::string body = key;
    body.push_back('\0');
    body += value;
    ok = ok && Chunk("tEXt", body.data(), body.size());
  }
  if (!ok) return Fail("write failed", error);
  open_ = true;
  return true;
}

bool PngEncoder::AddRows(const std::uint8_t* samples, int rows, std::string& error) {
  if (!open_) return Fail("output not open", error);
  if (rows < 0 || rows > info_.height - rowsDone_) return Fail("more rows than the image has", error);
  const std::size_t stride = rowBytes_ + 1;
  const std::size_t start = pending_.size();
  pending_.resize(start + static_cast<std::size_t>(rows) * stride);
  std::uint8_t* out = pending_.data() + start;
  const std::uint8_t* above = previous_.data();
  const std::size_t rowBytes = rowBytes_;
  const std::size_t bpp = bpp_;
  tbb::parallel_for(tbb::blocked_range<int>(0, rows, 8), [&](const tbb::blocked_range<int>& range) {
    const std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[4 * rowBytes]);
    for (int r = range.begin(); r != range.end(); ++r) {
      const std::uint8_t* row = samples + static_cast<std::size_t>(r) * rowBytes;
      const std::uint8_t* prev = r == 0 ? above : row - rowBytes;
      FilterRow(row, prev, rowBytes, bpp, out + static_cast<std::size_t>(r) * stride, scratch.get());
    }
  });
  if (rows > 0) std::memcpy(previous_.data(), samples + static_cast<std::size_t>(rows - 1) * rowBytes_, rowBytes_);
  rowsDone_ += rows;
  // Deflate once there is a piece for every thread (memory stays a few
  // pieces); what is left waits for more rows. A piece is deflated here only
  // when bytes follow it: the last piece of the image, whatever its size, is
  // always the one that Finish ends the stream with.
  const std::size_t full = pending_.empty() ? 0 : (pending_.size() - 1) / kPieceBytes;
  const auto threads = static_cast<std::size_t>(std::max(1, tbb::this_task_arena::max_concurrency()));
  if (full >= threads) return Deflate(full, false, error);
  return true;
}

bool PngEncoder::Deflate(std::size_t pieces, bool last, std::string& error) {
  std::vector<Piece> done(pieces);
  const std::size_t size = pending_.size();
  tbb::parallel_for(tbb::blocked_range<std::size_t>(0, pieces, 1), [&](const tbb::blocked_range<std::size_t>& range) {
    for (std::size_t j = range.begin(); j != range.end(); ++j) {
      const std::size_t begin = j * kPieceBytes;
      const std::size_t end = last && j + 1 == pieces ? size : std::min(size, begin + kPieceBytes);
      // The window the piece would have had in one stream: the 32 KB before it.
      const std::uint8_t* dictionary = nullptr;
      std::size_t dictionarySize = 0;
      if (j == 0) {
        dictionary = window_.data();
        dictionarySize = window_.size();
      } else {
        dictionarySize = std::min(kWindow, begin);
        dictionary = pending_.data() + begin - dictionarySize;
      }
      DeflatePiece(pending_.data() + begin, end - begin, dictionary, dictionarySize, last && j + 1 == pieces, done[j]);
    }
  });
  std::size_t consumed = 0;
  for (std::size_t j = 0; j < pieces; ++j) {
    Piece& piece = done[j];
    if (!piece.ok) return Fail("out of memory while compressing", error);
    const std::size_t begin = j * kPieceBytes;
    const std::size_t end = last && j + 1 == pieces ? size : std::min(size, begin + kPieceBytes);
    adler_ = static_cast<std::uint32_t>(adler32_combine(adler_, piece.adler, static_cast<z_off_t>(end - begin)));
    consumed = end;
    if (!headerWritten_) {
      piece.data.insert(piece.data.begin(), kZlibHeader, kZlibHeader + 2);
      headerWritten_ = true;
    }
    if (last && j + 1 == pieces) {
      std::uint8_t check[4];
      PutBig32(check, adler_);
      piece.data.insert(piece.data.end(), check, check + 4);
    }
    if (!Chunk("IDAT", piece.data.data(), piece.data.size())) return Fail("write failed", error);
  }
  // The last 32 KB deflated prime the next piece.
  if (consumed >= kWindow) {
    window_.assign(pending_.begin() + static_cast<std::ptrdiff_t>(consumed - kWindow),
                   pending_.begin() + static_cast<std::ptrdiff_t>(consumed));
  } else {
    window_.insert(window_.end(), pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(consumed));
    if (window_.size() > kWindow) window_.erase(window_.begin(), window_.end() - static_cast<std::ptrdiff_t>(kWindow));
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(consumed));
  return true;
}

bool PngEncoder::Finish(std::string& error) {
  if (!open_) return Fail("output not open", error);
  if (rowsDone_ != info_.height)
    return Fail(std::to_string(rowsDone_) + " of " + std::to_string(info_.height) +
                    " rows were given",
                error);
  const std::size_t pieces = std::max<std::size_t>(1, (pending_.size() + kPieceBytes - 1) / kPieceBytes);
  if (!Deflate(pieces, true, error)) return false;
  open_ = false;
  if (!Chunk("IEND", nullptr, 0)) return Fail("write failed", error);
  return true;
}

}  // namespace tessary::app
