#include "decor/MaskLibrary.h"

#include "imaging/PictureFile.h"

namespace quill {

std::string maskFileName(int k) {
    if (k < 1 || k > kMaskCount)
        return std::string();
    // The extensions differ by slot; they are part of the library's layout.
    const bool gif = k == 19 || (k >= 21 && k <= 28) || k >= 31;
    std::string name = "m";
    name += std::to_string(k);
    name += gif ? ".gif" : ".jpg";
    return name;
}

void MaskLibrary::maskload(const std::string& maskFolder) {
    for (int k = 1; k <= kMaskCount; ++k)
        m_masks[k - 1] = LoadPictureFile(maskFolder + "/" + maskFileName(k)).picture;
}

const TBitmap32* MaskLibrary::mask(int k) const {
    if (k < 1 || k > kMaskCount || m_masks[k - 1].empty())
        return nullptr;
    return &m_masks[k - 1];
}

void MaskLibrary::setMask(int k, TBitmap32 picture) {
    if (k >= 1 && k <= kMaskCount)
        m_masks[k - 1] = std::move(picture);
}

} // namespace quill
