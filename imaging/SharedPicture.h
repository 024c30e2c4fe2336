#pragma once

#include "imaging/Bitmap32.h"

#include <cstddef>
#include <memory>
#include <utility>

namespace quill {

// A picture several owners hold at once without copying it: the document's layers, its
// undo history and its lists share a picture until one of them changes it. Reading costs
// nothing; edit() gives a picture this owner alone holds, copying it first when it is
// shared. edit() is called on one thread, before any parallel work on what it returns.
class SharedPicture {
  public:
    SharedPicture() = default;
    // Takes the picture.
    explicit SharedPicture(TBitmap32 picture)
        : m_picture(std::make_shared<const TBitmap32>(std::move(picture))) {}

    const TBitmap32& get() const { return m_picture ? *m_picture : emptyPicture(); }
    const TBitmap32& operator*() const { return get(); }
    const TBitmap32* operator->() const { return &get(); }

    TBitmap32& edit() {
        if (!m_picture)
            m_picture = std::make_shared<const TBitmap32>();
        else if (m_picture.use_count() > 1)
            m_picture = std::make_shared<const TBitmap32>(*m_picture);
        // This owner holds the only reference: the picture may change.
        return const_cast<TBitmap32&>(*m_picture);
    }

    // Whether another owner holds the picture too (edit() would copy it).
    bool shared() const { return m_picture && m_picture.use_count() > 1; }
    // True when both hold the same picture (not a comparison of pixels).
    bool sameAs(const SharedPicture& other) const { return m_picture == other.m_picture; }
    // The same meaning: two holders are equal when they hold the same picture.
    bool operator==(const SharedPicture& other) const { return sameAs(other); }
    // What tells one held picture from another, for counting the memory of a set of owners;
    // nullptr for the empty picture.
    const void* identity() const { return m_picture.get(); }
    std::size_t bytes() const { return get().pixelCount() * 4; }

  private:
    static const TBitmap32& emptyPicture() {
        static const TBitmap32 empty;
        return empty;
    }

    std::shared_ptr<const TBitmap32> m_picture;
};

} // namespace quill
