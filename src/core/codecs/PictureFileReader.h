#pragma once

// Reading picture files for the decoders: the file's size up front, reads at
// any offset, and whole-file reads into memory that is not cleared first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/codecs/Bitmap.h"

namespace quillet {

class PictureFileReader {
 public:
  // Opens a regular file of at most kMaxPictureFileBytes; throws PictureError.
  explicit PictureFileReader(const std::string& path);
  ~PictureFileReader();
  PictureFileReader(const PictureFileReader&) = delete;
  PictureFileReader& operator=(const PictureFileReader&) = delete;

  std::uint64_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

  // Reads up to `count` bytes at `offset` and returns how many it got: fewer
  // only at the end of the file. Returns -1 on a read error (errno is set);
  // never throws, so that it may be called from inside a C library.
  std::int64_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) const;

  // The whole file; throws PictureError when it cannot be read whole.
  struct Contents {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    std::span<const std::uint8_t> Span() const { return {bytes.get(), size}; }
  };
  Contents ReadAll() const;

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Decoders that read a file as they go instead of holding it in memory.
Bitmap DecodeJpegFile(const PictureFileReader& file, std::int64_t maxPixels);
Bitmap DecodeBmpFile(const PictureFileReader& file, std::int64_t maxPixels);

}  // namespace quillet
