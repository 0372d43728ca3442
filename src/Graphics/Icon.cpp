// SPDX-License-Identifier: MIT
#include "Graphics/Icon.h"

#include "Base/Exceptions.h"
#include "resources/MessageTexts.h"

namespace wydruki::graphics {
namespace {

using resources::kInvalidIcon;
constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;

std::uint16_t Word(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t DoubleWord(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(Word(b, at)) |
         (static_cast<std::uint32_t>(Word(b, at + 2)) << 16);
}

}  // namespace

TIcon::Image::~Image() {
  if (handle != nullptr && owns_handle) DestroyIcon(handle);
}

TIcon::TIcon() : image_(std::make_shared<Image>()) {}

void TIcon::Assign(const TIcon* source) {
  image_ = source != nullptr ? source->image_ : std::make_shared<Image>();
}

void TIcon::LoadFromBytes(std::vector<std::uint8_t> bytes) {
  if (bytes.size() >= kHeaderSize && Word(bytes, 4) > 1) throw EInvalidGraphic(kInvalidIcon);
  auto image = std::make_shared<Image>();
  image->bytes = std::move(bytes);
  image_ = std::move(image);
}

void TIcon::SetHandle(HICON handle) {
  auto image = std::make_shared<Image>();
  image->handle = handle;
  image->owns_handle = handle != nullptr;
  image_ = std::move(image);
}

bool TIcon::Empty() const { return image_->bytes.empty() && image_->handle == nullptr; }

HICON TIcon::Handle() {
  Image& image = *image_;
  if (image.handle != nullptr || image.bytes.empty()) return image.handle;
  const auto& b = image.bytes;
  if (b.size() < kHeaderSize) throw EInvalidGraphic(kInvalidIcon);
  const std::uint16_t type = Word(b, 2);
  if (type == 0) {
    image.handle = LoadIconA(nullptr, IDI_APPLICATION);
    image.owns_handle = false;
    return image.handle;
  }
  if (type != 1 || Word(b, 4) != 1 || b.size() < kHeaderSize + kEntrySize)
    throw EInvalidGraphic(kInvalidIcon);
  const std::uint32_t size = DoubleWord(b, kHeaderSize + 8);
  const std::uint32_t offset = DoubleWord(b, kHeaderSize + 12);
  if (offset > b.size() || size > b.size() - offset || size == 0)
    throw EInvalidGraphic(kInvalidIcon);
  std::vector<BYTE> resource(b.begin() + offset, b.begin() + offset + size);
  image.handle =
      CreateIconFromResourceEx(resource.data(), size, TRUE, 0x00030000, GetSystemMetrics(SM_CXICON),
                               GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR);
  if (image.handle == nullptr) throw EInvalidGraphic(kInvalidIcon);
  image.owns_handle = true;
  return image.handle;
}

}  // namespace wydruki::graphics
