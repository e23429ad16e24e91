#include "platform/os/colour_dialog_win.h"
#include "platform/os/custom_colours.h"
#include "platform/os/windows_support.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <iterator>

namespace tessaro::os {

std::optional<ColourRef> chooseColour(NativeWindow owner, ColourRef initial, CustomColours& custom)
{
    // COLORREF is an unsigned long, a type of its own beside the 32-bit colour values.
    std::array<ColourRef, 16> values = unpackCustomColours(custom);
    COLORREF colours[16];
    std::copy(values.begin(), values.end(), colours);

    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof(CHOOSECOLORW);
    dialog.hwndOwner = reinterpret_cast<HWND>(owner);
    dialog.hInstance = reinterpret_cast<HWND>(::GetModuleHandleW(nullptr));  // typed HWND in the SDK
    dialog.rgbResult = initial;
    dialog.lpCustColors = colours;
    dialog.Flags = CC_RGBINIT;  // open at the colour the window shows, not at black
    dialog.lCustData = 0;
    dialog.lpfnHook = nullptr;
    dialog.lpTemplateName = nullptr;

    if (!::ChooseColorW(&dialog))
        return std::nullopt;

    std::transform(std::begin(colours), std::end(colours), values.begin(), [](COLORREF c) { return static_cast<ColourRef>(c); });
    custom = packCustomColours(values);
    return static_cast<ColourRef>(dialog.rgbResult);
}

} // namespace tessaro::os
