// `tessary assemble`: joins region renders (render --region) into the whole
// image. Part of the image module (image_module.h); no_image.cpp stands in
// for it in a build without images.
//
// The parts are read as stored (no association of alpha, no conversion) and
// written in the same format and sample type, so every pixel keeps the bits
// of the one-process render. Output rows are made band by band; a part is
// open only while the band crosses it, so memory stays at one band and the
// decoders of the parts it crosses, whatever the image's size.

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_steps.h"
#include "app/commands.h"
#include "app/image_io.h"
#include "app/library/library.h"

namespace tessary::app::library {

namespace {

constexpr int kBandRows = 64;

struct Part {
  std::string path;
  Region region;
  ImageFormat format = ImageFormat::Png8;
  std::string dataFormat;  // "uint8", "uint16", "half", "float"
  int fileY = 0;           // the file's number of the region's first row (EXR data window)
  std::string source;      // the scene it was rendered from, as recorded
  std::string colorspace;  // the space its file is tagged with ("" for none)
  std::unique_ptr<OIIO::ImageInput> in;
};

std::string Rect(const Region& r) {
  return std::to_string(r.x0) + " " + std::to_string(r.y0) + " " + std::to_string(r.x1) + " " + std::to_string(r.y1);
}

// Reads what a part is: its region, format and sample type.
bool Inspect(Part& part, std::string& error) {
  ImageFormat byName{};
  if (!FormatForPath(part.path, 8, byName, error)) return false;
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(part.path, &config);
  if (!in) {
    error = "cannot read: " + OneLine(OIIO::geterror(), "not an image");
    return false;
  }
  const OIIO::ImageSpec& header = in->spec();
  const std::string description = header.get_string_attribute("ImageDescription");
  if (!ParseRegionDescription(description, part.region)) {
    error = "not a region of a render (render parts with 'tessary render --region X0 Y0 X1 Y1')";
    return false;
  }
  if (header.width != part.region.Width() || header.height != part.region.Height() || header.nchannels != 4 ||
      header.depth != 1) {
    error = "its pixels do not match its region " + Rect(part.region) + " (" + std::to_string(header.width) + "x" +
            std::to_string(header.height) + ", " + std::to_string(header.nchannels) + " channels)";
    return false;
  }
  const std::string kind = in->format_name();
  const bool formatAgrees = (kind == "png" && byName == ImageFormat::Png8) ||
                            (kind == "tiff" && byName == ImageFormat::Tiff) ||
                            (kind == "openexr" && byName == ImageFormat::Exr);
  if (!formatAgrees) {
    error = "a " + kind + " file whose name says otherwise";
    return false;
  }
  const OIIO::TypeDesc type = header.format;
  if (type == OIIO::TypeDesc::UINT8) {
    part.dataFormat = "uint8";
  } else if (type == OIIO::TypeDesc::UINT16) {
    part.dataFormat = "uint16";
  } else if (type == OIIO::TypeDesc::HALF) {
    part.dataFormat = "half";
  } else if (type == OIIO::TypeDesc::FLOAT) {
    part.dataFormat = "float";
  } else {
    error = std::string("samples of type ") + type.c_str() + " (a render writes uint8, uint16, half or float)";
    return false;
  }
  part.format = byName;
  part.fileY = header.y;
  part.source = header.get_string_attribute("DocumentName");
  // The EXR reader says "Linear" of every file: the program's own attribute
  // tells.
  part.colorspace = header.get_string_attribute(kind == "openexr" ? "colorSpace" : "oiio:ColorSpace");
  in->close();
  return true;
}

bool Overlap(const Region& a, const Region& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// The parts agree on the whole image and tile it: one format and sample
// type, one size, no pixel twice, none missing.
bool CheckParts(const std::vector<Part>& parts, std::string& error) {
  const Part& first = parts.front();
  for (const Part& p : parts) {
    if (p.region.fullWidth != first.region.fullWidth || p.region.fullHeight != first.region.fullHeight) {
      error = p.path + ": a region of a " + std::to_string(p.region.fullWidth) + "x" +
              std::to_string(p.region.fullHeight) + " image, " + first.path + " of a " +
              std::to_string(first.region.fullWidth) + "x" + std::to_string(first.region.fullHeight) + " one";
      return false;
    }
    if (p.format != first.format || p.dataFormat != first.dataFormat) {
      error = p.path + ": " + p.dataFormat + " samples in another format than " + first.path + " (" +
              first.dataFormat + "): the parts of one image have one format";
      return false;
    }
    if (p.colorspace != first.colorspace) {
      error = p.path + ": colour space \"" + p.colorspace + "\", " + first.path + " \"" + first.colorspace +
              "\": the parts of one image have one";
      return false;
    }
  }
  std::int64_t area = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    area += std::int64_t{parts[i].region.Width()} * parts[i].region.Height();
    for (std::size_t j = 0; j < i; ++j) {
      if (Overlap(parts[i].region, parts[j].region)) {
        error = parts[i].path + " (pixels " + Rect(parts[i].region) + ") overlaps " + parts[j].path + " (pixels " +
                Rect(parts[j].region) + ")";
        return false;
      }
    }
  }
  const std::int64_t whole = std::int64_t{first.region.fullWidth} * first.region.fullHeight;
  if (area != whole) {
    error = "the parts cover " + std::to_string(area) + " of the image's " + std::to_string(whole) +
            " pixels: render the missing regions too";
    return false;
  }
  return true;
}

// Copies rows [y0, y0 + rows) of the whole image from the parts that cross
// them into `band` (rows of `width` RGBA floats).
bool FillBand(std::vector<Part>& parts, int y0, int rows, int width, float* band, std::string& error) {
  const int y1 = y0 + rows;
  for (Part& p : parts) {
    const Region& r = p.region;
    if (r.y1 <= y0 || r.y0 >= y1) continue;
    if (!p.in) {
      OIIO::ImageSpec config;
      config.attribute("oiio:UnassociatedAlpha", 1);
      p.in = OIIO::ImageInput::open(p.path, &config);
      if (!p.in) {
        error = p.path + ": cannot read: " + OneLine(OIIO::geterror(), "not an image");
        return false;
      }
    }
    const int from = std::max(y0, r.y0);
    const int to = std::min(y1, r.y1);
    float* at = band + (static_cast<std::size_t>(from - y0) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(r.x0)) * 4;
    const auto pixel = static_cast<OIIO::stride_t>(4 * sizeof(float));
    const auto row = static_cast<OIIO::stride_t>(width) * pixel;
    if (!p.in->read_scanlines(0, 0, p.fileY + (from - r.y0), p.fileY + (to - r.y0), 0, 0, 4,
                              OIIO::TypeDesc::FLOAT, at, pixel, row)) {
      error = p.path + ": cannot read: " + OneLine(p.in->geterror(), "damaged file");
      return false;
    }
    if (to == r.y1) {
      p.in->close();
      p.in.reset();
    }
  }
  return true;
}

}  // namespace

int RunAssemble(const AssembleArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  std::vector<Part> parts(a.parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    parts[i].path = a.parts[i];
    if (!Inspect(parts[i], error)) return Fail(err, parts[i].path + ": " + error);
  }
  if (parts.empty()) return Fail(err, "no parts to assemble");
  if (!CheckParts(parts, error)) return Fail(err, error);

  // The output is of the parts' format and sample type; only its
  // compression may be chosen.
  ImageFormat wanted{};
  if (!FormatForPath(a.output, 8, wanted, error)) return Fail(err, a.output + ": " + error);
  if (wanted != parts.front().format)
    return Fail(err, a.output + ": the parts are of " + parts.front().path +
                         "'s format; assemble writes that format (convert the whole image afterwards)");
  OutputRequest request = a.request;
  request.dataFormat = parts.front().dataFormat;
  OutputChoice choice;
  if (!ResolveOutput(a.output, request, choice, error)) return Fail(err, a.output + ": " + error);
  choice.asStored = true;
  choice.colorspace = parts.front().colorspace;  // tagged as the parts are, converted not at all
  choice.software = std::string("tessary ") + TESSARY_VERSION_STRING;
  // The scene the parts were rendered from, when they agree on it.
  choice.source = parts.front().source;
  for (const Part& p : parts)
    if (p.source != choice.source) choice.source.clear();
  if (!KeepInputs(a.output, a.parts, a.force, err)) return kExitFailure;

  const int width = parts.front().region.fullWidth;
  const int height = parts.front().region.fullHeight;
  ImageWriter writer;
  if (!writer.Open(a.output, choice, width, height, error)) return Fail(err, a.output + ": " + error);
  const int bandRows = std::min(kBandRows, height);
  std::vector<float> band(static_cast<std::size_t>(bandRows) * static_cast<std::size_t>(width) * 4);
  for (int y0 = 0; y0 < height; y0 += bandRows) {
    const int rows = std::min(bandRows, height - y0);
    if (!FillBand(parts, y0, rows, width, band.data(), error)) return Fail(err, error);
    if (!writer.WriteRows(y0, rows, band.data(), error)) return Fail(err, a.output + ": " + error);
  }
  if (!writer.Commit(error)) return Fail(err, a.output + ": " + error);
  out << "wrote " << a.output << " (" << width << "x" << height << " from " << parts.size() << " parts)\n";
  return kExitOk;
}

}  // namespace tessary::app::library
