#pragma once

// A command that may wait for a volume (apply, open a folder) runs on a worker, so that a
// folder on a volume that stopped answering leaves the window answering. Its questions and
// messages still show on the window's thread, modal to the window, one at a time.

#include "platform/widgets/user_dialogs.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QEventLoopLocker;
class QWidget;

namespace tessaro {

class BackgroundCommand : public QObject {
    Q_OBJECT
public:
    // The command asks through the dialogs handed to it, which pass each call on to
    // `dialogs` with `window` as the parent, whatever parent the command names (it runs
    // where it must not touch a widget, so it is given none).
    using Command = std::function<void(UserDialogs& dialogs)>;

    BackgroundCommand(UserDialogs& dialogs, QWidget* window);
    ~BackgroundCommand() override;

    // Starts `command` unless one still runs, which the user is told instead under `title`,
    // the command's name: one change of the user's folders at a time. False when it was not
    // started.
    bool start(const QString& title, Command command);

    bool busy() const { return m_busy; }

    // The window has closed while a command runs. The command runs on to its end, since one
    // cut off halfway could leave a folder neither as it was nor changed; it asks nothing more
    // (a question still to come is answered No) and shows nothing. The program ends once it
    // has, or after `limitMs` when it has not by then (a volume that does not answer).
    void windowClosed(int limitMs = ClosingLimitMs);

    static constexpr int ClosingLimitMs = 30000;

Q_SIGNALS:
    void finished();

private:
    class Link;
    class DialogsFromWorker;
    void end();

    UserDialogs& m_dialogs;
    QPointer<QWidget> m_window;
    std::shared_ptr<Link> m_link;
    bool m_busy = false;
    bool m_windowClosed = false;
    // Keeps the program running while a command does, the window closed or not.
    std::unique_ptr<QEventLoopLocker> m_running;
};

} // namespace tessaro
