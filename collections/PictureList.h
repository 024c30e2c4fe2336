#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/SharedPicture.h"

#include <string>
#include <vector>

namespace quill {

// The fixed texts and geometry that tell the sketch-list and the album-list apart.
struct PictureListStyle {
    int thumbWidth; // a thumbnail shows its picture stretched to this size
    int thumbHeight;
    int indent;             // Left of the selected thumbnail
    const char* filePrefix; // "sketch" -> sketch1.jpg, sketch2.jpg, ...
    const char* emptyMessage;
    const char* savedMessage;
    const char* folderCaption; // the folder chooser's caption for "Save all into"
    bool operator==(const PictureListStyle&) const = default;
};

// A list of full-resolution pictures shown as a column of stretched thumbnails, with
// the selection, the indent of the selected thumbnail, delete and "Save all into".
// Indices are 1-based as the user sees them; 0 means none.
class PictureList {
  public:
    explicit PictureList(const PictureListStyle& style) : m_style(style) {}

    const PictureListStyle& style() const { return m_style; }
    int count() const { return int(m_pictures.size()); }
    bool empty() const { return m_pictures.empty(); }
    // Picture i (1..count()).
    const TBitmap32& picture(int i) const { return *m_pictures.at(std::size_t(i - 1)).picture; }
    const SharedPicture& sharedPicture(int i) const {
        return m_pictures.at(std::size_t(i - 1)).picture;
    }
    // The shape picture i keeps (a picture of its size whose alpha is the shape of the
    // layer it was taken from); empty when it has none.
    const SharedPicture& sharedShape(int i) const {
        return m_pictures.at(std::size_t(i - 1)).shape;
    }

    // Appends the picture and its shape (shared, not copied); returns its index.
    int add(const SharedPicture& picture, const SharedPicture& shape = SharedPicture());

    // Equal when the same pictures are held with the same selection.
    bool operator==(const PictureList&) const = default;

    // Thumbnail i's place: Left 0 (the indent when it is the indented one), Top 3 for
    // the first, then the previous Top + height + 3.
    int thumbTop(int i) const { return 3 + (i - 1) * (m_style.thumbHeight + 3); }
    int thumbLeft(int i) const { return i == m_indented ? m_style.indent : 0; }

    int selected() const { return m_selected; }
    // The thumbnail shown indented, 0 when none.
    int indented() const { return m_indented; }
    // True when selected() names a picture of the list.
    bool hasSelection() const { return m_selected >= 1 && m_selected <= count(); }

    // A click (or right press) on thumbnail i, or on the empty part of the list
    // (i = 0): the indent moves to i (or is removed); the selection becomes i, and is
    // kept when the press was on the empty part.
    void select(int i);

    // Sets the selection and the indent as a scene file kept them (each clamped to what the
    // list can hold: the selection up to one past the end, the indent to a picture or none).
    void restoreSelection(int selected, int indented);

    // A mouse press with the right button on thumbnail i (0: the empty part). Nothing
    // for other buttons or an empty list; otherwise select(i). Returns true when the
    // context menu opens: only for a right press on a thumbnail.
    bool armContextMenu(int i, bool rightButton);

    // "Delete me": the pictures after the selected one move up one place and the last
    // place is emptied; the selection keeps its value. Nothing when no picture is
    // selected. Returns true when a picture was removed.
    bool deleteSelected();

    // The file name picture n is saved under: prefix + n + ".jpg".
    std::string saveAllName(int n) const;

    // "Save all into", before the folder is asked for: the message for an empty list,
    // or "" when the folder chooser should open.
    std::string saveAllPrecheck() const;
    // "Save all into" with the chosen folder: writes picture n as JPEG (quality 90) to
    // folder/prefix<n>.jpg, replacing existing files, each atomically. Returns the
    // success message, or on the first file that cannot be written a message naming
    // that file and the reason (files already written stay).
    std::string saveAll(const std::string& folder);

  private:
    PictureListStyle m_style;
    struct Entry {
        SharedPicture picture, shape;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> m_pictures;
    int m_selected = 0;
    int m_indented = 0;
};

} // namespace quill
