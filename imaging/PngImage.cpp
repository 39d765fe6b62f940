// PNG reading and writing through libpng's simplified interface, which converts every
// colour type and depth to 8-bit RGB or RGBA and reports errors without longjmp reaching
// our code.
#include <png.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "imaging/RasterImage.h"

namespace {

// PNG files are compressed; a file larger than the largest image it could hold is refused.
constexpr size_t kMaxPngFileBytes = 256u << 20;

}  // namespace

bool LoadPngFromMemory(const uint8_t* bytes, size_t count, RasterImage& out) {
  if (!bytes || count == 0) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes, count)) return false;
  if (image.width < 1 || image.height < 1 || image.width > RasterImage::kMaxSide ||
      image.height > RasterImage::kMaxSide) {
    png_image_free(&image);
    return false;
  }
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  RasterImage decoded;
  if (!decoded.Allocate(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height),
                        alpha ? 32 : 24)) {
    png_image_free(&image);
    return false;
  }
  if (!png_image_finish_read(&image, nullptr, decoded.Pixels(),
                             static_cast<png_int_32>(decoded.RowBytes()), nullptr)) {
    png_image_free(&image);
    return false;
  }
  return out.CopyFrom(decoded);
}

bool LoadPngFile(const PathString& path, RasterImage& out) {
  std::ifstream in;
  if (!OpenStreamPath(path, in, std::ios::in | std::ios::binary)) return false;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size <= 0 || static_cast<uint64_t>(size) > kMaxPngFileBytes) return false;
  in.seekg(0, std::ios::beg);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return false;
  return LoadPngFromMemory(bytes.data(), bytes.size(), out);
}

bool SavePngFile(const PathString& path, const RasterImage& source) {
  if (!source.HasPixels()) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(source.Width());
  image.height = static_cast<png_uint_32>(source.Height());
  image.format = source.BitsPerPixel() == 32 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  const auto stride = static_cast<png_int_32>(source.RowBytes());
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, source.Pixels(), stride, nullptr))
    return false;
  std::vector<uint8_t> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, source.Pixels(), stride,
                                 nullptr))
    return false;
  SafeFileWriter writer;
  if (!writer.Open(path, nullptr, true)) return false;
  if (!writer.Write(bytes.data(), size)) return false;
  return writer.Commit();
}
