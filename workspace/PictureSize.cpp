#include "workspace/PictureSize.h"

#include "imaging/IntegerText.h"
#include "imaging/Rounding.h"
#include "workspace/Document.h"

namespace quill {

bool IsDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::int64_t scaledSide(std::int64_t value, std::int64_t numerator, std::int64_t denominator) {
    // The product is formed wide, so large typed values do not wrap.
    return roundHalfEven((long double)(value * numerator) / (long double)denominator);
}

std::optional<std::pair<int, int>> PictureSizeModel::currentSize(const Scene& scene) const {
    if (foregroundMode()) {
        if (!scene.isVisibleLayer(scene.PanelLayer))
            return std::nullopt;
        const TBitmap32& p = *scene.layer(scene.PanelLayer).ForeOriginal;
        return std::pair{p.width(), p.height()};
    }
    const TBitmap32& p = scene.scenePicture();
    return std::pair{p.width(), p.height()};
}

void PictureSizeModel::show(const Scene& scene) {
    caption = foregroundMode() ? "Foreground_size" : "Background_size";
    if (auto size = currentSize(scene)) {
        Edit1 = std::to_string(size->first);
        Edit2 = std::to_string(size->second);
    }
}

namespace {

// other := Round(typed * otherSide / typedSide) when the typed text is a usable number.
void keepProportion(const std::string& typed, std::string& other, int typedSide, int otherSide) {
    if (!IsDigits(typed) || typedSide <= 0)
        return;
    const std::optional<std::int32_t> v = StrToInt32(typed);
    if (!v)
        return;
    other = std::to_string(scaledSide(*v, otherSide, typedSide));
}

} // namespace

void PictureSizeModel::edit1Released(const Scene& scene) {
    if (!CheckBox1)
        return;
    if (auto size = currentSize(scene))
        keepProportion(Edit1, Edit2, size->first, size->second);
}

void PictureSizeModel::edit2Released(const Scene& scene) {
    if (!CheckBox1)
        return;
    if (auto size = currentSize(scene))
        keepProportion(Edit2, Edit1, size->second, size->first);
}

std::string PictureSizeModel::step(int numerator) {
    const std::optional<std::int32_t> w = StrToInt32(Edit1);
    if (!w)
        return notValidIntegerMessage(Edit1);
    const std::optional<std::int32_t> h = StrToInt32(Edit2);
    if (!h)
        return notValidIntegerMessage(Edit2);
    Edit1 = std::to_string(scaledSide(*w, numerator, 100));
    Edit2 = std::to_string(scaledSide(*h, numerator, 100));
    return {};
}

std::string PictureSizeModel::minus() {
    return step(80);
}
std::string PictureSizeModel::plus() {
    return step(125);
}

std::string PictureSizeModel::ok(Document& document) {
    if (!IsDigits(Edit1) || !IsDigits(Edit2))
        return kPleaseInputValidInteger;
    const std::optional<std::int32_t> typedW = StrToInt32(Edit1);
    const std::optional<std::int32_t> typedH = StrToInt32(Edit2);
    if (!typedW || !typedH)
        return kPleaseInputValidInteger;
    const Scene& scene = document.scene();
    const auto size = currentSize(scene);
    if (!size)
        return kHaveNoForeground;
    if (size->first <= 0 || size->second <= 0)
        return kPleaseInputValidInteger;
    const long double fx = (long double)*typedW / size->first;
    const long double fy = (long double)*typedH / size->second;
    if (fx <= 0 || fy <= 0)
        return kPleaseInputValidInteger;
    // A size the step cannot give (too large to hold, or a side of 0 after the
    // truncation) is the typed value's fault in this dialog.
    const std::string refused = foregroundMode() ? document.resizeLayerBy(scene.PanelLayer, fx, fy)
                                                 : document.resizeBackgroundBy(fx, fy);
    return refused.empty() ? std::string() : std::string(kPleaseInputValidInteger);
}

} // namespace quill
