#include "collections/PictureSize.h"

#include "imaging/IntegerText.h"
#include "imaging/Limits.h"
#include "imaging/Rounding.h"
#include "scene/Scene.h"

#include <vector>

namespace quill {

bool IsDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::int64_t scaledSide(std::int64_t value, std::int64_t numerator, std::int64_t denominator)
{
    // The product is formed wide, so large typed values do not wrap.
    return roundHalfEven((long double)(value * numerator) / (long double)denominator);
}

std::optional<std::pair<int, int>> PictureSizeModel::currentSize(const Scene& scene) const
{
    if (foregroundMode()) {
        if (!scene.isVisibleLayer(scene.PanelLayer))
            return std::nullopt;
        const TBitmap32& p = scene.layer(scene.PanelLayer).ForeOriginal;
        return std::pair{p.width(), p.height()};
    }
    const TBitmap32& p = scene.scenePicture();
    return std::pair{p.width(), p.height()};
}

void PictureSizeModel::show(const Scene& scene)
{
    caption = foregroundMode() ? "Foreground_size" : "Background_size";
    if (auto size = currentSize(scene)) {
        Edit1 = std::to_string(size->first);
        Edit2 = std::to_string(size->second);
    }
}

namespace {

// other := Round(typed * otherSide / typedSide) when the typed text is a usable number.
void keepProportion(const std::string& typed, std::string& other, int typedSide, int otherSide)
{
    if (!IsDigits(typed) || typedSide <= 0)
        return;
    const std::optional<std::int32_t> v = StrToInt32(typed);
    if (!v)
        return;
    other = std::to_string(scaledSide(*v, otherSide, typedSide));
}

} // namespace

void PictureSizeModel::edit1Released(const Scene& scene)
{
    if (!CheckBox1)
        return;
    if (auto size = currentSize(scene))
        keepProportion(Edit1, Edit2, size->first, size->second);
}

void PictureSizeModel::edit2Released(const Scene& scene)
{
    if (!CheckBox1)
        return;
    if (auto size = currentSize(scene))
        keepProportion(Edit2, Edit1, size->second, size->first);
}

std::string PictureSizeModel::step(int numerator)
{
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

std::string PictureSizeModel::minus() { return step(80); }
std::string PictureSizeModel::plus() { return step(125); }

std::string PictureSizeModel::ok(Scene& scene)
{
    if (!IsDigits(Edit1) || !IsDigits(Edit2))
        return kPleaseInputValidInteger;
    const std::optional<std::int32_t> typedW = StrToInt32(Edit1);
    const std::optional<std::int32_t> typedH = StrToInt32(Edit2);
    if (!typedW || !typedH)
        return kPleaseInputValidInteger;
    const auto size = currentSize(scene);
    if (!size)
        return "Have no foreground!";
    if (size->first <= 0 || size->second <= 0)
        return kPleaseInputValidInteger;
    const long double fx = (long double)*typedW / size->first;
    const long double fy = (long double)*typedH / size->second;
    if (fx <= 0 || fy <= 0)
        return kPleaseInputValidInteger;

    // Every picture of the target must come out non-empty and within the limit before
    // anything changes.
    auto fits = [&](int w, int h) {
        if (w <= 0 || h <= 0)
            return true; // an empty picture stays empty
        const int nw = zoomedSize(w, fx), nh = zoomedSize(h, fy);
        return nw > 0 && nh > 0 && pictureSizeAllowed(nw, nh);
    };
    auto resample = [&](TBitmap32& p) {
        if (!p.empty())
            ZoomInandOut(p, fx, fy);
    };

    if (foregroundMode()) {
        LayerSlot& slot = scene.layer(scene.PanelLayer);
        if (!fits(slot.carrierWidth, slot.carrierHeight) ||
            !fits(slot.ForeOriginal.width(), slot.ForeOriginal.height()) ||
            !fits(slot.ForeWork.width(), slot.ForeWork.height()))
            return kPleaseInputValidInteger;
        if (slot.carrierWidth > 0 && slot.carrierHeight > 0) {
            slot.carrierWidth = zoomedSize(slot.carrierWidth, fx);
            slot.carrierHeight = zoomedSize(slot.carrierHeight, fy);
        }
        slot.handle.width = displayedSize(slot.carrierWidth, scene.ViewZoom);
        slot.handle.height = displayedSize(slot.carrierHeight, scene.ViewZoom);
        resample(slot.ForeOriginal);
        resample(slot.ForeWork);
        // The resized layer's own alpha is derived again (its mask resampled to the new
        // size), whichever layer is current.
        scene.deriveLayerAlpha(scene.PanelLayer);
        scene.ComposeScene();
        return {};
    }

    if (!fits(scene.BackOriginal.width(), scene.BackOriginal.height()) ||
        !fits(scene.BackWork.width(), scene.BackWork.height()))
        return kPleaseInputValidInteger;
    resample(scene.BackOriginal);
    resample(scene.BackWork);
    scene.RefreshLayer();
    scene.ComposeScene();
    scene.updateImageSize();
    return {};
}

} // namespace quill
