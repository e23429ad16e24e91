#pragma once

#include "platform/os/os_services.h"

#include <QWidget>

namespace tessaro {

// The system's handle of the window that holds `widget`, for the system's own dialogs and
// shell calls; 0 (no owner) without a widget.
inline os::NativeWindow nativeWindowOf(const QWidget* widget)
{
    return widget ? static_cast<os::NativeWindow>(widget->window()->winId()) : 0;
}

} // namespace tessaro
