// The program's PNG encoder, read back by the image library: every sample,
// the tags, the same file for every way the rows arrive, and failures; and
// its reader of common PNGs against the library's.

#include "app/png_encoder.h"

#include "app/png_decoder.h"

#include "app/image_io.h"
#include "app/library/library.h"

#include <gtest/gtest.h>
#include <OpenImageIO/imageio.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/app/test_util.h"

namespace tessary::app::testing {
namespace {

namespace OIIO = OIIO_NAMESPACE;

std::size_t RowBytes(int width, int channels, int bitDepth) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(channels) * static_cast<std::size_t>(bitDepth / 8);
}

// Samples as PNG stores them: noise in one half of the rows (the filters
// gain nothing), smooth ramps in the other (every filter has its rows).
std::vector<std::uint8_t> Samples(int width, int height, int channels, int bitDepth, unsigned seed) {
  const std::size_t rowBytes = RowBytes(width, channels, bitDepth);
  std::vector<std::uint8_t> s(rowBytes * static_cast<std::size_t>(height));
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const std::size_t at = static_cast<std::size_t>(y) * rowBytes + i;
      s[at] = y % 4 < 2 ? static_cast<std::uint8_t>(random()) : static_cast<std::uint8_t>(i * 3 + static_cast<std::size_t>(y));
    }
  }
  return s;
}

// Encodes `samples` handing the rows over `band` at a time.
std::string Encode(const PngInfo& info, const std::vector<std::uint8_t>& samples, int band) {
  std::string file;
  PngEncoder png;
  std::string error;
  auto sink = [&file](const void* data, std::size_t size) {
    file.append(static_cast<const char*>(data), size);
    return true;
  };
  EXPECT_TRUE(png.Begin(info, sink, error)) << error;
  const std::size_t rowBytes = RowBytes(info.width, info.channels, info.bitDepth);
  for (int y = 0; y < info.height; y += band) {
    const int rows = std::min(band, info.height - y);
    EXPECT_TRUE(png.AddRows(samples.data() + static_cast<std::size_t>(y) * rowBytes, rows, error)) << error;
  }
  EXPECT_TRUE(png.Finish(error)) << error;
  return file;
}

struct Layout {
  int width, height, channels, bitDepth;
};

TEST(PngEncoder, EverySampleReadsBackAndBandsDoNotChangeTheFile) {
  // Sizes whose filtered rows end inside, exactly at and far beyond the
  // pieces deflated side by side.
  const std::size_t piece = PngEncoder::kPieceBytes;
  const Layout layouts[] = {
      {1, 1, 4, 8},
      {3, 5, 1, 8},
      {7, 9, 2, 16},
      {33, 17, 3, 8},
      {1023, 200, 4, 8},                                        // rows of 4,093 bytes: pieces end mid-row
      {static_cast<int>((piece - 1) / 4), 6, 4, 8},             // rows of exactly one piece
      {640, 480, 4, 16},                                        // 2.4 MB, ten pieces
  };
  ScratchDir dir("png-encoder");
  for (const Layout& l : layouts) {
    SCOPED_TRACE(std::to_string(l.width) + "x" + std::to_string(l.height) + ", " + std::to_string(l.channels) +
                 " channels, " + std::to_string(l.bitDepth) + " bits");
    PngInfo info;
    info.width = l.width;
    info.height = l.height;
    info.channels = l.channels;
    info.bitDepth = l.bitDepth;
    const std::vector<std::uint8_t> samples = Samples(l.width, l.height, l.channels, l.bitDepth, 7);
    const std::string whole = Encode(info, samples, l.height);
    for (int band : {1, 3, 64}) EXPECT_EQ(Encode(info, samples, band), whole) << band << " rows at a time";

    const std::string path = (dir / "p.png").string();
    WriteFile(path, whole);
    // As stored: the library would otherwise multiply colour by alpha.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    ASSERT_TRUE(in) << OIIO::geterror();
    const OIIO::ImageSpec& header = in->spec();
    ASSERT_EQ(header.width, l.width);
    ASSERT_EQ(header.height, l.height);
    ASSERT_EQ(header.nchannels, l.channels);
    // Read as stored: 16-bit samples come back in the machine's order.
    const OIIO::TypeDesc type = l.bitDepth == 16 ? OIIO::TypeDesc::UINT16 : OIIO::TypeDesc::UINT8;
    std::vector<std::uint8_t> back(samples.size());
    ASSERT_TRUE(in->read_image(0, 0, 0, l.channels, type, back.data())) << in->geterror();
    if (l.bitDepth == 16) {
      for (std::size_t i = 0; i < back.size(); i += 2) std::swap(back[i], back[i + 1]);
    }
    EXPECT_TRUE(back == samples);
    EXPECT_EQ(in->geterror(), "");
  }
}

// The attributes a PNG reads back with, as "name=value" lines.
std::vector<std::string> Attributes(const std::string& path) {
  auto in = OIIO::ImageInput::open(path);
  EXPECT_TRUE(in) << OIIO::geterror();
  std::vector<std::string> list;
  if (!in) return list;
  for (const OIIO::ParamValue& p : in->spec().extra_attribs)
    list.push_back(p.name().string() + "=" + p.get_string());
  return list;
}

TEST(PngEncoder, ReadsBackWithTheAttributesOfTheLibrarysOwnWriter) {
  ScratchDir dir("png-tags");
  for (const char* space : {"sRGB", "srgb", "linear", "Gamma2.2", "Gamma1.8", "Rec709", ""}) {
    SCOPED_TRACE(space);
    PngInfo info;
    info.width = 4;
    info.height = 2;
    info.colorspace = space;
    info.text = {{"Software", "tessary test"}, {"Title", "scene.json"}, {"Description", "tessary region 0 0 4 2 of 8x8"}};
    const std::vector<std::uint8_t> samples = Samples(4, 2, 4, 8, 1);
    const std::string ours = (dir / "ours.png").string();
    WriteFile(ours, Encode(info, samples, 2));

    OIIO::ImageSpec header(4, 2, 4, OIIO::TypeDesc::UINT8);
    header.alpha_channel = 3;
    header.attribute("oiio:UnassociatedAlpha", 1);
    header.attribute("Software", "tessary test");
    header.attribute("DocumentName", "scene.json");
    header.attribute("ImageDescription", "tessary region 0 0 4 2 of 8x8");
    if (*space) header.attribute("oiio:ColorSpace", space);
    const std::string theirs = (dir / "theirs.png").string();
    auto out = OIIO::ImageOutput::create(theirs);
    ASSERT_TRUE(out && out->open(theirs, header));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT8, samples.data()));
    ASSERT_TRUE(out->close());

    EXPECT_EQ(Attributes(ours), Attributes(theirs));
  }
}

TEST(PngEncoder, FailuresStopTheEncoder) {
  PngInfo info;
  info.width = 300;
  info.height = 300;
  const std::vector<std::uint8_t> samples = Samples(300, 300, 4, 8, 3);
  std::string error;
  {
    // A sink that takes the header and then refuses: the rows fail, and
    // nothing more is written.
    std::size_t taken = 0;
    int refused = 0;
    PngEncoder png;
    ASSERT_TRUE(png.Begin(info, [&](const void*, std::size_t size) {
      if (taken > 100) return ++refused, false;
      taken += size;
      return true;
    }, error));
    bool ok = png.AddRows(samples.data(), 300, error);
    if (ok) ok = png.Finish(error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "write failed");
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(png.AddRows(samples.data(), 1, error));
  }
  {
    PngEncoder png;
    ASSERT_TRUE(png.Begin(info, [](const void*, std::size_t) { return true; }, error));
    ASSERT_TRUE(png.AddRows(samples.data(), 299, error));
    EXPECT_FALSE(png.Finish(error));
    EXPECT_EQ(error, "299 of 300 rows were given");
    EXPECT_FALSE(png.AddRows(samples.data(), 2, error));
  }
  {
    PngEncoder png;
    ASSERT_TRUE(png.Begin(info, [](const void*, std::size_t) { return true; }, error));
    EXPECT_FALSE(png.AddRows(samples.data(), 301, error));
    EXPECT_EQ(error, "more rows than the image has");
  }
  for (const Layout& bad : {Layout{0, 1, 4, 8}, Layout{1, 0, 4, 8}, Layout{1, 1, 5, 8}, Layout{1, 1, 4, 12}}) {
    PngInfo b;
    b.width = bad.width;
    b.height = bad.height;
    b.channels = bad.channels;
    b.bitDepth = bad.bitDepth;
    int writes = 0;
    PngEncoder png;
    EXPECT_FALSE(png.Begin(b, [&](const void*, std::size_t) { return ++writes, true; }, error));
    EXPECT_EQ(writes, 0);
  }
}

// A chunk inserted after IHDR (which ends at byte 33), with its checksum.
std::string WithChunk(const std::string& png, const std::string& type, const std::string& body) {
  std::string chunk;
  for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<char>((body.size() >> shift) & 0xFF));
  chunk += type + body;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), static_cast<uInt>(chunk.size() - 4));
  for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<char>((crc >> shift) & 0xFF));
  return png.substr(0, 33) + chunk + png.substr(33);
}

TEST(PngDecoder, CommonPngsReadAsTheLibraryReadsThemAndTheRestAreLeftToIt) {
  ScratchDir dir("png-decoder");
  const std::string path = (dir / "d.png").string();
  for (int channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE(std::to_string(channels) + " channels");
    PngInfo info;
    info.width = 37;
    info.height = 23;
    info.channels = channels;
    WriteFile(path, Encode(info, Samples(37, 23, channels, 8, 5), 23));
    std::vector<std::uint8_t> ours(37 * 23 * 4, 0);
    std::string error;
    ASSERT_EQ(ReadPngPixels(path, 37, 23, ours.data(), error), PngPixels::Read) << error;

    // The library's reading, grey spread and a missing alpha opaque.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    ASSERT_TRUE(in);
    std::vector<std::uint8_t> theirs(37 * 23 * 4, 0);
    ASSERT_TRUE(in->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT8, theirs.data(), 4));
    for (std::size_t p = 0; p < theirs.size(); p += 4) {
      std::uint8_t* d = theirs.data() + p;
      if (channels <= 2) d[3] = channels == 2 ? d[1] : 255;
      if (channels <= 2) d[1] = d[2] = d[0];
      if (channels == 3) d[3] = 255;
    }
    EXPECT_TRUE(ours == theirs);
  }

  PngInfo rgb;
  rgb.width = 8;
  rgb.height = 8;
  rgb.channels = 3;
  const std::string plain = Encode(rgb, Samples(8, 8, 3, 8, 2), 8);
  PngInfo wide = rgb;
  wide.bitDepth = 16;
  // The first IDAT's zlib header broken, its checksum made right again.
  std::string broken = plain;
  const std::size_t idat = broken.find("IDAT");
  broken[idat + 4] = 0x12;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(broken.data() + idat),
                          static_cast<uInt>(4 + (static_cast<unsigned char>(broken[idat - 2]) << 8) +
                                            static_cast<unsigned char>(broken[idat - 1])));
  const std::size_t end = idat + 4 + (static_cast<std::size_t>(static_cast<unsigned char>(broken[idat - 2])) << 8) +
                          static_cast<unsigned char>(broken[idat - 1]);
  for (int i = 0; i < 4; ++i) broken[end + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
  const struct {
    const char* label;
    std::string file;
    int width;
    PngPixels expected;
  } cases[] = {
      {"16 bits", Encode(wide, Samples(8, 8, 3, 16, 2), 8), 8, PngPixels::NotHandled},
      {"a transparent colour", WithChunk(plain, "tRNS", std::string(6, '\0')), 8, PngPixels::NotHandled},
      {"another size than the header said", plain, 9, PngPixels::NotHandled},
      {"not a PNG", "GIF89a and more", 8, PngPixels::NotHandled},
      {"a broken stream", broken, 8, PngPixels::Failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFile(path, c.file);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(c.width) * 8 * 4);
    std::string error;
    EXPECT_EQ(ReadPngPixels(path, c.width, 8, pixels.data(), error), c.expected);
    EXPECT_EQ(error.empty(), c.expected != PngPixels::Failed) << error;
  }
}

std::string BigEndian(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string Deflated(const std::string& text) {
  std::string out(compressBound(static_cast<uLong>(text.size())), '\0');
  uLongf size = static_cast<uLongf>(out.size());
  EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                     static_cast<uLong>(text.size())),
            Z_OK);
  out.resize(size);
  return out;
}

// The program reads common PNGs and their tags itself and leaves the rest to
// the image library; both ways give the same image, colour space included.
TEST(PngDecoder, TagsAreReadAsTheLibraryReadsThem) {
  ScratchDir dir("png-tags");
  const std::string path = (dir / "t.png").string();
  using Chunks = std::vector<std::pair<std::string, std::string>>;
  const auto gamma = [](std::uint32_t g) { return std::pair<std::string, std::string>{"gAMA", BigEndian(g)}; };
  const std::pair<std::string, std::string> srgb{"sRGB", std::string(1, '\0')};
  std::string chrm;
  for (std::uint32_t v : {31270u, 32900u, 64000u, 33000u, 30000u, 60000u, 15000u, 6000u}) chrm += BigEndian(v);
  const auto text = [](const std::string& key, const std::string& value) {
    return std::pair<std::string, std::string>{"tEXt", key + std::string(1, '\0') + value};
  };
  const std::string named = "oiio:ColorSpace";
  const struct {
    const char* label;
    Chunks chunks;
    bool known;  // the program names the colour space itself
  } cases[] = {
      {"no tag", {}, true},
      {"sRGB", {srgb}, true},
      {"sRGB as the program writes it", {gamma(45455), srgb, {"cHRM", chrm}}, true},
      {"primaries alone", {{"cHRM", chrm}}, true},
      {"gamma 2.2", {gamma(45455)}, true},
      {"gamma 1", {gamma(100000)}, true},
      {"gamma 1.8", {gamma(55556)}, true},
      {"gamma 2.4", {gamma(41667)}, true},
      {"gamma 3.33 (named 3.3)", {gamma(30000)}, true},
      {"gamma 10.5 (named 10)", {gamma(9524)}, true},
      {"gamma 14.29", {gamma(7000)}, true},
      {"gamma 1000", {gamma(100)}, true},
      {"gamma 1.01 (not linear)", {gamma(99000)}, true},
      {"gamma 1.005", {gamma(99500)}, true},
      {"gamma 0.67", {gamma(150000)}, true},
      {"gamma 0.25", {gamma(400000)}, true},
      {"gamma out of libpng's range", {gamma(1)}, true},
      {"gamma 1, then sRGB", {gamma(100000), srgb}, true},
      {"sRGB, then gamma 1", {srgb, gamma(100000)}, true},
      {"a named space", {text(named, "ACEScg")}, true},
      {"a named space over sRGB", {srgb, text(named, "ACEScg")}, true},
      {"a named space before sRGB", {text(named, "ACEScg"), srgb}, true},
      {"an empty name", {text(named, "")}, true},
      {"a name over gamma 1", {gamma(100000), text(named, "sRGB")}, true},
      {"a compressed name", {{"zTXt", named + std::string(2, '\0') + Deflated("ACEScg")}}, true},
      {"an international name", {{"iTXt", named + std::string(5, '\0') + "ACEScg"}}, true},
      {"a description", {text("Description", "a region")}, true},
      {"two names", {text(named, "ACEScg"), text(named, "linear")}, false},
      {"another colour-space text", {text("ColorSpace", "ACEScg")}, false},
      {"the EXR attribute's name", {text("colorSpace", "ACEScg")}, false},
      {"a colour profile libpng refuses", {{"iCCP", "icc" + std::string(2, '\0') + Deflated("not a profile")}}, true},
      {"a refused profile after sRGB", {srgb, {"iCCP", "icc" + std::string(2, '\0') + Deflated("no profile")}}, true},
      {"Exif data", {{"eXIf", std::string("MM\0*\0\0\0\x08\0\0\0\0\0\0", 14)}}, false},
      {"XMP data", {{"iTXt", "XML:com.adobe.xmp" + std::string(5, '\0') + "<x/>"}}, false},
      {"a raw profile", {text("Raw profile type exif", "exif 0")}, false},
  };
  for (int channels = 1; channels <= 4; ++channels) {
    PngInfo info;
    info.width = 5;
    info.height = 3;
    info.channels = channels;
    const std::string plain = Encode(info, Samples(5, 3, channels, 8, 9), 3);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.label) + ", " + std::to_string(channels) + " channels");
      std::string file = plain;
      for (auto it = c.chunks.rbegin(); it != c.chunks.rend(); ++it) file = WithChunk(file, it->first, it->second);
      WriteFile(path, file);
      PngHeader header;
      ASSERT_TRUE(ReadPngHeader(path, header));
      EXPECT_TRUE(header.direct);
      EXPECT_EQ(header.colorspaceKnown, c.known) << header.colorspace;
      Image ours;
      Image theirs;
      std::string error;
      ASSERT_TRUE(ReadImage(path, ours, error)) << error;
      ASSERT_TRUE(library::ReadImage(path, theirs, error)) << error;
      EXPECT_EQ(ours.colorspace, theirs.colorspace);
      if (c.known) {
        EXPECT_EQ(header.colorspace.empty() ? "sRGB" : header.colorspace, theirs.colorspace);
      }
      EXPECT_EQ(ours.formatColorspace, theirs.formatColorspace);
      EXPECT_EQ(ours.premultiplied, theirs.premultiplied);
      EXPECT_EQ(ours.width, theirs.width);
      EXPECT_EQ(ours.height, theirs.height);
      EXPECT_TRUE(ours.rgba8 == theirs.rgba8);
      EXPECT_TRUE(ours.rgba.empty() && theirs.rgba.empty());
    }
  }

  // The rest is the library's: 16 bits, a transparent colour, interlacing.
  PngInfo wide;
  wide.width = 4;
  wide.height = 4;
  wide.channels = 3;
  wide.bitDepth = 16;
  PngInfo rgb = wide;
  rgb.bitDepth = 8;
  for (const std::string& file : {Encode(wide, Samples(4, 4, 3, 16, 3), 4),
                                  WithChunk(Encode(rgb, Samples(4, 4, 3, 8, 3), 4), "tRNS", std::string(6, '\0'))}) {
    WriteFile(path, file);
    PngHeader header;
    ASSERT_TRUE(ReadPngHeader(path, header));
    EXPECT_FALSE(header.direct);
    Image ours;
    Image theirs;
    std::string error;
    ASSERT_TRUE(ReadImage(path, ours, error)) << error;
    ASSERT_TRUE(library::ReadImage(path, theirs, error)) << error;
    EXPECT_TRUE(ours.rgba == theirs.rgba && ours.rgba8 == theirs.rgba8);
    EXPECT_EQ(ours.colorspace, theirs.colorspace);
  }
  WriteFile(path, "GIF89a and more");
  PngHeader header;
  EXPECT_FALSE(ReadPngHeader(path, header));
}

// 8-bit images kept as bytes sample as the library's floats of them.
TEST(PngDecoder, BytesBecomeTheLibrarysFloats) {
  std::uint8_t bytes[256];
  float floats[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(OIIO::convert_pixel_values(OIIO::TypeDesc::UINT8, bytes, OIIO::TypeDesc::FLOAT, floats, 256));
  for (int c = 0; c < 4; ++c) EXPECT_EQ(std::memcmp(ByteToFloat() + 256 * c, floats, sizeof(floats)), 0) << c;
}

}  // namespace
}  // namespace tessary::app::testing
