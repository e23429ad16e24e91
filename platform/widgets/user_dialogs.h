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

    // Each box is titled `title`, what it is about (the command it belongs to), and shows
    // the system's icon for its kind, which a screen reader announces as well.

    // A message with an OK button only: something done, or worth knowing.
    virtual void inform(QWidget* parent, const QString& title, const QString& text) = 0;

    // The same for a failure: the warning icon, an alert to a screen reader.
    virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;

    // Which answer Enter gives. A question that changes the user's files defaults to the
    // answer that leaves them as they are.
    enum class Default { No, Yes };

    // A yes-or-no question; true for Yes. Escape and closing the box always answer No.
    virtual bool ask(QWidget* parent, const QString& title, const QString& text, Default answer = Default::No) = 0;

    // The same question with a check box labelled `check` beneath it, for a further change
    // the user may ask for with the same answer. `checked` goes in as the box starts (off,
    // for anything that deletes) and comes out as the user left it; the caller heeds it only
    // after a Yes.
    virtual bool askWithCheck(QWidget* parent, const QString& title, const QString& text, const QString& check, bool& checked,
                              Default answer = Default::No) = 0;

    // The colour dialog, open at `initial` and offering `custom` as its custom colours. On OK
    // it returns the chosen colour and the custom colours as the user left them in `custom`.
    // On cancel it returns nothing, and `custom` may hold edits the user dropped: the caller
    // keeps its own copy.
    virtual std::optional<os::ColourRef> chooseColour(QWidget* parent, os::ColourRef initial, os::CustomColours& custom) = 0;
};

// The real dialogs.
class QtUserDialogs final : public UserDialogs {
public:
    void inform(QWidget* parent, const QString& title, const QString& text) override;
    void warn(QWidget* parent, const QString& title, const QString& text) override;
    bool ask(QWidget* parent, const QString& title, const QString& text, Default answer = Default::No) override;
    bool askWithCheck(QWidget* parent, const QString& title, const QString& text, const QString& check, bool& checked,
                      Default answer = Default::No) override;
    std::optional<os::ColourRef> chooseColour(QWidget* parent, os::ColourRef initial, os::CustomColours& custom) override;
};

} // namespace tessaro
