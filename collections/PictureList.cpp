#include "collections/PictureList.h"

#include "imaging/Folders.h"
#include "imaging/PictureFile.h"

#include <algorithm>

namespace quill {

int PictureList::add(const SharedPicture& picture, const SharedPicture& shape) {
    m_pictures.push_back({picture, shape});
    return count();
}

void PictureList::select(int i) {
    if (i >= 1 && i <= count()) {
        m_indented = i;
        m_selected = i;
    } else {
        m_indented = 0;
    }
}

void PictureList::restoreSelection(int selected, int indented) {
    m_selected = std::clamp(selected, 0, count() + 1);
    m_indented = indented >= 1 && indented <= count() ? indented : 0;
}

bool PictureList::armContextMenu(int i, bool rightButton) {
    if (!rightButton || empty())
        return false;
    select(i);
    return i >= 1 && i <= count();
}

bool PictureList::deleteSelected() {
    if (!hasSelection())
        return false;
    m_pictures.erase(m_pictures.begin() + (m_selected - 1));
    // The place that was last is now hidden; an indent on it goes with it.
    if (m_indented > count())
        m_indented = 0;
    return true;
}

std::string PictureList::saveAllName(int n) const {
    return m_style.filePrefix + std::to_string(n) + ".jpg";
}

std::string PictureList::saveAllPrecheck() const {
    return empty() ? m_style.emptyMessage : std::string();
}

std::string PictureList::saveAll(const std::string& folder) {
    if (empty())
        return m_style.emptyMessage;
    for (int n = 1; n <= count(); ++n) {
        const WriteResult r =
            SavePicture(picture(n), joinPath(folder, saveAllName(n)), PictureFormat::Jpeg);
        if (!r.ok)
            return r.message;
    }
    return m_style.savedMessage;
}

} // namespace quill
