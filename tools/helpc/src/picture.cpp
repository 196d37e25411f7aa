// The pictures of the HTML page, read from the source's folder. Only their size is taken from
// them: the page embeds the bytes as they are.
#include <fstream>
#include <iterator>

#include "help_source.h"

namespace helpc {
namespace {

// A PNG file starts with its signature and then the IHDR chunk: length 13, the type, width
// and height as big-endian 32-bit numbers.
constexpr char kPngSignature[] = "\x89PNG\r\n\x1A\n";
constexpr size_t kSignatureSize = sizeof kPngSignature - 1;
constexpr size_t kIhdrEnd = kSignatureSize + 8 + 13 + 4;  // length, type, data, CRC

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

}  // namespace

void LoadPictures(HelpSource& help, const std::string& folder) {
  for (Topic& topic : help.topics) {
    for (Picture& picture : topic.pictures) {
      const std::string path = folder + picture.file;
      std::ifstream in(path, std::ios::binary);
      if (!in) throw SourceError(picture.line, "the picture cannot be read: " + path);
      picture.png.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      const std::string& png = picture.png;
      if (png.size() < kIhdrEnd || png.compare(0, kSignatureSize, kPngSignature) != 0 ||
          BigEndian32(png, kSignatureSize) != 13 ||
          png.compare(kSignatureSize + 4, 4, "IHDR") != 0) {
        throw SourceError(picture.line, "not a PNG picture: " + path);
      }
      picture.width = BigEndian32(png, kSignatureSize + 8);
      picture.height = BigEndian32(png, kSignatureSize + 12);
      if (picture.width == 0 || picture.height == 0) {
        throw SourceError(picture.line, "not a PNG picture: " + path);
      }
    }
  }
}

}  // namespace helpc
