#include "platform/widgets/background_command.h"

#include "platform/widgets/folder_reading.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <QThreadPool>

#include <future>
#include <mutex>

namespace tessaro {

// What a worker reaches the window's thread through. The window's side cuts it when it
// goes, so that a worker that outlives the window (one still waiting for its volume)
// reaches nothing.
class BackgroundCommand::Link {
public:
    explicit Link(BackgroundCommand* owner) : m_owner(owner) {}

    void cut()
    {
        const std::lock_guard lock(m_mutex);
        m_owner = nullptr;
    }

    // Queues `call` on the window's thread; false when the window is gone. A call queued
    // while the window goes is dropped unrun.
    bool post(std::function<void(BackgroundCommand&)> call)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_owner)
            return false;
        QMetaObject::invokeMethod(m_owner, [owner = m_owner, call = std::move(call)] { call(*owner); }, Qt::QueuedConnection);
        return true;
    }

private:
    std::mutex m_mutex;
    BackgroundCommand* m_owner;
};

// The dialogs as a worker sees them: each call waits for its answer from the window's
// thread. Once the window is gone every question is answered as Escape answers it, so that
// nothing changes after a question nobody saw.
class BackgroundCommand::DialogsFromWorker final : public UserDialogs {
public:
    explicit DialogsFromWorker(std::shared_ptr<Link> link) : m_link(std::move(link)) {}

    void inform(QWidget*, const QString& title, const QString& text) override
    {
        onWindowThread(false, [title, text](BackgroundCommand& owner) {
            owner.m_dialogs.inform(owner.m_window, title, text);
            return true;
        });
    }

    void warn(QWidget*, const QString& title, const QString& text) override
    {
        onWindowThread(false, [title, text](BackgroundCommand& owner) {
            owner.m_dialogs.warn(owner.m_window, title, text);
            return true;
        });
    }

    bool ask(QWidget*, const QString& title, const QString& text, Default answer) override
    {
        return onWindowThread(false, [title, text, answer](BackgroundCommand& owner) {
            return owner.m_dialogs.ask(owner.m_window, title, text, answer);
        });
    }

    bool askWithCheck(QWidget*, const QString& title, const QString& text, const QString& check, bool& checked, Default answer) override
    {
        const std::pair<bool, bool> answered = onWindowThread(std::pair(false, checked), [title, text, check, checked, answer](BackgroundCommand& owner) {
            bool ticked = checked;
            const bool yes = owner.m_dialogs.askWithCheck(owner.m_window, title, text, check, ticked, answer);
            return std::pair(yes, ticked);
        });
        checked = answered.second;
        return answered.first;
    }

    std::optional<os::ColourRef> chooseColour(QWidget*, os::ColourRef initial, os::CustomColours& custom) override
    {
        using Chosen = std::pair<std::optional<os::ColourRef>, os::CustomColours>;
        const Chosen chosen = onWindowThread(Chosen{std::nullopt, custom}, [initial, custom](BackgroundCommand& owner) {
            os::CustomColours edited = custom;
            const std::optional<os::ColourRef> colour = owner.m_dialogs.chooseColour(owner.m_window, initial, edited);
            return Chosen{colour, edited};
        });
        custom = chosen.second;
        return chosen.first;
    }

private:
    template <typename Answer, typename Call>
    Answer onWindowThread(Answer unanswered, Call call)
    {
        // Only the call holds the promise: dropped unrun, it breaks it, and the future says so.
        auto answer = std::make_shared<std::promise<Answer>>();
        std::future<Answer> future = answer->get_future();
        if (!m_link->post([answer = std::move(answer), call](BackgroundCommand& owner) { answer->set_value(call(owner)); }))
            return unanswered;
        try {
            return future.get();
        } catch (const std::future_error&) {
            return unanswered;
        }
    }

    std::shared_ptr<Link> m_link;
};

BackgroundCommand::BackgroundCommand(UserDialogs& dialogs, QWidget* window)
    : QObject(window)
    , m_dialogs(dialogs)
    , m_window(window)
    , m_link(std::make_shared<Link>(this))
{
}

BackgroundCommand::~BackgroundCommand()
{
    m_link->cut();
    if (m_busy)
        QGuiApplication::restoreOverrideCursor();
}

bool BackgroundCommand::start(const QString& title, Command command)
{
    if (m_busy) {
        m_dialogs.warn(m_window, title, tr("前の操作がまだ終わっていません。\nフォルダのあるドライブが応答していない可能性があります。"
                                           "ネットワークやケーブルの接続を確かめてください。ドライブが応答すれば、その操作はそのまま続きます。"));
        return false;
    }
    m_busy = true;
    // The window still answers: the cursor says that work goes on behind it.
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    folderReaderPool()->start([title, command = std::move(command), link = m_link] {
        DialogsFromWorker dialogs(link);
        try {
            command(dialogs);
        } catch (...) {
            // Out of memory, as a rule: the user hears that it failed, and the window that it ended.
            dialogs.warn(nullptr, title, tr("失敗しました"));
        }
        link->post([](BackgroundCommand& owner) { owner.end(); });
    });
    return true;
}

void BackgroundCommand::end()
{
    m_busy = false;
    QGuiApplication::restoreOverrideCursor();
    Q_EMIT finished();
}

} // namespace tessaro
