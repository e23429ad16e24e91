#pragma once

// The modal questions and dialogs the window needs, behind one small interface: the
// program shows real dialogs, the tests answer them without a modal loop.

#include "platform/os/os_services.h"

#include <QString>
#include <optional>

class QWidget;

namespace tessaro {

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message with an OK button only, under the program's name.
    virtual void inform(QWidget* parent, const QString& text) = 0;

    // Which answer Enter gives. A question that changes the user's files defaults to the
    // answer that leaves them as they are.
    enum class Default { No, Yes };

    // A yes-or-no question; true for Yes. Escape and closing the box always answer No.
    virtual bool ask(QWidget* parent, const QString& text, Default answer = Default::No) = 0;

    // The colour dialog, offering `custom` as its custom colours. On OK it returns the chosen
    // colour and writes back the custom colours; on cancel it leaves `custom` as it was.
    virtual std::optional<os::ColourRef> chooseColour(QWidget* parent, os::CustomColours& custom) = 0;
};

// The real dialogs.
class QtUserDialogs final : public UserDialogs {
public:
    void inform(QWidget* parent, const QString& text) override;
    bool ask(QWidget* parent, const QString& text, Default answer = Default::No) override;
    std::optional<os::ColourRef> chooseColour(QWidget* parent, os::CustomColours& custom) override;
};

} // namespace tessaro
