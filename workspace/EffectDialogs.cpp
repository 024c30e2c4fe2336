#include "workspace/EffectDialogs.h"

#include "imaging/Rounding.h"

#include <cstdint>

namespace quill {

Rect fitPreview(int w, int h) {
    Rect r;
    if (w <= 0 || h <= 0)
        return r;
    if (std::int64_t(h) * kPreviewAreaWidth >= std::int64_t(kPreviewAreaHeight) * w) {
        r.height = kPreviewAreaHeight;
        r.width = int(roundHalfEven(static_cast<long double>(w) * kPreviewAreaHeight / h));
        r.top = 0;
        r.left = (kPreviewAreaWidth - r.width) / 2;
    } else {
        r.width = kPreviewAreaWidth;
        r.height = int(roundHalfEven(static_cast<long double>(h) * kPreviewAreaWidth / w));
        r.left = 0;
        r.top = (kPreviewAreaHeight - r.height) / 2;
    }
    return r;
}

KernelDialogState::KernelDialogState(const EffectDescription& effect) : m_effect(effect) {
    const Kernel3x3 k = defaults();
    for (std::size_t i = 0; i < 9; ++i)
        fields[i] = std::to_string(k[i]);
}

Kernel3x3 KernelDialogState::defaults() const {
    const EffectParameter* kernel = m_effect.parameter("kernel");
    return kernel ? kernel->defaultKernel : Kernel3x3{};
}

KernelDialogState::Conversion KernelDialogState::convert() {
    Conversion c;
    std::optional<Kernel3x3> kernel = kernelFromTexts(fields, &c.message);
    if (!kernel)
        return c;
    EffectSettings settings;
    settings.kernel = *kernel;
    c.settings = settings;
    m_okEnabled = true;
    return c;
}

KernelDialogState::Conversion KernelDialogState::restoreDefaults() {
    const Kernel3x3 k = defaults();
    for (std::size_t i = 0; i < 9; ++i)
        fields[i] = std::to_string(k[i]);
    return convert();
}

} // namespace quill
