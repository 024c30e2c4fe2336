#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quill {

class Document;
class Scene;

// True when text is not empty and every character is one of 0-9.
bool IsDigits(std::string_view text);

// The nearest integer to value * numerator / denominator: the product in 64 bits, the
// division in extended precision, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
std::int64_t scaledSide(std::int64_t value, std::int64_t numerator, std::int64_t denominator);

// The picture size dialog without its window: the two edits, the proportion box and
// the rules of its buttons, applied to a Scene.
class PictureSizeModel {
  public:
    // 1 = foreground (layer PanelLayer), any other value = background.
    int SizeMode = 0;
    std::string Edit1;     // width
    std::string Edit2;     // height
    bool CheckBox1 = true; // "Hold in width and height"
    std::string caption;

    bool foregroundMode() const { return SizeMode == 1; }

    // The target's current size: ForeOriginal of PanelLayer, or the scene picture.
    // nullopt when the target does not exist (no panel layer).
    std::optional<std::pair<int, int>> currentSize(const Scene& scene) const;

    // Showing: fills the edits with the target's size and sets the caption
    // ("Foreground_size" / "Background_size").
    void show(const Scene& scene);

    // A key released in Edit1 / Edit2: with the box ticked and the edit's text all
    // digits, the other edit gets the proportional value. A value too large for a
    // whole number leaves the other edit unchanged.
    void edit1Released(const Scene& scene);
    void edit2Released(const Scene& scene);

    // "-" (x 80 / 100) and "+" (x 125 / 100) on both edits, the proportion box not
    // consulted. Returns the conversion error ("'x' is not a valid integer value") and
    // leaves both edits as they were when either text is not a whole number; else "".
    std::string minus();
    std::string plus();

    // OK (or Enter): resizes the target with the window's resize step (the panel layer
    // or the background) and returns ""; otherwise returns the message to show
    // ("Please input a valid integer value.", or "Have no foreground!" when the panel
    // layer is gone) and the scene is unchanged. Refused besides the dialog's own
    // rules, with the same message: a value beyond 32 bits, a side that would become
    // 0, and any picture of the target that would pass the program's size limit.
    std::string ok(Document& document);

  private:
    std::string step(int numerator);
};

} // namespace quill
