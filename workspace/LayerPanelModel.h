#pragma once

// The layer panel's entries as the document's layers give them: newest at the top, every
// older visible entry 30 pixels below the next newer one.

#include "workspace/Document.h"

namespace quill {

// One layer panel entry (40 x 25 at left 2 inside the list area).
struct LayerEntry {
    int top = 0;
    bool visible = false;
    bool selected = false;   // shown red
    SharedPicture thumbnail; // the picture shown (stretched to 36 x 21)
};

class LayerPanelModel {
  public:
    explicit LayerPanelModel(const Document& document) : m_document(document) {}

    // Entry of slot i (1..LayerCount). A hidden entry keeps no place (top 0).
    LayerEntry entry(int i) const;

  private:
    const Document& m_document;
};

} // namespace quill
