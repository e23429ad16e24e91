#pragma once

#include <QObject>
#include <QStringList>

namespace tessaro {

// Tells a list when a folder it shows changes on disk (an entry made, removed or renamed in
// it, or the folder itself gone), so that it can read the folder again. Setting a watch asks
// the volume, so the system's watches are set on a thread of their own, one for all the
// lists. A volume that keeps that thread waiting for AnswerTimeLimit is given up as the lists
// give it up: the thread is left to it, a new one watches the other volumes' folders, and
// that volume's folders are watched again (and reported changed) once it answers.
// A folder is watched only while some list asks for it: the lists ask for the folders they
// show open, which are few, so that few folders are held by the system's watches.
class FolderWatcher : public QObject {
    Q_OBJECT
public:
    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // Watches exactly `folders`, in native form, from now on: none when empty.
    void watch(QStringList folders);
    const QStringList& folders() const { return m_folders; }
    // Whether the system's watches are set as the lists last asked: a change made from now on
    // in a folder asked for is reported.
    static bool settled();

Q_SIGNALS:
    // Something in `folder` changed, or the folder itself went. From the event loop.
    void changed(const QString& folder);

private:
    QStringList m_folders;
};

} // namespace tessaro
