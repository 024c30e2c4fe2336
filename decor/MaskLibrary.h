#pragma once

#include "imaging/Bitmap32.h"

#include <array>
#include <string>

namespace quill {

inline constexpr int kMaskCount = 36;

// The library's file name of mask slot k (1..36): "m1.jpg" .. "m18.jpg", "m19.gif",
// "m20.jpg", "m21.gif" .. "m28.gif", "m29.jpg", "m30.jpg", "m31.gif" .. "m36.gif".
// Empty for k out of range.
std::string maskFileName(int k);

// The 36 mask slots, each holding its picture at the picture's full size.
class MaskLibrary {
  public:
    // Reads every slot from maskFolder + "/" + maskFileName(k). A file that is missing
    // or unreadable leaves its slot empty; nothing is reported.
    void maskload(const std::string& maskFolder);
    // nullptr when k is out of 1..36 or the slot's picture is empty.
    const TBitmap32* mask(int k) const;
    // Puts a picture into slot k (ignored for k out of range).
    void setMask(int k, TBitmap32 picture);

  private:
    std::array<TBitmap32, kMaskCount> m_masks;
};

} // namespace quill
