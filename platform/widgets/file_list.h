#pragma once

#include "platform/widgets/folder_reading.h"
#include "platform/widgets/folder_watch.h"

#include <QListWidget>
#include <QStringList>
#include <QTimer>

namespace tessaro {

// The names (without folder) of the files in one folder that match a pattern such as
// "*.bmp;*.jpg;*.gif", matched and sorted without regard to case as Windows does. The list
// follows its folder while it is shown: a file made or removed there comes or goes, the
// selected entry stays selected while its file is there, and F5 reads the folder again.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    ~FileList() override;

    // Empty until the list is first given a folder.
    QString path() const { return m_path; }
    // Lists the matching files of `path`. False, with nothing changed, when it is not a folder.
    // The folder is read on a worker; the list is filled when this returns, unless the folder
    // holds more entries (of any kind) than EntriesReadAtOnce or its volume is slower than
    // WaitOnTheSpot: then it is empty until the worker has read them all (or stays empty,
    // should the volume not answer in time), the window answering meanwhile.
    bool setPath(const QString& path);

    // Whether a folder is still being read: the list is empty until it has been.
    bool filling() const { return m_reading.busy(); }

    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);

    // The selected entry, -1 when none is. Focus alone makes an entry current, not selected.
    int listIndex() const;
    void setListIndex(int index);
    QString entry(int index) const;

    // False for a name that could only be shown approximately (bytes the locale cannot
    // decode): it does not lead back to its file.
    bool entryExact(int index) const;

Q_SIGNALS:
    // The selection changed, by the user or by code: an entry was selected, or none is now.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool read(const QString& folder);
    void fill(const FolderEntries& entries);
    void reread();
    void refill(const FolderEntries& entries);
    void watch();

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    FolderReading m_reading;
    bool m_found = false;
    bool m_listed = false;    // m_path's entries are shown, not still to come
    FolderWatch m_watcher;   // m_path, while shown
    QTimer m_changesRest;
};

} // namespace tessaro
